#pragma once

#include <QDateTime>
#include <QString>
#include <atomic>
#include <functional>
#include <vector>

#include "BRSLogFileInfo.h"

// Names, lists, creates and prunes the log files in one folder. A file belongs to the log when its name is
// the application identifier, a blank, a UTC minute and ".log", with " 2", " 3"… before the extension for
// files started within the same minute; every other file in the folder is left alone.
class BRSLogFileManagerDefault final {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr std::size_t kDefaultLogMaxNumLogFiles = 5;
    static constexpr quint64 kDefaultLogFilesDiskQuota = 20 * 1024 * 1024;

    // An empty folder means the default one; an empty clock means the system's.
    explicit BRSLogFileManagerDefault(QString logsDirectory = {}, Clock clock = {});

    [[nodiscard]] static QString defaultLogsDirectory();
    // The folder, created with its parents (readable by the user only) when it is missing; a folder that
    // cannot be made is reported, once for each call.
    [[nodiscard]] QString logsDirectory() const;
    [[nodiscard]] QString applicationIdentifier() const;
    [[nodiscard]] QDateTime now() const;

    void setMaximumNumberOfLogFiles(std::size_t count) { maximumNumberOfLogFiles_ = count; }
    [[nodiscard]] std::size_t maximumNumberOfLogFiles() const { return maximumNumberOfLogFiles_; }
    void setLogFilesDiskQuota(quint64 bytes) { logFilesDiskQuota_ = bytes; }
    [[nodiscard]] quint64 logFilesDiskQuota() const { return logFilesDiskQuota_; }

    [[nodiscard]] bool isLogFile(const QString& fileName) const;
    [[nodiscard]] std::vector<BRSLogFileInfo> sortedLogFileInfos() const;

    // Creates an empty file that only the user can read, then prunes the folder. Returns its path, or an
    // empty text when the file could not be created.
    [[nodiscard]] QString createNewLogFile();
    void deleteOldLogFiles();

private:
    QString logsDirectory_;
    Clock clock_;
    std::atomic<std::size_t> maximumNumberOfLogFiles_ = kDefaultLogMaxNumLogFiles;
    std::atomic<quint64> logFilesDiskQuota_ = kDefaultLogFilesDiskQuota;
};
