#pragma once

#include <QString>

// Lower-case hexadecimal digests of a text's UTF-8 bytes, two characters per digest byte.
class Hashes final {
public:
    Hashes() = delete;

    [[nodiscard]] static QString md5(const QString& text);
    [[nodiscard]] static QString sha1(const QString& text);
    [[nodiscard]] static QString sha224(const QString& text);
    [[nodiscard]] static QString sha256(const QString& text);
    [[nodiscard]] static QString sha384(const QString& text);
    [[nodiscard]] static QString sha512(const QString& text);
};
