#pragma once

#include <QDialog>

#include "WindowController.h"

// A window whose content this version does not have yet: it opens, says so, and closes.
class PlaceholderWindow final : public WindowController {
public:
    PlaceholderWindow(const QString& title, const QString& message);

    void centerWindow() override;
    void showWindow() override;

    [[nodiscard]] QDialog& window() { return window_; }

private:
    QDialog window_;
};
