#include "FileLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FileLock::Attempt FileLock::tryLock(const QByteArray& path, int mode) {
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
        return {-1, errno};
    }
    int locked = -1;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int code = errno;
        ::close(fd);
        return {-1, code};
    }
    return {fd, 0};
}

int FileLock::writeHint(int fd, const QByteArray& hint) {
    if (::ftruncate(fd, 0) != 0) {
        return errno;
    }
    const ssize_t written = ::pwrite(fd, hint.constData(), size_t(hint.size()), 0);
    if (written < 0) {
        return errno;
    }
    return written == ssize_t(hint.size()) ? 0 : ENOSPC;
}
