#include "AgentLoggers.h"

#include <QtGlobal>
#include <atomic>
#include <memory>
#include <mutex>

#include "BRSFileLogger.h"
#include "BRSLog.h"
#include "BRSLogFileManagerDefault.h"
#include "BRSTTYLogger.h"
#include "SerialQueue.h"

namespace {

std::mutex handlerMutex;
QtMessageHandler previousHandler = nullptr;
bool forwarding = false;
// Read by the handler on any thread; the handler it stands for is set under handlerMutex.
std::atomic<QtMessageHandler> fallbackHandler{nullptr};

BRSLogFlag flagFor(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
            return BRSLogFlag::Debug;
        case QtInfoMsg:
            return BRSLogFlag::Info;
        case QtWarningMsg:
            return BRSLogFlag::Warning;
        case QtCriticalMsg:
        case QtFatalMsg:
            break;
    }
    return BRSLogFlag::Error;
}

void handleQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    // A message raised while a message is being logged on this thread, or by a logger's own work on a
    // logging queue, would come straight back here: it goes where Qt would have put it instead.
    thread_local bool handling = false;
    if (handling || !SerialQueue::currentLabel().empty()) {
        if (const QtMessageHandler fallback = fallbackHandler.load()) {
            fallback(type, context, text);
        }
        return;
    }
    handling = true;
    const char* category = context.category;
    QString message = text;
    if (category && qstrcmp(category, "default") != 0) {
        message = QString::fromUtf8(category) + QStringLiteral(": ") + text;
    }
    const BRSLogFlag flag = flagFor(type);
    BRSLog& log = BRSLog::sharedInstance();
    // The context's file and function are not kept: a record outlives the call, and only literals may be
    // held that long. Errors are logged synchronously, so they are in the file before anything else runs.
    log.log(flag != BRSLogFlag::Error, BRS_LOG_LEVEL_DEF, flag, 0, nullptr, nullptr, context.line, nullptr,
            std::move(message));
    if (type == QtFatalMsg) {
        // Qt aborts once this returns.
        log.flushLog();
    }
    handling = false;
}

}  // namespace

void AgentLoggers::attach(const QString& logsFolder, std::function<QDateTime()> clock) {
    BRSLog& log = BRSLog::sharedInstance();
    log.addLogger(BRSTTYLogger::sharedInstance(), BRSLogLevel::All);
    auto fileLogger = std::make_shared<BRSFileLogger>(
        std::make_shared<BRSLogFileManagerDefault>(logsFolder, std::move(clock)));
    fileLogger->setRollingFrequency(60 * 60 * 24);
    fileLogger->logFileManager()->setMaximumNumberOfLogFiles(7);
    log.addLogger(std::move(fileLogger), BRSLogLevel::All);
    forwardQtMessages();
}

void AgentLoggers::detach() {
    stopForwardingQtMessages();
    BRSLog& log = BRSLog::sharedInstance();
    log.flushLog();
    // Nothing can reach a logger after this, not even a roll its file watch or age timer would start.
    log.removeAllLoggers();
}

void AgentLoggers::forwardQtMessages() {
    const std::lock_guard lock(handlerMutex);
    if (forwarding) {
        return;
    }
    previousHandler = qInstallMessageHandler(handleQtMessage);
    fallbackHandler = previousHandler;
    forwarding = true;
}

void AgentLoggers::stopForwardingQtMessages() {
    const std::lock_guard lock(handlerMutex);
    if (!forwarding) {
        return;
    }
    qInstallMessageHandler(previousHandler);
    forwarding = false;
}
