// The query of the token requests, which carries the user's password and tokens. Property: whatever the
// keys and values hold, the query is plain ASCII and splits at "&" and "=" into exactly the parameters
// put in, each decoding back to its text; nothing a value holds can start a parameter of its own.
//
// The input is NUL-separated UTF-8: the base address, then keys and values in turn.

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <cstdint>
#include <cstdlib>

#include "BRSUrlBuilder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\0');
    BRSUrlBuilder builder(QString::fromUtf8(parts.first()));
    for (qsizetype i = 1; i + 1 < parts.size(); i += 2) {
        builder.addParameterWithKey(QString::fromUtf8(parts[i]), QString::fromUtf8(parts[i + 1]));
    }

    const QString query = builder.getQueryString();
    for (const QChar c : query) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7E) {
            std::abort();
        }
    }
    const QMap<QString, QString>& parameters = builder.parameters();
    const QStringList pairs = query.isEmpty() ? QStringList() : query.split(QLatin1Char('&'));
    if (pairs.size() != parameters.size()) {
        std::abort();
    }
    auto expected = parameters.cbegin();
    for (const QString& pair : pairs) {
        const QStringList halves = pair.split(QLatin1Char('='));
        if (halves.size() != 2 || QUrl::fromPercentEncoding(halves[0].toLatin1()) != expected.key() ||
            QUrl::fromPercentEncoding(halves[1].toLatin1()) != expected.value()) {
            std::abort();
        }
        ++expected;
    }
    return 0;
}
