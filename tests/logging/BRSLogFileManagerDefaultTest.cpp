#include "BRSLogFileManagerDefault.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include "LoggingTestSupport.h"

namespace {

class BRSLogFileManagerDefaultTest : public ::testing::Test {
protected:
    BRSLogFileManagerDefaultTest()
        : manager(folder.path(),
                  [] { return QDateTime(QDate(2026, 12, 8), QTime(0, 4, 59), QTimeZone::utc()); }) {}

    QString name(const QString& middle) const {
        return manager.applicationIdentifier() + QLatin1Char(' ') + middle + QStringLiteral(".log");
    }
    // Made oldest first, so their creation order is the order of their names' dates.
    QString makeFile(const QString& fileName, qint64 size = 0) {
        const QString path = folder.filePath(fileName);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'x'));
        return path;
    }
    QStringList remaining() const { return QDir(folder.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir folder;
    BRSLogFileManagerDefault manager;
};

TEST_F(BRSLogFileManagerDefaultTest, OnlyNamesWithTheIdentifierAndAMinuteAreLogFiles) {
    EXPECT_EQ(manager.applicationIdentifier(), QStringLiteral("com.halvex.Orlin"));
    EXPECT_TRUE(manager.isLogFile(name(QStringLiteral("2026-12-08 00-04"))));
    EXPECT_TRUE(manager.isLogFile(name(QStringLiteral("2026-12-08 00-04 12"))));
    // The local clock may skip this minute; the names are in UTC, so it is still a name.
    EXPECT_TRUE(manager.isLogFile(name(QStringLiteral("2026-03-29 02-30"))));

    EXPECT_FALSE(manager.isLogFile(QStringLiteral("org.other.App 2026-12-08 00-04.log")));
    EXPECT_FALSE(manager.isLogFile(name(QStringLiteral("2026-12-08 00-04")) + QStringLiteral(".gz")));
    EXPECT_FALSE(manager.isLogFile(name(QStringLiteral("notes about it"))));
    EXPECT_FALSE(manager.isLogFile(name(QStringLiteral("2026-13-45 99-99"))));
    EXPECT_FALSE(manager.isLogFile(name(QStringLiteral("2026-12-08 00-04 2 extra"))));
    EXPECT_FALSE(manager.isLogFile(name(QStringLiteral("2026-12-08  00-04"))));
    EXPECT_FALSE(manager.isLogFile(name(QStringLiteral("26-12-08 00-04"))));
}

TEST_F(BRSLogFileManagerDefaultTest, FilesOfTheSameMinuteAreNumberedAndPrivate) {
    const QString first = manager.createNewLogFile();
    const QString second = manager.createNewLogFile();
    const QString third = manager.createNewLogFile();
    EXPECT_EQ(QFileInfo(first).fileName(), name(QStringLiteral("2026-12-08 00-04")));
    EXPECT_EQ(QFileInfo(second).fileName(), name(QStringLiteral("2026-12-08 00-04 2")));
    EXPECT_EQ(QFileInfo(third).fileName(), name(QStringLiteral("2026-12-08 00-04 3")));
    for (const QString& path : {first, second, third}) {
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600U);
        EXPECT_EQ(status.st_size, 0);
    }
    const auto infos = manager.sortedLogFileInfos();
    ASSERT_EQ(infos.size(), 3U);
    EXPECT_EQ(infos[0].filePath(), third);
    EXPECT_EQ(infos[2].filePath(), first);
}

TEST_F(BRSLogFileManagerDefaultTest, NewFileLeavesAtMostTheMaximumNumberAndSparesOtherFiles) {
    QStringList olds;
    for (int day = 1; day <= 8; ++day) {
        olds.append(QFileInfo(makeFile(name(QStringLiteral("2026-12-0%1 10-00").arg(day)))).fileName());
    }
    const QString notADate = makeFile(name(QStringLiteral("2026-12-0x 10-00")));
    const QString foreign = makeFile(QStringLiteral("notes.log"));
    manager.setMaximumNumberOfLogFiles(7);
    const QString created = manager.createNewLogFile();

    QStringList expected = olds.mid(2);
    expected << QFileInfo(created).fileName() << QFileInfo(notADate).fileName()
             << QFileInfo(foreign).fileName();
    expected.sort();
    EXPECT_EQ(remaining(), expected);
}

TEST_F(BRSLogFileManagerDefaultTest, QuotaDeletesTheOldestButSparesTheCurrentUnarchivedFile) {
    manager.setMaximumNumberOfLogFiles(0);
    manager.setLogFilesDiskQuota(100);
    makeFile(name(QStringLiteral("2026-12-01 10-00")), 40);
    makeFile(name(QStringLiteral("2026-12-02 10-00")), 40);
    makeFile(name(QStringLiteral("2026-12-03 10-00")), 40);
    manager.deleteOldLogFiles();
    EXPECT_EQ(remaining(), (QStringList{name(QStringLiteral("2026-12-02 10-00")),
                                        name(QStringLiteral("2026-12-03 10-00"))}));

    // Alone above the quota: the file being written stays until it is archived.
    const QString current = makeFile(name(QStringLiteral("2026-12-04 10-00")), 500);
    manager.deleteOldLogFiles();
    EXPECT_EQ(remaining(), QStringList{name(QStringLiteral("2026-12-04 10-00"))});
    ASSERT_TRUE(BRSLogFileInfo(current).setIsArchived(true));
    manager.deleteOldLogFiles();
    EXPECT_TRUE(remaining().isEmpty());
}

TEST_F(BRSLogFileManagerDefaultTest, ArchivedMarkIsAnAttributeThatCanBeTakenOffAgain) {
    const QString path = makeFile(name(QStringLiteral("2026-12-01 10-00")));
    BRSLogFileInfo info(path);
    EXPECT_FALSE(info.isArchived());
    EXPECT_TRUE(info.setIsArchived(false)) << "removing a mark that is not there is no failure";
    ASSERT_TRUE(info.setIsArchived(true));
    EXPECT_TRUE(info.isArchived());
    EXPECT_TRUE(BRSLogFileInfo(path).isArchived());
    ASSERT_TRUE(info.setIsArchived(false));
    EXPECT_FALSE(BRSLogFileInfo(path).isArchived());
}

}  // namespace
