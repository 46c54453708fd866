#include "ProfileImageCodec.h"

#include <QBuffer>

std::optional<QByteArray> ProfileImageCodec::decode(const QString& value) {
    // Anything outside ASCII would be folded into '?' on the way to bytes, so it is refused first.
    for (const QChar c : value) {
        if (c.unicode() > 0x7f) {
            return std::nullopt;
        }
    }
    QByteArray::FromBase64Result result =
        QByteArray::fromBase64Encoding(value.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result) {
        return std::nullopt;
    }
    return std::move(result.decoded);
}

std::optional<QString> ProfileImageCodec::encode(const QImage& image) {
    if (image.isNull()) {
        return std::nullopt;
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", 100) || jpeg.isEmpty()) {
        return std::nullopt;
    }
    const QByteArray base64 = jpeg.toBase64();
    QByteArray lines;
    lines.reserve(base64.size() + base64.size() / 32 + 2);
    for (qsizetype at = 0; at < base64.size(); at += 64) {
        if (at > 0) {
            lines.append("\r\n");
        }
        lines.append(base64.mid(at, 64));
    }
    return QString::fromLatin1(lines);
}
