#pragma once

#include <QString>
#include <QStringView>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <variant>
#include <vector>

#include "BRSLogFlag.h"
#include "BRSLogFormat.h"
#include "BRSLogMessage.h"
#include "BRSLogger.h"
#include "CountingSemaphore.h"
#include "SerialQueue.h"

// The logging facade. Callers format and queue; one serial logging queue hands each message, in order,
// to every logger whose level lets it through, and waits for all of them before it takes the next run.
// At most kMaximumMessagesInFlight messages wait at any time: a caller beyond that blocks until one has
// been delivered, so a stalled disk slows the agent down instead of eating its memory.
class BRSLog final {
public:
    static constexpr std::size_t kMaximumMessagesInFlight = 1000;

    BRSLog();
    // Delivers what is still queued before the loggers are let go.
    ~BRSLog();

    BRSLog(const BRSLog&) = delete;
    BRSLog& operator=(const BRSLog&) = delete;

    // The process's facade, a singleton because the logging macros reach it from any file and thread. It
    // lives until the process ends and drains its queue when the process exits.
    [[nodiscard]] static BRSLog& sharedInstance();

    void addLogger(std::shared_ptr<BRSLogger> logger, BRSLogLevel level = BRSLogLevel::All);
    void removeLogger(const std::shared_ptr<BRSLogger>& logger);
    void removeAllLoggers();

    // Logs the message when the call site's level lets the flag through. An asynchronous call returns once
    // the message is queued; a synchronous one once every logger has had it.
    void log(bool asynchronous, BRSLogLevel level, BRSLogFlag flag, int context, const char* file,
             const char* function, int line, const char* tag, QString message);

    template <typename... Args>
    void logFormat(bool asynchronous, BRSLogLevel level, BRSLogFlag flag, int context, const char* file,
                   const char* function, int line, const char* tag, QStringView format, const Args&... args) {
        // Checked before formatting: a message nobody will see must cost the caller nothing more.
        if (!levelHasFlag(level, flag)) {
            return;
        }
        log(asynchronous, level, flag, context, file, function, line, tag,
            BRSLogFormat::format(format, args...));
    }

    // Waits until every message queued so far has reached the loggers and they have flushed.
    void flushLog();

    // Runs work on the logging queue after everything queued before it. Loggers use it so that a change
    // of their settings takes effect between the messages logged before it and those logged after.
    void runOnLoggingQueue(std::function<void()> work, bool wait);
    [[nodiscard]] bool isOnLoggingQueue() const { return queue_.isCurrent(); }

    // How many callers are blocked because kMaximumMessagesInFlight messages are waiting.
    [[nodiscard]] std::size_t callersWaiting() const { return semaphore_.waiting(); }

private:
    struct Registered {
        std::shared_ptr<BRSLogger> logger;
        BRSLogLevel level;
    };
    using Item = std::variant<BRSLogMessage, std::function<void()>>;

    void enqueue(Item item);
    void drain();
    void deliver(std::span<const BRSLogMessage> messages);
    void flushLoggers();

    std::vector<Registered> registry_;
    CountingSemaphore semaphore_{kMaximumMessagesInFlight};
    const bool concurrentDelivery_;

    std::mutex pendingMutex_;
    std::vector<Item> pending_;
    bool drainScheduled_ = false;

    // Declared last, so its thread has finished before anything it uses goes away.
    SerialQueue queue_{"brisel.log"};
};

// The call sites' level; a file that wants fewer messages defines it before including this header.
#ifndef BRS_LOG_LEVEL_DEF
#define BRS_LOG_LEVEL_DEF BRSLogLevel::Verbose
#endif

#define BRS_LOG_MAYBE_ASYNC(async, flag, format, ...)                                                   \
    BRSLog::sharedInstance().logFormat(async, BRS_LOG_LEVEL_DEF, flag, 0, __FILE__, __func__, __LINE__, \
                                       nullptr, format __VA_OPT__(, ) __VA_ARGS__)

#define BRSLogError(format, ...) BRS_LOG_MAYBE_ASYNC(false, BRSLogFlag::Error, format, __VA_ARGS__)
#define BRSLogWarn(format, ...) BRS_LOG_MAYBE_ASYNC(true, BRSLogFlag::Warning, format, __VA_ARGS__)
#define BRSLogInfo(format, ...) BRS_LOG_MAYBE_ASYNC(true, BRSLogFlag::Info, format, __VA_ARGS__)
#define BRSLogDebug(format, ...) BRS_LOG_MAYBE_ASYNC(true, BRSLogFlag::Debug, format, __VA_ARGS__)
#define BRSLogVerbose(format, ...) BRS_LOG_MAYBE_ASYNC(true, BRSLogFlag::Verbose, format, __VA_ARGS__)
