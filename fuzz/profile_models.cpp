// The profile answers of the service and the save body made from them. Properties: a profile that
// decodes turns into a save body that reads back with the same field codes and values and the same
// selected colleagues; the save answer decodes or is refused without a crash.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstdlib>

#include "ProfileGetResponse.h"
#include "ProfileUpdateModel.h"
#include "ProfileUpdateResponse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)ProfileUpdateResponse::fromJsonData(bytes);
    const std::optional<ProfileGetResponse> response = ProfileGetResponse::fromJsonData(bytes);
    if (!response) {
        return 0;
    }

    QList<FieldUpdateModel> fields;
    for (const FieldGetModel& field : response->data.fields) {
        fields.append(FieldUpdateModel(field.code, field.value.value_or(QString())));
    }
    QList<QUuid> selected;
    for (const SharedEmployeeGetModel& employee : response->data.sharedEmployees) {
        if (employee.selected) {
            selected.append(employee.id);
        }
    }
    const QJsonObject body =
        QJsonDocument::fromJson(ProfileUpdateModel(fields, selected).toJsonData()).object();
    const QJsonArray bodyFields = body.value(QStringLiteral("fields")).toArray();
    const QJsonArray bodyEmployees = body.value(QStringLiteral("sharedEmployees")).toArray();
    if (bodyFields.size() != fields.size() || bodyEmployees.size() != selected.size()) {
        std::abort();
    }
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QJsonObject field = bodyFields[i].toObject();
        if (field.value(QStringLiteral("code")).toString() != fields[i].code() ||
            field.value(QStringLiteral("value")).toString() != fields[i].value()) {
            std::abort();
        }
    }
    for (qsizetype i = 0; i < selected.size(); ++i) {
        if (QUuid::fromString(bodyEmployees[i].toString()) != selected[i]) {
            std::abort();
        }
    }
    return 0;
}
