#pragma once

#include <functional>

class QBoxLayout;
class QDialog;
class QDialogButtonBox;

// The row of buttons at the foot of the agent's windows, added to the window's layout.
class DialogButtons final {
public:
    DialogButtons() = delete;

    // A lone Close button that closes the window.
    static QDialogButtonBox* addClose(QDialog& window, QBoxLayout& layout);
    // Save, the default button, and Close. Each only runs its action: the action decides whether the
    // window closes, so a refused save keeps what the user typed on screen.
    static QDialogButtonBox* addSaveAndClose(QDialog& window, QBoxLayout& layout, std::function<void()> save,
                                             std::function<void()> close);
};
