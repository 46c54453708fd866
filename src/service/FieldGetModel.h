#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <optional>

#include "ProfileFieldType.h"

// One profile field as the service sends it.
struct FieldGetModel {
    QString code;
    QString displayName;
    bool isImageType = false;
    // Nothing for a number the agent has no control for.
    std::optional<ProfileFieldType> fieldType;
    std::optional<QString> value;
    QStringList listItems;

    // Nothing when a required member is missing, null or of another type.
    [[nodiscard]] static std::optional<FieldGetModel> fromJson(const QJsonValue& json);
};
