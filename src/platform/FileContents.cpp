#include "FileContents.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "Error.h"

namespace {

Error posixError(int code, const QString& path) {
    return Error{ErrorDomains::kPosix, code,
                 QStringLiteral("The file “%1” could not be read: %2.")
                     .arg(QFileInfo(path).fileName(), QString::fromLocal8Bit(std::strerror(code)))};
}

}  // namespace

Result<QByteArray> FileContents::read(const QString& path, qsizetype maxBytes) {
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    // Non-blocking, so that a pipe left where a file belongs reads as empty instead of waiting for ever.
    do {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return posixError(errno, path);
    }
    QByteArray contents(qMax<qsizetype>(maxBytes, 0), Qt::Uninitialized);
    qsizetype length = 0;
    int failure = 0;
    while (length < contents.size()) {
        const ssize_t got = ::read(fd, contents.data() + length, size_t(contents.size() - length));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            failure = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        length += got;
    }
    // Nothing was written through this descriptor, so a failing close loses nothing.
    ::close(fd);
    if (failure != 0) {
        return posixError(failure, path);
    }
    contents.resize(length);
    return contents;
}
