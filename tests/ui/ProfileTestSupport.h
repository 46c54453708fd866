#pragma once

#include <QBuffer>
#include <QImage>

#include "ProfileGetModel.h"

// Profiles as the service would send them, for the editor's tests.
namespace profiletest {

inline FieldGetModel field(const QString& code, qint64 type, std::optional<QString> value,
                           QStringList listItems = {}) {
    FieldGetModel model;
    model.code = code;
    model.displayName = code + QStringLiteral(" label");
    model.fieldType = ProfileFieldTypes::fromWire(type);
    model.isImageType = type == 2;
    model.value = std::move(value);
    model.listItems = std::move(listItems);
    return model;
}

inline SharedEmployeeGetModel employee(const QString& name, bool selected) {
    SharedEmployeeGetModel model;
    model.id = QUuid::createUuid();
    model.employeeDisplayName = name;
    model.employeeEmail = name.toLower() + QStringLiteral("@example.com");
    model.selected = selected;
    return model;
}

inline ProfileGetModel profile(QList<FieldGetModel> fields, QList<SharedEmployeeGetModel> employees = {}) {
    ProfileGetModel model;
    model.fields = std::move(fields);
    model.sharedEmployees = std::move(employees);
    model.editable = true;
    return model;
}

inline QString pngBase64(QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

}  // namespace profiletest
