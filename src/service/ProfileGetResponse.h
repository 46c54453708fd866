#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "ProfileGetModel.h"

// The envelope of the profile read answer.
struct ProfileGetResponse {
    bool result = false;
    std::optional<QString> error;
    ProfileGetModel data;

    // Nothing when the bytes are not a JSON object of this shape.
    [[nodiscard]] static std::optional<ProfileGetResponse> fromJsonData(const QByteArray& data);
};
