#include "BRSFileLogger.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <atomic>

#include "BRSLog.h"
#include "BRSSystemLog.h"
#include "LoggingTestSupport.h"

namespace {

class BRSFileLoggerTest : public ::testing::Test {
protected:
    std::shared_ptr<BRSLogFileManagerDefault> makeManager() {
        return std::make_shared<BRSLogFileManagerDefault>(
            folder.path(), [this] { return QDateTime::currentDateTime().addSecs(clockOffsetSeconds); });
    }
    std::shared_ptr<BRSFileLogger> makeLogger() { return std::make_shared<BRSFileLogger>(makeManager()); }

    static void write(BRSFileLogger& logger, const QString& text) {
        const BRSLogMessage message = BRSLogMessage::make(text, BRSLogLevel::Verbose, BRSLogFlag::Verbose, 0,
                                                          __FILE__, __func__, __LINE__, nullptr);
        logger.loggerQueue().sync([&] { logger.logMessage(message); });
    }

    // Newest first, as the file manager orders them.
    std::vector<BRSLogFileInfo> files() { return makeManager()->sortedLogFileInfos(); }

    QTemporaryDir folder;
    std::atomic<qint64> clockOffsetSeconds{0};
};

TEST_F(BRSFileLoggerTest, LinesCarryLocalTimeAndNeverADoubledLineFeed) {
    auto logger = makeLogger();
    const BRSLogMessage message = BRSLogMessage::make(QStringLiteral("Name: Work"), BRSLogLevel::Verbose,
                                                      BRSLogFlag::Verbose, 0, "", "", 0, nullptr);
    logger->loggerQueue().sync([&] { logger->logMessage(message); });
    write(*logger, QStringLiteral("ends with its own\n"));
    write(*logger, QStringLiteral("Text: line one\nline two"));

    ASSERT_EQ(files().size(), 1U);
    const QByteArray contents = readAll(files().front().filePath());
    const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(message.timestamp.time_since_epoch()).count());
    const QByteArray expectedFirst =
        stamp.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss:zzz")).toUtf8() + "  Name: Work\n";
    EXPECT_TRUE(contents.startsWith(expectedFirst)) << contents.toStdString();
    const QRegularExpression rest(
        QStringLiteral(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d:\d{3}  ends with its own\n)"
                       R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d:\d{3}  Text: line one\nline two\n$)"));
    EXPECT_TRUE(rest.match(QString::fromUtf8(contents.mid(expectedFirst.size()))).hasMatch())
        << contents.toStdString();
}

TEST_F(BRSFileLoggerTest, NewRunContinuesTheNewestFileWhileItIsUnarchivedYoungAndSmall) {
    write(*makeLogger(), QStringLiteral("first run"));
    write(*makeLogger(), QStringLiteral("second run"));

    const auto infos = files();
    ASSERT_EQ(infos.size(), 1U);
    EXPECT_EQ(messagesIn(infos.front().filePath()),
              (QStringList{QStringLiteral("first run"), QStringLiteral("second run")}));
    EXPECT_FALSE(infos.front().isArchived());
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(infos.front().filePath()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600U) << "log files hold the users' signatures";
}

