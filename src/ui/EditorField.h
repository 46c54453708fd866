#pragma once

#include <QPointer>
#include <QWidget>

#include "FieldGetModel.h"

// One row of the profile form: the control the user edits and the field it was built from.
class EditorField final {
public:
    EditorField(QWidget* editor, FieldGetModel field) : editor_(editor), field_(std::move(field)) {}

    // Gone once the form has been emptied.
    [[nodiscard]] QWidget* editor() const { return editor_; }
    [[nodiscard]] const FieldGetModel& field() const { return field_; }
    [[nodiscard]] bool isImageChanged() const { return isImageChanged_; }
    void setIsImageChanged(bool changed) { isImageChanged_ = changed; }

private:
    QPointer<QWidget> editor_;
    FieldGetModel field_;
    bool isImageChanged_ = false;
};
