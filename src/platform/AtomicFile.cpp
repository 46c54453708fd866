#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Error.h"

namespace {

constexpr int kNameAttempts = 64;

Error posixError(int code, const QString& path) {
    return Error{ErrorDomains::kPosix, code,
                 QStringLiteral("The file “%1” could not be saved: %2.")
                     .arg(QFileInfo(path).fileName(), QString::fromLocal8Bit(std::strerror(code)))};
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

int flushToDisk(int fd) {
#ifdef __APPLE__
    // fsync on macOS only reaches the drive's cache; F_FULLFSYNC reaches the medium where it is supported.
    if (::fcntl(fd, F_FULLFSYNC) == 0) {
        return 0;
    }
#endif
    return ::fsync(fd);
}

// A short name of our own rather than one derived from the target, which may already be as long as a file
// name can be.
QByteArray temporaryPath(const QByteArray& folder) {
    return folder + "/.orlin-" + QByteArray::number(QRandomGenerator::system()->generate64(), 16) + ".tmp";
}

}  // namespace

Result<void> AtomicFile::write(const QString& path, const QByteArray& bytes, Options options,
                               const FinishingCalls& calls) {
    const auto flush = calls.flush ? calls.flush : std::function<int(int)>(flushToDisk);
    const auto close = calls.close ? calls.close : std::function<int(int)>(::close);
    const QByteArray target = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const auto fail = [&path](int code) { return Result<void>(posixError(code, path)); };

    mode_t mode = options.newFileMode;
    bool exactMode = !options.keepExistingMode;
    struct stat existing {};
    if (options.keepExistingMode && ::lstat(target.constData(), &existing) == 0 &&
        S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & 07777;
        exactMode = true;
    }

    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
        temporary = temporaryPath(folder);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) {
            return fail(errno);
        }
    }
    if (fd < 0) {
        return fail(EEXIST);
    }

    const bool written = (!exactMode || ::fchmod(fd, mode) == 0) && writeAll(fd, bytes) && flush(fd) == 0;
    const int writeErrno = errno;
    // A file system that writes back on close (NFS, some FUSE mounts) reports a lost write only here.
    const bool closed = close(fd) == 0;
    const int closeErrno = errno;
    if (!written || !closed) {
        ::unlink(temporary.constData());
        return fail(!written ? writeErrno : closeErrno);
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int renameErrno = errno;
        ::unlink(temporary.constData());
        return fail(renameErrno);
    }
    // Makes the rename itself durable. The new contents are already in place, so a folder that cannot be
    // synced (some file systems refuse) does not turn a completed replace into a failure.
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return {};
}
