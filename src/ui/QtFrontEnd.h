#pragma once

#include <memory>

#include "Environment.h"
#include "FrontEnd.h"
#include "QtAlertPresenter.h"

class QMenuBar;

// The desktop front end: the status item in the menu bar or tray, message boxes and Qt windows.
class QtFrontEnd final : public FrontEnd {
public:
    explicit QtFrontEnd(Environment environment);
    ~QtFrontEnd() override;

    [[nodiscard]] std::unique_ptr<WindowController> createPreferencesWindow() override;
    [[nodiscard]] std::unique_ptr<WindowController> createAboutWindow() override;
    [[nodiscard]] std::unique_ptr<WindowController> createCredentialsWindow() override;
    [[nodiscard]] std::unique_ptr<WindowController> createProfileWindow() override;
    [[nodiscard]] std::unique_ptr<StatusView> createStatusView() override;
    void installMainMenu(StatusMenu* menu) override;
    void activateIgnoringOtherApps() override;
    [[nodiscard]] AlertPresenter& alertPresenter() override { return alerts_; }

private:
    Environment environment_;
    QtAlertPresenter alerts_;
    std::unique_ptr<QMenuBar> mainMenuBar_;
};
