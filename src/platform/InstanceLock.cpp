#include "InstanceLock.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::InstanceLock(const QString& dataFolder)
    : path_(QDir::cleanPath(dataFolder) + QStringLiteral("/agent.lock")) {}

InstanceLock::~InstanceLock() {
    // The file stays: removing it would let a starting agent lock a new file while a third still waits on
    // the old one.
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool InstanceLock::tryLock(QString* problem) {
    if (fd_ >= 0) {
        return true;
    }
    QDir().mkpath(QFileInfo(path_).absolutePath());
    const QByteArray native = QFile::encodeName(path_);
    const auto refuse = [this, problem](int code) {
        if (problem) {
            *problem = QStringLiteral("the lock file %1 cannot be used: %2")
                           .arg(path_, QString::fromLocal8Bit(std::strerror(code)));
        }
        return false;
    };
    // Close-on-exec: an osascript child that outlived the agent would otherwise keep the lock held.
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return refuse(errno);
    }
    int locked = -1;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int code = errno;
        ::close(fd);
        return code == EWOULDBLOCK ? false : refuse(code);
    }
    fd_ = fd;
    // Only a hint for whoever looks at the file; a write that fails here changes nothing about the lock.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd_, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd_, pid.constData(), size_t(pid.size()), 0);
    }
    return true;
}
