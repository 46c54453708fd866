#include "ProfileUpdateResponse.h"

#include "JsonReader.h"

std::optional<ProfileUpdateResponse> ProfileUpdateResponse::fromJsonData(const QByteArray& data) {
    const std::optional<QJsonObject> object = JsonReader::objectFromData(data);
    if (!object) {
        return std::nullopt;
    }
    const auto result = JsonReader::requiredBool(*object, QStringLiteral("result"));
    const auto answerData = JsonReader::optionalString(*object, QStringLiteral("data"));
    const auto error = JsonReader::optionalString(*object, QStringLiteral("error"));
    if (!result || !answerData || !error) {
        return std::nullopt;
    }
    return ProfileUpdateResponse{*result, *answerData, *error};
}
