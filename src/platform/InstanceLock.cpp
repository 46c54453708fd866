#include "InstanceLock.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "FileLock.h"

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
    const auto refuse = [this, problem](int code) {
        if (problem) {
            *problem = QStringLiteral("the lock file %1 cannot be used: %2")
                           .arg(path_, QString::fromLocal8Bit(std::strerror(code)));
        }
        return false;
    };
    const FileLock::Attempt attempt = FileLock::tryLock(QFile::encodeName(path_), 0600);
    if (attempt.fd < 0) {
        return attempt.error == EWOULDBLOCK ? false : refuse(attempt.error);
    }
    fd_ = attempt.fd;
    // Only a hint for whoever looks at the file; a write that fails here changes nothing about the lock.
    static_cast<void>(FileLock::writeHint(fd_, QByteArray::number(qint64(::getpid())) + '\n'));
    return true;
}
