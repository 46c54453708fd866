#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// One profile field as the service sends it.
struct FieldGetModel {
    QString code;
    QString displayName;
    bool isImageType = false;
    qint64 fieldType = 0;
    std::optional<QString> value;
    QStringList listItems;
};
