#include "BRSLogFileManagerDefault.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimeZone>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "AppInfo.h"
#include "BRSSystemLog.h"

namespace {

const QString kNameDateFormat = QStringLiteral("yyyy'-'MM'-'dd' 'HH'-'mm'");
const QString kExtension = QStringLiteral(".log");

QString processName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

bool makeDirectory(const QString& path, QString& failure) {
    if (QFileInfo(path).isDir()) {
        return true;
    }
    // Created piece by piece so that every folder made here is the user's alone.
    QString current;
    for (const QString& piece : QDir::cleanPath(path).split(QLatin1Char('/'))) {
        current += piece.isEmpty() && current.isEmpty() ? QStringLiteral("/") : piece + QLatin1Char('/');
        if (piece.isEmpty() || QFileInfo(current).isDir()) {
            continue;
        }
        if (::mkdir(QFile::encodeName(current).constData(), 0700) != 0 && errno != EEXIST) {
            failure = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
    }
    if (!QFileInfo(path).isDir()) {
        failure = QStringLiteral("not a folder");
        return false;
    }
    return true;
}

}  // namespace

BRSLogFileManagerDefault::BRSLogFileManagerDefault(QString logsDirectory, Clock clock)
    : logsDirectory_(logsDirectory.isEmpty() ? defaultLogsDirectory() : std::move(logsDirectory)),
      clock_(std::move(clock)) {}

QString BRSLogFileManagerDefault::defaultLogsDirectory() {
    const QString folder = AppInfo::logsDirectory();
    if (!folder.isEmpty()) {
        return folder;
    }
    return QDir::tempPath() + QLatin1Char('/') + processName();
}

QString BRSLogFileManagerDefault::logsDirectory() const {
    QString failure;
    if (!makeDirectory(logsDirectory_, failure)) {
        BRSSystemLog::report(
            QStringLiteral("BRSLogFileManagerDefault: Error creating logsDirectory: %1").arg(failure));
    }
    return logsDirectory_;
}

QString BRSLogFileManagerDefault::applicationIdentifier() const {
    const QString identifier = AppInfo::bundleIdentifier();
    return identifier.isEmpty() ? processName() : identifier;
}

QDateTime BRSLogFileManagerDefault::now() const {
    return clock_ ? clock_() : QDateTime::currentDateTime();
}

bool BRSLogFileManagerDefault::isLogFile(const QString& fileName) const {
    const QString identifier = applicationIdentifier();
    if (!fileName.startsWith(identifier) || !fileName.endsWith(kExtension)) {
        return false;
    }
    const qsizetype middleLength = fileName.size() - identifier.size() - kExtension.size();
    if (middleLength < 17) {
        return false;
    }
    const QStringList pieces = fileName.mid(identifier.size(), middleLength).split(QLatin1Char(' '));
    if (pieces.size() != 3 && pieces.size() != 4) {
        return false;
    }
    // Date and time apart: the names are in UTC, and a minute that the local clock skips is still a name.
    const QLocale posix(QLocale::C);
    return posix.toDate(pieces[1], QStringLiteral("yyyy-MM-dd")).isValid() &&
           posix.toTime(pieces[2], QStringLiteral("HH-mm")).isValid();
}

std::vector<BRSLogFileInfo> BRSLogFileManagerDefault::sortedLogFileInfos() const {
    // Listing makes nothing: a missing folder holds no files, and only the file about to be created needs
    // it, which keeps a folder that cannot be made to one report for each file that could not be started.
    const QDir directory(logsDirectory_);
    std::vector<BRSLogFileInfo> infos;
    // A link is nobody's log file: following it would write to, or delete, whatever it points at.
    for (const QString& name : directory.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        if (isLogFile(name)) {
            infos.emplace_back(directory.filePath(name));
        }
    }
    std::sort(infos.begin(), infos.end(), BRSLogFileInfo::isNewer);
    return infos;
}

QString BRSLogFileManagerDefault::createNewLogFile() {
    const QString directory = logsDirectory();
    const QString stem = applicationIdentifier() + QLatin1Char(' ') +
                         QLocale(QLocale::C).toString(now().toTimeZone(QTimeZone::utc()), kNameDateFormat);
    for (unsigned long counter = 1;; ++counter) {
        const QString name = counter == 1 ? stem + kExtension
                                          : QStringLiteral("%1 %2%3").arg(stem).arg(counter).arg(kExtension);
        const QString path = directory + QLatin1Char('/') + name;
        // Exclusive creation is the test for a taken name, so two writers can never share a file.
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            deleteOldLogFiles();
            return path;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
}

void BRSLogFileManagerDefault::deleteOldLogFiles() {
    const std::vector<BRSLogFileInfo> infos = sortedLogFileInfos();
    std::size_t firstToDelete = infos.size();
    const quint64 quota = logFilesDiskQuota_;
    if (quota != 0) {
        quint64 used = 0;
        for (std::size_t i = 0; i < infos.size(); ++i) {
            used += static_cast<quint64>(std::max<qint64>(infos[i].fileSize(), 0));
            if (used > quota) {
                firstToDelete = i;
                break;
            }
        }
    }
    const std::size_t maximumCount = maximumNumberOfLogFiles_;
    if (maximumCount != 0) {
        firstToDelete = std::min(firstToDelete, maximumCount);
    }
    // The newest file may be the one being written; it goes only once it has been archived.
    if (firstToDelete == 0 && !infos.empty() && !infos.front().isArchived()) {
        firstToDelete = 1;
    }
    for (std::size_t i = firstToDelete; i < infos.size(); ++i) {
        QFile::remove(infos[i].filePath());
    }
}
