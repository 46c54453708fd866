#include "BRSLogFormat.h"

QString BRSLogFormat::substitute(QStringView format, const QString* arguments, std::size_t count) {
    // Room for everything at once: an argument may be a whole signature, and growing into it would copy
    // it again.
    qsizetype size = format.size();
    for (std::size_t i = 0; i < count; ++i) {
        size += arguments[i].size();
    }
    QString result;
    result.reserve(size + 16);
    std::size_t next = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != QLatin1Char('%')) {
            continue;
        }
        const QChar kind = format[i + 1];
        if (kind == QLatin1Char('%')) {
            result.append(format.mid(start, i + 1 - start));
        } else if (kind == QLatin1Char('@')) {
            result.append(format.mid(start, i - start));
            // A placeholder without an argument stays visible instead of reading memory that is not there.
            result.append(next < count ? arguments[next] : QStringLiteral("(null)"));
            ++next;
        } else {
            continue;
        }
        ++i;
        start = i + 1;
    }
    result.append(format.mid(start));
    return result;
}