TEST_F(BRSFileLoggerTest, NewRunStartsANewFileWhenTheNewestIsTooOldFullOrArchived) {
    write(*makeLogger(), QStringLiteral("day one"));
    clockOffsetSeconds = 24 * 60 * 60;
    write(*makeLogger(), QStringLiteral("a day later"));
    auto infos = files();
    ASSERT_EQ(infos.size(), 2U);
    EXPECT_EQ(messagesIn(infos[0].filePath()), QStringList{QStringLiteral("a day later")});
    EXPECT_TRUE(infos[1].isArchived()) << "the file that grew too old is archived when it is passed over";

    // An unarchived newest file of exactly the size limit is full. File times come from a coarse clock, so
    // the next file may share the full one's birth time, and then their names order them: the next is named
    // later still, and a longer rolling period keeps the full file from counting as too old.
    clockOffsetSeconds = 2 * 24 * 60 * 60;
    QFile full(infos[0].filePath());
    ASSERT_TRUE(full.resize(BRSFileLogger::kDefaultLogMaxFileSize));
    auto patient = makeLogger();
    patient->setRollingFrequency(7 * 24 * 60 * 60);
    write(*patient, QStringLiteral("after the full one"));
    infos = files();
    ASSERT_EQ(infos.size(), 3U);
    EXPECT_EQ(messagesIn(infos[0].filePath()), QStringList{QStringLiteral("after the full one")});
    EXPECT_TRUE(infos[1].isArchived());

    ASSERT_TRUE(infos[0].setIsArchived(true));
    write(*makeLogger(), QStringLiteral("after the archived one"));
    EXPECT_EQ(files().size(), 4U);
}

TEST_F(BRSFileLoggerTest, RollsOnceTheFileReachesOneMebibyteWithoutLosingALine) {
    auto logger = makeLogger();
    const QString padding(1000, QLatin1Char('x'));
    constexpr int kLines = 1100;
    for (int i = 0; i < kLines; ++i) {
        write(*logger, QStringLiteral("%1 %2").arg(i).arg(padding));
    }
    const auto infos = files();
    ASSERT_EQ(infos.size(), 2U);
    const BRSLogFileInfo& first = infos[1];
    EXPECT_TRUE(first.isArchived());
    EXPECT_GE(first.fileSize(), static_cast<qint64>(BRSFileLogger::kDefaultLogMaxFileSize));
    EXPECT_LT(first.fileSize(), static_cast<qint64>(BRSFileLogger::kDefaultLogMaxFileSize) + 1100)
        << "the line that reaches the limit is the last one in the file";
    EXPECT_FALSE(infos[0].isArchived());
    const QStringList all = messagesIn(first.filePath()) + messagesIn(infos[0].filePath());
    ASSERT_EQ(all.size(), kLines);
    for (int i = 0; i < kLines; ++i) {
        ASSERT_TRUE(all[i].startsWith(QString::number(i) + QLatin1Char(' ')));
    }
}

TEST_F(BRSFileLoggerTest, OneRunOfMegabytesIsWrittenInPiecesWithEveryLineInOrder) {
    const QString padding(1000, QLatin1Char('y'));
    std::vector<BRSLogMessage> run;
    constexpr int kLines = 1500;
    for (int i = 0; i < kLines; ++i) {
        run.push_back(BRSLogMessage::make(QStringLiteral("%1 %2").arg(i).arg(padding), BRSLogLevel::Verbose,
                                          BRSLogFlag::Verbose, 0, "", "", 0, nullptr));
    }
    for (const quint64 limit : {quint64(0), BRSFileLogger::kDefaultLogMaxFileSize}) {
        SCOPED_TRACE(limit);
        QDir(folder.path()).removeRecursively();
        auto logger = makeLogger();
        logger->setMaximumFileSize(limit);
        logger->loggerQueue().sync([&] { logger->logMessages(run, BRSLogLevel::All); });
        QStringList all;
        const auto infos = files();
        ASSERT_EQ(infos.size(), limit == 0 ? 1U : 2U);
        for (auto info = infos.rbegin(); info != infos.rend(); ++info) {
            all += messagesIn(info->filePath());
        }
        ASSERT_EQ(all.size(), kLines);
        for (int i = 0; i < kLines; ++i) {
            ASSERT_TRUE(all[i].startsWith(QString::number(i) + QLatin1Char(' ')));
        }
    }
}

