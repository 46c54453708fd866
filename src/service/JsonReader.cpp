#include "JsonReader.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <cmath>

std::optional<QJsonObject> JsonReader::objectFromData(const QByteArray& data) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

std::optional<QJsonObject> JsonReader::membersFromData(const QByteArray& data) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return std::nullopt;
    }
    return document.object();
}

std::optional<QString> JsonReader::requiredString(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isString()) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<bool> JsonReader::requiredBool(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isBool()) {
        return std::nullopt;
    }
    return value.toBool();
}

std::optional<qint64> JsonReader::requiredInteger(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isDouble()) {
        return std::nullopt;
    }
    // 2^63 itself is not representable, hence the strict upper bound.
    constexpr double kLimit = 9223372036854775808.0;
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < -kLimit || number >= kLimit) {
        return std::nullopt;
    }
    return static_cast<qint64>(number);
}

std::optional<QJsonArray> JsonReader::requiredArray(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isArray()) {
        return std::nullopt;
    }
    return value.toArray();
}

std::optional<QStringList> JsonReader::requiredStringList(const QJsonObject& object, const QString& key) {
    const std::optional<QJsonArray> array = requiredArray(object, key);
    if (!array) {
        return std::nullopt;
    }
    QStringList texts;
    texts.reserve(array->size());
    for (const QJsonValue& item : *array) {
        if (!item.isString()) {
            return std::nullopt;
        }
        texts.append(item.toString());
    }
    return texts;
}

std::optional<QUuid> JsonReader::requiredUuid(const QJsonObject& object, const QString& key) {
    const std::optional<QString> text = requiredString(object, key);
    // The length check refuses the braced form, which the parser would otherwise take.
    if (!text || text->size() != 36) {
        return std::nullopt;
    }
    const QUuid uuid = QUuid::fromString(*text);
    if (uuid.isNull() && *text != QStringLiteral("00000000-0000-0000-0000-000000000000")) {
        return std::nullopt;
    }
    return uuid;
}

std::optional<std::optional<QString>> JsonReader::optionalString(const QJsonObject& object,
                                                                 const QString& key) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) {
        return std::optional<QString>();
    }
    if (!value.isString()) {
        return std::nullopt;
    }
    return std::optional<QString>(value.toString());
}
