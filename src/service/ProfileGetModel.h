#pragma once

#include <QJsonValue>
#include <QList>
#include <optional>

#include "FieldGetModel.h"
#include "SharedEmployeeGetModel.h"

// The user's profile: the fields the service renders the signatures from, and the colleagues.
struct ProfileGetModel {
    QList<FieldGetModel> fields;
    QList<SharedEmployeeGetModel> sharedEmployees;
    bool editable = false;

    // Nothing when any member, or any field or colleague inside, fails to decode.
    [[nodiscard]] static std::optional<ProfileGetModel> fromJson(const QJsonValue& json);
};
