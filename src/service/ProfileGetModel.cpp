#include "ProfileGetModel.h"

#include <QJsonObject>

#include "JsonReader.h"

std::optional<ProfileGetModel> ProfileGetModel::fromJson(const QJsonValue& json) {
    if (!json.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    const auto fields = JsonReader::requiredArray(object, QStringLiteral("fields"));
    const auto sharedEmployees = JsonReader::requiredArray(object, QStringLiteral("sharedEmployees"));
    const auto editable = JsonReader::requiredBool(object, QStringLiteral("editable"));
    if (!fields || !sharedEmployees || !editable) {
        return std::nullopt;
    }

    ProfileGetModel profile;
    profile.editable = *editable;
    for (const QJsonValue& item : *fields) {
        std::optional<FieldGetModel> field = FieldGetModel::fromJson(item);
        if (!field) {
            return std::nullopt;
        }
        profile.fields.append(std::move(*field));
    }
    for (const QJsonValue& item : *sharedEmployees) {
        std::optional<SharedEmployeeGetModel> employee = SharedEmployeeGetModel::fromJson(item);
        if (!employee) {
            return std::nullopt;
        }
        profile.sharedEmployees.append(std::move(*employee));
    }
    return profile;
}
