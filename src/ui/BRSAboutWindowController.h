#pragma once

#include <QDialog>

#include "LazyWindow.h"
#include "WindowController.h"

class QLabel;

// Which version of the agent this is, for the user to tell support.
class BRSAboutWindowController final : public WindowController {
public:
    BRSAboutWindowController();
    ~BRSAboutWindowController() override;

    void centerWindow() override;
    void showWindow() override;

    // The window, built (and windowDidLoad run) on first use.
    QDialog& window();
    [[nodiscard]] QLabel* labelVersion() const { return labelVersion_; }

private:
    void build(QDialog& window);
    void windowDidLoad();

    LazyWindow<QDialog> window_;
    QLabel* labelVersion_ = nullptr;
};
