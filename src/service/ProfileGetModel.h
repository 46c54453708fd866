#pragma once

#include <QList>

#include "FieldGetModel.h"
#include "SharedEmployeeGetModel.h"

// The user's profile: the fields the service renders the signatures from, and the colleagues.
struct ProfileGetModel {
    QList<FieldGetModel> fields;
    QList<SharedEmployeeGetModel> sharedEmployees;
    bool editable = false;
};
