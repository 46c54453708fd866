#include "ProfileUpdateModel.h"

#include <QJsonArray>
#include <QJsonDocument>

QJsonObject ProfileUpdateModel::toJson() const {
    QJsonArray fields;
    for (const FieldUpdateModel& field : fields_) {
        fields.append(field.toJson());
    }
    QJsonArray sharedEmployees;
    for (const QUuid& id : sharedEmployees_) {
        sharedEmployees.append(id.toString(QUuid::WithoutBraces).toUpper());
    }
    return QJsonObject{{QStringLiteral("fields"), fields},
                       {QStringLiteral("sharedEmployees"), sharedEmployees}};
}

QByteArray ProfileUpdateModel::toJsonData() const {
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}
