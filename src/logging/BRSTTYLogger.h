#pragma once

#include <QByteArray>
#include <QStringEncoder>
#include <memory>

#include "BRSLogger.h"
#include "LocalTimeCache.h"

// Writes each message as one line to standard error, prefixed with the time, the process and the thread,
// without colours. A line goes out in one vectored write, so lines of several processes sharing the
// terminal never interleave within a line.
class BRSTTYLogger final : public BRSLogger {
public:
    // The console logger of the process, writing to standard error; one, because standard error is one.
    [[nodiscard]] static std::shared_ptr<BRSTTYLogger> sharedInstance();

    // Writes to the given descriptor, which stays the caller's to close.
    explicit BRSTTYLogger(int fileDescriptor);
    ~BRSTTYLogger() override;

    void logMessage(const BRSLogMessage& message) override;

private:
    const int fileDescriptor_;
    const QByteArray processName_;
    const QByteArray processId_;
    QStringEncoder encoder_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    LocalTimeCache time_;
};
