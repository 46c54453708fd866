#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "BRSLogFileFormatterDefault.h"
#include "BRSLogFileInfo.h"
#include "BRSLogFileManagerDefault.h"
#include "BRSLogger.h"
#include "SerialQueue.h"

class LogFileWatcher;

// Appends messages to the current log file and starts a new one when the current one is full, too old,
// deleted or renamed from outside, or on request. Nothing is opened before the first message, so a new
// run goes on writing the newest file of the last run while that one is neither archived, full nor old.
class BRSFileLogger final : public BRSLogger {
public:
    static constexpr quint64 kDefaultLogMaxFileSize = 1024 * 1024;
    static constexpr double kDefaultLogRollingFrequency = 60 * 60 * 24;

    // With a file manager for the default log folder.
    BRSFileLogger();
    explicit BRSFileLogger(std::shared_ptr<BRSLogFileManagerDefault> logFileManager);
    ~BRSFileLogger() override;

    [[nodiscard]] const std::shared_ptr<BRSLogFileManagerDefault>& logFileManager() const { return manager_; }

    // Changes take effect after the messages already logged, and before those logged later.
    void setMaximumFileSize(quint64 bytes);
    [[nodiscard]] quint64 maximumFileSize();
    // Seconds; 0 or less means files never grow too old.
    void setRollingFrequency(double seconds);
    [[nodiscard]] double rollingFrequency();
    void setDoNotReuseLogFiles(bool doNotReuse);
    [[nodiscard]] bool doNotReuseLogFiles();

    // Archives the current file; the next message starts a new one.
    void rollLogFile();
    // The file being written, if any.
    [[nodiscard]] std::optional<BRSLogFileInfo> currentLogFileInfo();

    void logMessage(const BRSLogMessage& message) override;
    void logMessages(std::span<const BRSLogMessage> messages, BRSLogLevel level) override;
    void flush() override;

private:
    void change(std::function<void()> work);
    void read(const std::function<void()>& work);

    bool openCurrentFile();
    [[nodiscard]] bool currentFileIsGone() const;
    void appendLine(const BRSLogMessage& message);
    void writeBuffer();
    void dropPartialLine(std::size_t written);
    void rollNow();
    void armAgeTimer();
    void reportWriteFailure(int error);

    const std::shared_ptr<BRSLogFileManagerDefault> manager_;
    BRSLogFileFormatterDefault formatter_;

    // Everything below belongs to the logger's queue.
    quint64 maximumFileSize_ = kDefaultLogMaxFileSize;
    double rollingFrequency_ = kDefaultLogRollingFrequency;
    bool doNotReuseLogFiles_ = false;

    int fd_ = -1;
    QString currentPath_;
    QDateTime currentCreationDate_;
    quint64 position_ = 0;
    // Tells a file from the one opened after it, for the timer and the watch that outlive a roll.
    quint64 generation_ = 0;
    SerialQueue::TimerId ageTimer_ = 0;
    QByteArray buffer_;
    int writeFailures_ = 0;

    std::unique_ptr<LogFileWatcher> watcher_;
};
