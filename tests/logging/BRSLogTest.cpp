#include "BRSLog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <atomic>
#include <optional>
#include <thread>

#include "AgentLoggers.h"
#include "BRSFileLogger.h"
#include "LoggingTestSupport.h"

namespace {

void logText(BRSLog& log, const QString& text, bool asynchronous = true,
             BRSLogFlag flag = BRSLogFlag::Verbose, BRSLogLevel level = BRSLogLevel::Verbose) {
    log.log(asynchronous, level, flag, 0, __FILE__, __func__, __LINE__, nullptr, text);
}

TEST(BRSLogTest, CallSiteLevelAndLoggerLevelBothFilter) {
    BRSLog log;
    auto everything = std::make_shared<RecordingLogger>("everything");
    auto errorsOnly = std::make_shared<RecordingLogger>("errors");
    log.addLogger(everything);
    log.addLogger(errorsOnly, BRSLogLevel::Error);

    logText(log, QStringLiteral("verbose"));
    logText(log, QStringLiteral("error"), true, BRSLogFlag::Error);
    // A call site whose level stops at warnings drops debug messages before anyone sees them.
    logText(log, QStringLiteral("debug"), true, BRSLogFlag::Debug, BRSLogLevel::Warning);
    logText(log, QStringLiteral("nothing"), true, BRSLogFlag::Error, BRSLogLevel::Off);
    log.flushLog();

    EXPECT_EQ(everything->texts(), (QStringList{QStringLiteral("verbose"), QStringLiteral("error")}));
    EXPECT_EQ(errorsOnly->texts(), QStringList{QStringLiteral("error")});
    EXPECT_EQ(everything->flushes(), 1);
    EXPECT_EQ(errorsOnly->flushes(), 1);
}

TEST(BRSLogTest, RecordCarriesTheCallSiteAndTheCallingThread) {
    BRSLog log;
    auto logger = std::make_shared<RecordingLogger>();
    log.addLogger(logger);
    const auto before = std::chrono::system_clock::now();
    log.logFormat(false, BRSLogLevel::All, BRSLogFlag::Info, 7, "file.cpp", "function", 42, nullptr,
                  u"Name: %@ (%@%%)", QStringLiteral("Work"), 50);
    const auto after = std::chrono::system_clock::now();

    // A synchronous call returns only once the loggers have the message.
    ASSERT_EQ(logger->messages().size(), 1U);
    const BRSLogMessage message = logger->messages().front();
    EXPECT_EQ(message.message, QStringLiteral("Name: Work (50%)"));
    EXPECT_EQ(message.flag, BRSLogFlag::Info);
    EXPECT_EQ(message.level, BRSLogLevel::All);
    EXPECT_EQ(message.context, 7);
    EXPECT_STREQ(message.file, "file.cpp");
    EXPECT_STREQ(message.function, "function");
    EXPECT_EQ(message.line, 42);
    EXPECT_GE(message.timestamp, before);
    EXPECT_LE(message.timestamp, after);
    bool isNumber = false;
    EXPECT_GT(message.threadID.toLongLong(&isNumber), 0);
    EXPECT_TRUE(isNumber) << message.threadID.toStdString();
}

TEST(BRSLogTest, MacrosLogThroughTheSharedFacadeAtTheVerboseCallSiteLevel) {
    auto logger = std::make_shared<RecordingLogger>();
    BRSLog::sharedInstance().addLogger(logger);
    BRSLogVerbose(u"no arguments");
    BRSLogVerbose(u"AppleScript: %@", QStringLiteral("tell application \"Mail\" to quit"));
    BRSLogError(u"Error: %@ %@", 1, "two");
    BRSLog::sharedInstance().removeLogger(logger);

    const std::vector<BRSLogMessage> messages = logger->messages();
    ASSERT_EQ(messages.size(), 3U);
    EXPECT_EQ(messages[0].message, QStringLiteral("no arguments"));
    EXPECT_EQ(messages[1].message, QStringLiteral("AppleScript: tell application \"Mail\" to quit"));
    EXPECT_EQ(messages[1].flag, BRSLogFlag::Verbose);
    EXPECT_EQ(messages[1].level, BRSLogLevel::Verbose);
    EXPECT_TRUE(QByteArray(messages[1].file).endsWith("BRSLogTest.cpp"));
    EXPECT_EQ(messages[2].message, QStringLiteral("Error: 1 two"));
    EXPECT_EQ(messages[2].flag, BRSLogFlag::Error);
}

TEST(BRSLogTest, FormatFillsPlaceholdersInOrderAndShowsMissingOnes) {
    EXPECT_EQ(BRSLogFormat::format(u"HTML: %@", QStringLiteral("<p>a</p>")),
              QStringLiteral("HTML: <p>a</p>"));
    EXPECT_EQ(BRSLogFormat::format(u"%@-%@ %d %%@", "a", 2), QStringLiteral("a-2 %d %@"));
    EXPECT_EQ(BRSLogFormat::format(u"Text: %@ and %@", QStringLiteral("only")),
              QStringLiteral("Text: only and (null)"));
    EXPECT_EQ(BRSLogFormat::format(u"100%"), QStringLiteral("100%"));
}

TEST(BRSLogTest, MessagesFromManyThreadsKeepEachThreadsOrderInEveryLogger) {
    BRSLog log;
    auto first = std::make_shared<RecordingLogger>("first");
    auto second = std::make_shared<RecordingLogger>("second");
    log.addLogger(first);
    log.addLogger(second);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kPerThread; ++i) {
                logText(log, QStringLiteral("%1 %2").arg(t).arg(i));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    log.flushLog();

    const QStringList seen = first->texts();
    EXPECT_EQ(seen, second->texts()) << "every logger sees the same messages in the same order";
    ASSERT_EQ(seen.size(), kThreads * kPerThread);
    std::vector<int> next(kThreads, 0);
    for (const QString& text : seen) {
        const QStringList parts = text.split(QLatin1Char(' '));
        const int thread = parts[0].toInt();
        ASSERT_EQ(parts[1].toInt(), next[thread]) << "out of order for thread " << thread;
        ++next[thread];
    }
}

TEST(BRSLogTest, LoggersSeeOnlyWhatWasLoggedWhileTheyWereAdded) {
    BRSLog log;
    auto early = std::make_shared<RecordingLogger>("early");
    auto late = std::make_shared<RecordingLogger>("late");
    log.addLogger(early);
    logText(log, QStringLiteral("one"));
    log.addLogger(late);
    logText(log, QStringLiteral("two"));
    log.removeLogger(early);
    logText(log, QStringLiteral("three"));
    log.flushLog();

    EXPECT_EQ(early->texts(), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    EXPECT_EQ(late->texts(), (QStringList{QStringLiteral("two"), QStringLiteral("three")}));
}

TEST(BRSLogTest, ThousandMessagesInFlightBlockTheNextCallerUntilOneIsDelivered) {
    BRSLog log;
    auto logger = std::make_shared<RecordingLogger>();
    logger->close();
    log.addLogger(logger);

    logText(log, QStringLiteral("0"));
    ASSERT_TRUE(eventually([&] { return logger->entered() == 1; }));
    for (int i = 1; i < static_cast<int>(BRSLog::kMaximumMessagesInFlight); ++i) {
        logText(log, QString::number(i));
    }
    EXPECT_EQ(log.callersWaiting(), 0U) << "a thousand messages may wait without blocking anyone";

    std::atomic<bool> returned{false};
    std::thread caller([&] {
        logText(log, QStringLiteral("1000"));
        returned = true;
    });
    ASSERT_TRUE(eventually([&] { return log.callersWaiting() == 1; }));
    EXPECT_FALSE(returned);

    // One delivery frees one place; the rest stay held at the gate.
    logger->letThrough(1);
    caller.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(logger->messages().size(), 1U);

    logger->open();
    log.flushLog();
    const QStringList texts = logger->texts();
    ASSERT_EQ(texts.size(), 1001);
    for (int i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(texts[i], QString::number(i));
    }
}

TEST(BRSLogTest, DestroyingTheFacadeDeliversWhatIsQueued) {
    auto logger = std::make_shared<RecordingLogger>();
    {
        BRSLog log;
        log.addLogger(logger);
        for (int i = 0; i < 500; ++i) {
            logText(log, QString::number(i));
        }
    }
    EXPECT_EQ(logger->messages().size(), 500U);
}

// The child process logs to a file logger through the process's facade and leaves with exit(); the exit
// handler must have drained the queue by the time the process is gone.
// Raises a Qt warning while it writes: unguarded, every delivery would log a message that is delivered again.
class WarningLogger final : public BRSLogger {
public:
    WarningLogger() : BRSLogger("warning") {}
    ~WarningLogger() override { stopQueue(); }
    void logMessage(const BRSLogMessage& /*message*/) override { qWarning("raised while logging"); }
};

TEST(BRSLogTest, QtMessagesReachTheLogAtTheirLevelWithoutComingBackFromALogger) {
    auto logger = std::make_shared<RecordingLogger>();
    auto warning = std::make_shared<WarningLogger>();
    BRSLog& log = BRSLog::sharedInstance();
    log.addLogger(logger);
    log.addLogger(warning);
    AgentLoggers::forwardQtMessages();
    qWarning("disk %d full", 3);
    qCritical("critical");
    const QLoggingCategory category("orlin.test");
    qCInfo(category, "with a category");
    AgentLoggers::stopForwardingQtMessages();
    qWarning("after");
    log.flushLog();
    log.removeLogger(warning);
    log.removeLogger(logger);

    const std::vector<BRSLogMessage> messages = logger->messages();
    ASSERT_EQ(logger->texts(), (QStringList{QStringLiteral("disk 3 full"), QStringLiteral("critical"),
                                            QStringLiteral("orlin.test: with a category")}));
    EXPECT_EQ(messages[0].flag, BRSLogFlag::Warning);
    EXPECT_EQ(messages[1].flag, BRSLogFlag::Error);
    EXPECT_EQ(messages[2].flag, BRSLogFlag::Info);
}

TEST(BRSLogExitTest, NothingQueuedBeforeExitIsLost) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    static const char* const kFolderVariable = "ORLIN_LOG_EXIT_TEST_FOLDER";
    const QByteArray inherited = qgetenv(kFolderVariable);
    std::optional<QTemporaryDir> owned;
    QString folder = QString::fromLocal8Bit(inherited);
    if (folder.isEmpty()) {
        owned.emplace();
        folder = owned->path();
        qputenv(kFolderVariable, QFile::encodeName(folder));
    }
    constexpr int kMessages = 20000;

    EXPECT_EXIT(
        {
            auto logger = std::make_shared<BRSFileLogger>(std::make_shared<BRSLogFileManagerDefault>(folder));
            BRSLog::sharedInstance().addLogger(logger);
            for (int i = 0; i < kMessages; ++i) {
                BRSLogVerbose(u"Line %@", i);
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    qunsetenv(kFolderVariable);

    const QStringList files = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const QStringList lines = messagesIn(folder + QLatin1Char('/') + files.front());
    ASSERT_EQ(lines.size(), kMessages);
    EXPECT_EQ(lines.front(), QStringLiteral("Line 0"));
    EXPECT_EQ(lines.back(), QStringLiteral("Line %1").arg(kMessages - 1));
}

}  // namespace