TEST_F(BRSFileLoggerTest, ChangingTheRollingFrequencyRollsAFileThatIsAlreadyTooOld) {
    auto logger = makeLogger();
    write(*logger, QStringLiteral("before"));
    const QString firstPath = logger->currentLogFileInfo()->filePath();
    clockOffsetSeconds = 24 * 60 * 60;
    logger->setRollingFrequency(24 * 60 * 60);
    EXPECT_FALSE(logger->currentLogFileInfo().has_value());
    EXPECT_TRUE(BRSLogFileInfo(firstPath).isArchived());
    write(*logger, QStringLiteral("after"));
    ASSERT_TRUE(logger->currentLogFileInfo().has_value());
    EXPECT_NE(logger->currentLogFileInfo()->filePath(), firstPath);
}

TEST_F(BRSFileLoggerTest, AgeTimerRollsWithoutWaitingForAMessage) {
    auto logger = makeLogger();
    logger->setRollingFrequency(0.05);
    write(*logger, QStringLiteral("short-lived"));
    const QString path = files().front().filePath();
    ASSERT_TRUE(eventually([&] { return !logger->currentLogFileInfo().has_value(); }));
    EXPECT_TRUE(BRSLogFileInfo(path).isArchived());

    // Zero turns the age limit off, and a limit beyond any clock's range must not wrap around to now.
    for (const double frequency : {0.0, 1e300}) {
        logger->setRollingFrequency(frequency);
        write(*logger, QStringLiteral("long-lived"));
        EXPECT_TRUE(logger->currentLogFileInfo().has_value()) << frequency;
    }
}

TEST_F(BRSFileLoggerTest, FileDeletedOrRenamedFromOutsideIsReplacedByANewOne) {
    auto logger = makeLogger();
    write(*logger, QStringLiteral("one"));
    ASSERT_TRUE(QFile::remove(files().front().filePath()));
    write(*logger, QStringLiteral("two"));
    ASSERT_EQ(files().size(), 1U);
    EXPECT_EQ(messagesIn(files().front().filePath()), QStringList{QStringLiteral("two")});

    const QString moved = folder.filePath(QStringLiteral("kept.txt"));
    ASSERT_TRUE(QFile::rename(files().front().filePath(), moved));
    write(*logger, QStringLiteral("three"));
    ASSERT_EQ(files().size(), 1U);
    EXPECT_EQ(messagesIn(files().front().filePath()), QStringList{QStringLiteral("three")});
    EXPECT_EQ(messagesIn(moved), QStringList{QStringLiteral("two")});
    EXPECT_TRUE(BRSLogFileInfo(moved).isArchived()) << "the renamed file is the one marked";
}

TEST_F(BRSFileLoggerTest, WatchRollsAsSoonAsTheFileIsDeleted) {
    auto logger = makeLogger();
    write(*logger, QStringLiteral("one"));
    ASSERT_TRUE(QFile::remove(files().front().filePath()));
    EXPECT_TRUE(eventually([&] { return !logger->currentLogFileInfo().has_value(); }));
}

TEST_F(BRSFileLoggerTest, RollOnRequestStartsANumberedFileWithinTheSameMinute) {
    clockOffsetSeconds = 0;
    auto manager = std::make_shared<BRSLogFileManagerDefault>(
        folder.path(), [] { return QDateTime(QDate(2026, 12, 8), QTime(0, 4, 30), QTimeZone::utc()); });
    auto logger = std::make_shared<BRSFileLogger>(manager);
    write(*logger, QStringLiteral("one"));
    logger->rollLogFile();
    write(*logger, QStringLiteral("two"));
    const QString stem = manager->applicationIdentifier() + QStringLiteral(" 2026-12-08 00-04");
    EXPECT_EQ(messagesIn(folder.filePath(stem + QStringLiteral(".log"))), QStringList{QStringLiteral("one")});
    EXPECT_EQ(messagesIn(folder.filePath(stem + QStringLiteral(" 2.log"))),
              QStringList{QStringLiteral("two")});
}

