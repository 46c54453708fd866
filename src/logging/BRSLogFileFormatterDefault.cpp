#include "BRSLogFileFormatterDefault.h"

namespace {

char* putDigits(char* out, int value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + digits;
}

}  // namespace

void BRSLogFileFormatterDefault::appendLogMessage(const BRSLogMessage& message, QByteArray& out) {
    // "yyyy/MM/dd HH:mm:ss:SSS  ", written by hand: this runs for every line, and a general-purpose
    // date formatter would cost more than all the rest of the line.
    const LocalTimeCache::Fields t = time_.fields(message.timestamp);
    char date[25];
    char* p = putDigits(date, t.year, 4);
    *p++ = '/';
    p = putDigits(p, t.month, 2);
    *p++ = '/';
    p = putDigits(p, t.day, 2);
    *p++ = ' ';
    p = putDigits(p, t.hour, 2);
    *p++ = ':';
    p = putDigits(p, t.minute, 2);
    *p++ = ':';
    p = putDigits(p, t.second, 2);
    *p++ = ':';
    p = putDigits(p, t.millisecond, 3);
    *p++ = ' ';
    *p++ = ' ';
    out.append(date, p - date);

    // Encoded straight into the line instead of through a temporary array.
    const qsizetype start = out.size();
    out.resize(start + encoder_.requiredSpace(message.message.size()));
    char* const end = encoder_.appendToBuffer(out.data() + start, message.message);
    out.truncate(end - out.constData());
}

QByteArray BRSLogFileFormatterDefault::formatLogMessage(const BRSLogMessage& message) {
    QByteArray line;
    appendLogMessage(message, line);
    return line;
}
