#include "ProfileGetResponse.h"

#include "JsonReader.h"

std::optional<ProfileGetResponse> ProfileGetResponse::fromJsonData(const QByteArray& data) {
    const std::optional<QJsonObject> object = JsonReader::objectFromData(data);
    if (!object) {
        return std::nullopt;
    }
    const auto result = JsonReader::requiredBool(*object, QStringLiteral("result"));
    const auto error = JsonReader::optionalString(*object, QStringLiteral("error"));
    std::optional<ProfileGetModel> profile = ProfileGetModel::fromJson(object->value(QStringLiteral("data")));
    if (!result || !error || !profile) {
        return std::nullopt;
    }
    return ProfileGetResponse{*result, *error, std::move(*profile)};
}
