#include "BRSLogFileInfo.h"

#include <sys/xattr.h>

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <cerrno>
#include <cstring>

#include "BRSSystemLog.h"

namespace {

#ifdef __APPLE__
int setAttribute(const char* path, const char* name) {
    return ::setxattr(path, name, "", 0, 0, 0);
}
int setAttribute(int fd, const char* name) {
    return ::fsetxattr(fd, name, "", 0, 0, 0);
}
int removeAttribute(const char* path, const char* name) {
    return ::removexattr(path, name, 0);
}
ssize_t readAttribute(const char* path, const char* name) {
    return ::getxattr(path, name, nullptr, 0, 0, 0);
}
constexpr int kMissingAttribute = ENOATTR;
#else
int setAttribute(const char* path, const char* name) {
    return ::setxattr(path, name, "", 0, 0);
}
int setAttribute(int fd, const char* name) {
    return ::fsetxattr(fd, name, "", 0, 0);
}
int removeAttribute(const char* path, const char* name) {
    return ::removexattr(path, name);
}
ssize_t readAttribute(const char* path, const char* name) {
    return ::getxattr(path, name, nullptr, 0);
}
constexpr int kMissingAttribute = ENODATA;
#endif

void reportAttributeFailure(const char* call, const QString& path, int error) {
    BRSSystemLog::report(QStringLiteral("BRSLogFileInfo: %1(%2, %3): error = %4")
                             .arg(QLatin1String(call), path,
                                  QLatin1String(BRSLogFileInfo::kArchivedAttribute),
                                  QString::fromLocal8Bit(std::strerror(error))));
}

// "… 2026-12-08 00-04.log" or "… 2026-12-08 00-04 2.log": the date and the counter before the extension.
void parseName(const QString& fileName, QDateTime& date, int& counter) {
    static const QRegularExpression pattern(
        QStringLiteral(R"( (\d{4}-\d{2}-\d{2} \d{2}-\d{2})(?: (\d+))?\.log$)"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch()) {
        return;
    }
    const QLocale posix(QLocale::C);
    date = QDateTime(posix.toDate(match.captured(1).left(10), QStringLiteral("yyyy-MM-dd")),
                     posix.toTime(match.captured(1).mid(11), QStringLiteral("HH-mm")), QTimeZone::utc());
    if (match.hasCaptured(2)) {
        counter = match.captured(2).toInt();
    }
}

}  // namespace

BRSLogFileInfo::BRSLogFileInfo(QString filePath) : filePath_(std::move(filePath)) {
    const QFileInfo info(filePath_);
    fileName_ = info.fileName();
    fileSize_ = info.size();
    parseName(fileName_, nameDate_, nameCounter_);
    creationDate_ = info.birthTime();
    if (!creationDate_.isValid()) {
        creationDate_ = nameDate_.isValid() ? nameDate_ : info.lastModified();
    }
}

double BRSLogFileInfo::age(const QDateTime& now) const {
    return static_cast<double>(creationDate_.msecsTo(now)) / 1000.0;
}

bool BRSLogFileInfo::isArchived() const {
    const QByteArray path = QFile::encodeName(filePath_);
    return readAttribute(path.constData(), kArchivedAttribute) >= 0;
}

bool BRSLogFileInfo::setIsArchived(bool archived) {
    const QByteArray path = QFile::encodeName(filePath_);
    if (archived) {
        if (setAttribute(path.constData(), kArchivedAttribute) != 0) {
            reportAttributeFailure("setxattr", filePath_, errno);
            return false;
        }
        return true;
    }
    if (removeAttribute(path.constData(), kArchivedAttribute) != 0 && errno != kMissingAttribute) {
        reportAttributeFailure("removexattr", filePath_, errno);
        return false;
    }
    return true;
}

bool BRSLogFileInfo::setIsArchived(int fileDescriptor, const QString& filePathForReports) {
    if (setAttribute(fileDescriptor, kArchivedAttribute) != 0) {
        reportAttributeFailure("setxattr", filePathForReports, errno);
        return false;
    }
    return true;
}

bool BRSLogFileInfo::isNewer(const BRSLogFileInfo& left, const BRSLogFileInfo& right) {
    if (left.creationDate_ != right.creationDate_) {
        return left.creationDate_ > right.creationDate_;
    }
    if (left.nameDate_ != right.nameDate_) {
        return left.nameDate_ > right.nameDate_;
    }
    return left.nameCounter_ > right.nameCounter_;
}
