#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Lower-case hexadecimal digests of a text's UTF-8 bytes, two characters per digest byte.
class Hashes final {
public:
    Hashes() = delete;

    [[nodiscard]] static QString md5(const QString& text);
    [[nodiscard]] static QString sha1(const QString& text);
    // The same SHA-1 digest, of bytes that already are UTF-8.
    [[nodiscard]] static QByteArray sha1OfUtf8(QByteArrayView utf8);
    [[nodiscard]] static QString sha224(const QString& text);
    [[nodiscard]] static QString sha256(const QString& text);
    [[nodiscard]] static QString sha384(const QString& text);
    [[nodiscard]] static QString sha512(const QString& text);
};
