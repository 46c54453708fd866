#pragma once

#include <QByteArray>
#include <QStringEncoder>

#include "BRSLogMessage.h"
#include "LocalTimeCache.h"

// The file line: local date and time to the millisecond, two blanks, the message, in UTF-8.
// Not thread-safe: each file logger keeps its own and uses it on its queue.
class BRSLogFileFormatterDefault final {
public:
    // Appends the line, without a line feed of its own, to out.
    void appendLogMessage(const BRSLogMessage& message, QByteArray& out);
    [[nodiscard]] QByteArray formatLogMessage(const BRSLogMessage& message);

private:
    LocalTimeCache time_;
    QStringEncoder encoder_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};
