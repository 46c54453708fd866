#pragma once

#include <QJsonValue>
#include <QString>
#include <QUuid>
#include <optional>

// A colleague whose shared signatures the user may take part in.
struct SharedEmployeeGetModel {
    QUuid id;
    QString employeeDisplayName;
    QString employeeEmail;
    bool selected = false;

    // Nothing when a required member is missing or of another type, or "id" is not a UUID text.
    [[nodiscard]] static std::optional<SharedEmployeeGetModel> fromJson(const QJsonValue& json);
};
