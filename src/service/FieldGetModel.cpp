#include "FieldGetModel.h"

#include <QJsonObject>

#include "JsonReader.h"

std::optional<FieldGetModel> FieldGetModel::fromJson(const QJsonValue& json) {
    if (!json.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    const auto code = JsonReader::requiredString(object, QStringLiteral("code"));
    const auto displayName = JsonReader::requiredString(object, QStringLiteral("displayName"));
    const auto isImageType = JsonReader::requiredBool(object, QStringLiteral("isImageType"));
    const auto fieldType = JsonReader::requiredInteger(object, QStringLiteral("fieldType"));
    const auto value = JsonReader::optionalString(object, QStringLiteral("value"));
    const auto listItems = JsonReader::requiredStringList(object, QStringLiteral("listItems"));
    if (!code || !displayName || !isImageType || !fieldType || !value || !listItems) {
        return std::nullopt;
    }
    FieldGetModel field{*code, *displayName, *isImageType, std::nullopt, *value, *listItems};
    // A type the agent has no control for is no reason to refuse the rest of the profile.
    field.fieldType = ProfileFieldTypes::fromWire(*fieldType);
    return field;
}
