#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QUuid>

#include "FieldUpdateModel.h"

// The body of a profile save: the changed fields, and every colleague that is to be selected.
class ProfileUpdateModel final {
public:
    ProfileUpdateModel(QList<FieldUpdateModel> fields, QList<QUuid> sharedEmployees)
        : fields_(std::move(fields)), sharedEmployees_(std::move(sharedEmployees)) {}

    [[nodiscard]] const QList<FieldUpdateModel>& fields() const { return fields_; }
    [[nodiscard]] const QList<QUuid>& sharedEmployees() const { return sharedEmployees_; }

    [[nodiscard]] QJsonObject toJson() const;
    // The compact JSON the service expects as the save body.
    [[nodiscard]] QByteArray toJsonData() const;

private:
    QList<FieldUpdateModel> fields_;
    QList<QUuid> sharedEmployees_;
};
