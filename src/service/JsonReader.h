#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

// Strict readers for the members of the service's answers: a required member must be present, non-null
// and of its type; an optional one may also be absent or null. Every reader answers nothing on a
// mismatch, so a decoder fails as a whole instead of filling in a default the service never sent.
class JsonReader final {
public:
    JsonReader() = delete;

    // The top-level object of a JSON text, or nothing for anything else (including a top-level array).
    [[nodiscard]] static std::optional<QJsonObject> objectFromData(const QByteArray& data);
    // Any JSON text; a top-level array parses but has no members, so every member reads as missing.
    [[nodiscard]] static std::optional<QJsonObject> membersFromData(const QByteArray& data);

    [[nodiscard]] static std::optional<QString> requiredString(const QJsonObject& object, const QString& key);
    [[nodiscard]] static std::optional<bool> requiredBool(const QJsonObject& object, const QString& key);
    [[nodiscard]] static std::optional<qint64> requiredInteger(const QJsonObject& object, const QString& key);
    [[nodiscard]] static std::optional<QJsonArray> requiredArray(const QJsonObject& object,
                                                                 const QString& key);
    [[nodiscard]] static std::optional<QStringList> requiredStringList(const QJsonObject& object,
                                                                       const QString& key);
    // The UUID in its 36-character hyphenated form, digits in either case.
    [[nodiscard]] static std::optional<QUuid> requiredUuid(const QJsonObject& object, const QString& key);

    // The outer optional is nothing on a type mismatch; the inner one is nothing for absent or null.
    [[nodiscard]] static std::optional<std::optional<QString>> optionalString(const QJsonObject& object,
                                                                              const QString& key);
};
