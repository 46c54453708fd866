#pragma once

#include <QJsonObject>
#include <QString>

// One changed field of a profile save.
class FieldUpdateModel final {
public:
    FieldUpdateModel(QString code, QString value) : code_(std::move(code)), value_(std::move(value)) {}

    [[nodiscard]] const QString& code() const { return code_; }
    [[nodiscard]] const QString& value() const { return value_; }

    [[nodiscard]] QJsonObject toJson() const;

private:
    QString code_;
    QString value_;
};
