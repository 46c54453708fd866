#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

// How the service carries a profile picture: JPEG data as Base64 text.
class ProfileImageCodec final {
public:
    ProfileImageCodec() = delete;

    // Strict: any character outside the Base64 alphabet, a line break included, gives nothing.
    [[nodiscard]] static std::optional<QByteArray> decode(const QString& value);
    // Full-quality JPEG, neither scaled nor cropped, as Base64 in lines of 64 characters ended by CR LF
    // (none after the last); nothing when the picture cannot be encoded.
    [[nodiscard]] static std::optional<QString> encode(const QImage& image);
};
