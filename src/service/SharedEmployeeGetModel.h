#pragma once

#include <QString>
#include <QUuid>

// A colleague whose shared signatures the user may take part in.
struct SharedEmployeeGetModel {
    QUuid id;
    QString employeeDisplayName;
    QString employeeEmail;
    bool selected = false;
};
