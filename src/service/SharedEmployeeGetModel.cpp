#include "SharedEmployeeGetModel.h"

#include <QJsonObject>

#include "JsonReader.h"

std::optional<SharedEmployeeGetModel> SharedEmployeeGetModel::fromJson(const QJsonValue& json) {
    if (!json.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    const auto id = JsonReader::requiredUuid(object, QStringLiteral("id"));
    const auto displayName = JsonReader::requiredString(object, QStringLiteral("employeeDisplayName"));
    const auto email = JsonReader::requiredString(object, QStringLiteral("employeeEmail"));
    const auto selected = JsonReader::requiredBool(object, QStringLiteral("selected"));
    if (!id || !displayName || !email || !selected) {
        return std::nullopt;
    }
    return SharedEmployeeGetModel{*id, *displayName, *email, *selected};
}
