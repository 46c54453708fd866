#include "FieldUpdateModel.h"

QJsonObject FieldUpdateModel::toJson() const {
    return QJsonObject{{QStringLiteral("code"), code_}, {QStringLiteral("value"), value_}};
}
