#pragma once

#include <QDateTime>
#include <QString>

// What the file system tells about one log file, read once when the record is made. The archived mark is
// an extended attribute, so it survives renames and is visible to anyone looking at the folder.
class BRSLogFileInfo final {
public:
#ifdef __linux__
    // Linux lets unprivileged programs set attributes only in the user namespace.
    static constexpr const char* kArchivedAttribute = "user.brisel.log.archived";
#else
    static constexpr const char* kArchivedAttribute = "brisel.log.archived";
#endif

    explicit BRSLogFileInfo(QString filePath);

    [[nodiscard]] const QString& filePath() const {
        return filePath_;
    }
    [[nodiscard]] const QString& fileName() const {
        return fileName_;
    }
    // When the file system keeps no birth time, the minute in the file's name stands in for it.
    [[nodiscard]] const QDateTime& creationDate() const {
        return creationDate_;
    }
    [[nodiscard]] qint64 fileSize() const {
        return fileSize_;
    }
    // Seconds since creation, against the clock the caller goes by.
    [[nodiscard]] double age(const QDateTime& now) const;

    [[nodiscard]] bool isArchived() const;
    // Reports a failure to the system log; removing a mark that is not there is no failure.
    bool setIsArchived(bool archived);
    // Marks the file that fileDescriptor refers to, which still works after the file was renamed.
    static bool setIsArchived(int fileDescriptor, const QString& filePathForReports);

    // The date and the collision counter (1 when there is none) that the file's name carries.
    [[nodiscard]] const QDateTime& nameDate() const {
        return nameDate_;
    }
    [[nodiscard]] int nameCounter() const {
        return nameCounter_;
    }

    // Newest first: by creation, then by the name's date and counter when creations tie.
    [[nodiscard]] static bool isNewer(const BRSLogFileInfo& left, const BRSLogFileInfo& right);

private:
    QString filePath_;
    QString fileName_;
    QDateTime creationDate_;
    QDateTime nameDate_;
    int nameCounter_ = 1;
    qint64 fileSize_ = 0;
};
