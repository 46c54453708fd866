#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The envelope of the profile save answer.
struct ProfileUpdateResponse {
    bool result = false;
    std::optional<QString> data;
    std::optional<QString> error;

    // Nothing when the bytes are not a JSON object of this shape.
    [[nodiscard]] static std::optional<ProfileUpdateResponse> fromJsonData(const QByteArray& data);
};
