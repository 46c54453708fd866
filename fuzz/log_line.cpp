// The log: message templates filled with texts that come from outside (signature names, HTML, service
// errors), then written as file lines. Properties: a template without placeholders comes out as it is,
// and every line is its timestamp prefix followed by valid UTF-8, whatever the message holds (lone
// surrogates included), so a log reader never meets a broken line.
//
// The input: eight bytes of timestamp, then UTF-16 code units; U+0000 separates the template from the
// arguments and the arguments from each other.

#include <QList>
#include <QStringDecoder>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "BRSLogFileFormatterDefault.h"
#include "BRSLogFormat.h"

namespace {

// A "yyyy/MM/dd HH:mm:ss:SSS  " prefix: digits where digits belong, the separators in between.
bool hasTimestampPrefix(const QByteArray& line) {
    static constexpr char kShape[] = "dddd/dd/dd dd:dd:dd:ddd  ";
    if (line.size() < qsizetype(sizeof kShape - 1)) {
        return false;
    }
    for (qsizetype i = 0; i < qsizetype(sizeof kShape - 1); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (kShape[i] == 'd' ? !digit : line[i] != kShape[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace std::chrono;
    if (size < 8) {
        return 0;
    }
    std::int64_t rawMilliseconds = 0;
    std::memcpy(&rawMilliseconds, data, 8);
    // Any moment from 1970 to 2255, about as far as the clock's nanoseconds reach.
    constexpr std::int64_t kLastMillisecond = 9'000'000'000'000;
    const std::int64_t milliseconds = static_cast<std::int64_t>(static_cast<std::uint64_t>(rawMilliseconds) %
                                                                static_cast<std::uint64_t>(kLastMillisecond));
    data += 8;
    size -= 8;

    QString text(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, (size / 2) * 2);
    const QList<QStringView> parts = QStringView(text).split(QChar(u'\0'));
    QList<QString> arguments;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        arguments.append(parts[i].toString());
    }
    const QString message = BRSLogFormat::substitute(parts.first(), arguments.constData(),
                                                     static_cast<std::size_t>(arguments.size()));
    if (!parts.first().contains(QLatin1Char('%')) && message != parts.first()) {
        std::abort();
    }

    static BRSLogFileFormatterDefault formatter;
    BRSLogMessage record;
    record.message = message;
    record.timestamp = system_clock::time_point(
        duration_cast<system_clock::duration>(std::chrono::milliseconds(milliseconds)));
    const QByteArray line = formatter.formatLogMessage(record);
    if (!hasTimestampPrefix(line)) {
        std::abort();
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)decoder.decode(line);
    if (decoder.hasError()) {
        std::abort();
    }
    return 0;
}