TEST_F(BRSFileLoggerTest, SettingsChangedThroughTheFacadeFallBetweenTheMessages) {
    BRSLog log;
    auto logger = makeLogger();
    log.addLogger(logger);
    log.log(true, BRSLogLevel::All, BRSLogFlag::Info, 0, "", "", 0, nullptr, QStringLiteral("small file"));
    logger->setMaximumFileSize(1);
    log.log(true, BRSLogLevel::All, BRSLogFlag::Info, 0, "", "", 0, nullptr, QStringLiteral("next file"));
    log.flushLog();
    EXPECT_EQ(logger->maximumFileSize(), 1U);

    const auto infos = files();
    ASSERT_EQ(infos.size(), 2U);
    EXPECT_EQ(messagesIn(infos[1].filePath()), QStringList{QStringLiteral("small file")});
    EXPECT_EQ(messagesIn(infos[0].filePath()), QStringList{QStringLiteral("next file")});
    EXPECT_TRUE(infos[0].isArchived()) << "a one-byte limit is reached by every line";
}

TEST_F(BRSFileLoggerTest, FolderThatCannotBeCreatedIsReportedAndLinesAreDropped) {
    QFile blocker(folder.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QStringList reports;
    std::mutex reportsMutex;
    BRSSystemLog::setSink([&](const QString& text) {
        std::lock_guard lock(reportsMutex);
        reports.append(text);
    });
    auto logger = std::make_shared<BRSFileLogger>(
        std::make_shared<BRSLogFileManagerDefault>(blocker.fileName() + QStringLiteral("/logs")));
    write(*logger, QStringLiteral("nowhere to go"));
    write(*logger, QStringLiteral("nor here"));
    BRSSystemLog::setSink({});

    EXPECT_FALSE(logger->currentLogFileInfo().has_value());
    // One report for each attempt that failed, carrying the error alone: the folder's path names the user.
    const QString expected = QStringLiteral("BRSLogFileManagerDefault: Error creating logsDirectory: ") +
                             QString::fromLocal8Bit(std::strerror(ENOTDIR));
    EXPECT_EQ(reports, QStringList({expected, expected}));
}

TEST_F(BRSFileLoggerTest, WriteFailuresAreReportedTenTimesThenNoMore) {
    QStringList reports;
    std::mutex reportsMutex;
    BRSSystemLog::setSink([&](const QString& text) {
        std::lock_guard lock(reportsMutex);
        reports.append(text);
    });
    auto logger = makeLogger();
    logger->setMaximumFileSize(0);
    // A file size limit makes every write past 1000 bytes fail, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const QString line(200, QLatin1Char('y'));
    for (int i = 0; i < 30; ++i) {
        write(*logger, line);
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    write(*logger, QStringLiteral("after the disk has room again"));
    BRSSystemLog::setSink({});

    ASSERT_EQ(reports.size(), 11);
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(reports[i].startsWith(QStringLiteral("BRSFileLogger.logMessage: ")))
            << reports[i].toStdString();
    }
    EXPECT_EQ(
        reports[10],
        QStringLiteral("BRSFileLogger.logMessage: Too many exceptions -- will not log any more of them."));
    const QStringList lines = messagesIn(files().front().filePath());
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.back(), QStringLiteral("after the disk has room again"))
        << "the logger goes on once it can";
}

TEST_F(BRSFileLoggerTest, LinksNamedLikeLogFilesAreNeitherFollowedNorDeleted) {
    QFile target(folder.filePath(QStringLiteral("elsewhere.txt")));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("untouched\n");
    target.close();
    const QString link =
        folder.filePath(makeManager()->applicationIdentifier() + QStringLiteral(" 2099-01-01 00-00.log"));
    ASSERT_TRUE(QFile::link(target.fileName(), link));
    auto manager = makeManager();
    manager->setMaximumNumberOfLogFiles(1);
    auto logger = std::make_shared<BRSFileLogger>(manager);
    write(*logger, QStringLiteral("into a file of its own"));

    EXPECT_EQ(readAll(target.fileName()), QByteArray("untouched\n"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    ASSERT_TRUE(logger->currentLogFileInfo().has_value());
    EXPECT_NE(logger->currentLogFileInfo()->filePath(), link);
}

}  // namespace
