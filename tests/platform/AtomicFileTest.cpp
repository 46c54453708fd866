#include "AtomicFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/mount.h>
#endif

#include "Error.h"
#include "FileContents.h"
#include "FileSizeLimit.h"

namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

mode_t modeOf(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class AtomicFileTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString path = root.filePath(QStringLiteral("AllSignatures.plist"));
};

TEST_F(AtomicFileTest, ReplacesWholeKeepingTheModeAndReplacingLinksInsteadOfFollowingThem) {
    const Result<void> first = AtomicFile::write(path, "first", {.newFileMode = 0640});
    ASSERT_TRUE(first.ok()) << first.error().localizedDescription.toStdString();
    EXPECT_EQ(contentsOf(path), "first");

    // Read-only in a writable folder: the rename needs only the folder, and the mode survives.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const Result<void> second = AtomicFile::write(path, "second");
    ASSERT_TRUE(second.ok()) << second.error().localizedDescription.toStdString();
    EXPECT_EQ(contentsOf(path), "second");
    EXPECT_EQ(modeOf(path), 0444u);

    // A secret's mode is forced, whatever the file had.
    ASSERT_TRUE(AtomicFile::write(path, "secret", {.newFileMode = 0600, .keepExistingMode = false}));
    EXPECT_EQ(modeOf(path), 0600u);

    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("outside"));
    put(outside, "not ours");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(outside, path));
    ASSERT_TRUE(AtomicFile::write(path, "replaced"));
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(contentsOf(path), "replaced");
    EXPECT_EQ(contentsOf(outside), "not ours");

    EXPECT_EQ(entriesOf(root.path()), QStringList{QStringLiteral("AllSignatures.plist")})
        << "no temporary left";

    const Result<void> missing = AtomicFile::write(root.filePath(QStringLiteral("missing/file")), "x");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().domain, ErrorDomains::kPosix);
    EXPECT_EQ(missing.error().code, ENOENT);
}

TEST_F(AtomicFileTest, AWriteCutShortLeavesTheTargetByteIdenticalAndNoTemporary) {
    const QByteArray original(3000, 'o');
    put(path, original);
    Error error;
    {
        const FileSizeLimit limit(4096);
        const Result<void> written = AtomicFile::write(path, QByteArray(64 * 1024, 'n'));
        ASSERT_FALSE(written.ok());
        error = written.error();
    }
    EXPECT_EQ(error.code, EFBIG);
    EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("AllSignatures.plist")));
    EXPECT_EQ(contentsOf(path), original);
    EXPECT_EQ(entriesOf(root.path()), QStringList{QStringLiteral("AllSignatures.plist")});
}

// A disk that accepts every byte and then fails the flush or the close: the write has not happened.
TEST_F(AtomicFileTest, AFlushOrCloseThatFailsLateFailsTheWriteWithItsErrno) {
    const QByteArray original("original");
    put(path, original);
    const auto failingWith = [](int code, bool closeFirst) {
        return [code, closeFirst](int fd) {
            if (closeFirst) {
                ::close(fd);
            }
            errno = code;
            return -1;
        };
    };
    struct Case {
        const char* name;
        AtomicFile::FinishingCalls calls;
        int code;
    };
    const Case cases[] = {
        {"flush", {.flush = failingWith(EIO, false), .close = {}}, EIO},
        {"close", {.flush = {}, .close = failingWith(EDQUOT, true)}, EDQUOT},
    };
    for (const Case& failing : cases) {
        SCOPED_TRACE(failing.name);
        const Result<void> written = AtomicFile::write(path, QByteArray(5000, 'n'), {}, failing.calls);
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.error().code, failing.code);
        EXPECT_EQ(contentsOf(path), original);
        EXPECT_EQ(entriesOf(root.path()), QStringList{QStringLiteral("AllSignatures.plist")});
    }
}

// Mounting a small memory file system takes root and Linux's mount(); elsewhere the limit on the file's
// size above stands in for a full disk.
#ifdef __linux__
TEST_F(AtomicFileTest, AFullFileSystemLeavesTheTargetByteIdentical) {
    const QString mountPoint = root.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    if (::geteuid() != 0 ||
        ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    }
    const QString target = mountPoint + QStringLiteral("/secrets.json");
    const QByteArray original(8 * 1024, 's');
    put(target, original);
    const Result<void> written = AtomicFile::write(target, QByteArray(128 * 1024, 'n'));
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().code, ENOSPC);
    EXPECT_EQ(contentsOf(target), original);
    EXPECT_EQ(entriesOf(mountPoint), QStringList{QStringLiteral("secrets.json")});
    ::umount(QFile::encodeName(mountPoint).constData());
}
#endif

// Its reading neighbour: the start of a file, or why it could not be read, with the errno kept.
TEST_F(AtomicFileTest, FileContentsReadsUpToItsLimitAndFailsWithTheErrno) {
    put(path, QByteArray("0123456789"));
    const Result<QByteArray> start = FileContents::read(path, 4);
    ASSERT_TRUE(start.ok());
    EXPECT_EQ(start.value(), QByteArray("0123"));
    const Result<QByteArray> whole = FileContents::read(path, 41);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.value(), QByteArray("0123456789"));
    put(path, QByteArray());
    const Result<QByteArray> empty = FileContents::read(path, 41);
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty.value().isEmpty());
    // A pipe where a file belongs reads as empty instead of holding the check until something writes.
    const QString pipe = root.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const Result<QByteArray> piped = FileContents::read(pipe, 41);
    ASSERT_TRUE(piped.ok());
    EXPECT_TRUE(piped.value().isEmpty());

    const struct {
        QString path;
        int code;
    } failing[] = {{root.filePath(QStringLiteral("missing")), ENOENT}, {root.path(), EISDIR}};
    for (const auto& failure : failing) {
        SCOPED_TRACE(failure.path.toStdString());
        const Result<QByteArray> read = FileContents::read(failure.path, 41);
        ASSERT_FALSE(read.ok());
        EXPECT_EQ(read.error().domain, ErrorDomains::kPosix);
        EXPECT_EQ(read.error().code, failure.code);
    }
}

}  // namespace
