#pragma once

#include <memory>

class AlertPresenter;
class StatusMenu;
class StatusView;
class WindowController;

// Everything the controller shows the user, made by one front end: the tray with its Qt windows, the
// console for headless runs, or fakes in tests.
class FrontEnd {
public:
    virtual ~FrontEnd();

    // One factory per window; none of them shows its window yet.
    [[nodiscard]] virtual std::unique_ptr<WindowController> createPreferencesWindow() = 0;
    [[nodiscard]] virtual std::unique_ptr<WindowController> createAboutWindow() = 0;
    [[nodiscard]] virtual std::unique_ptr<WindowController> createCredentialsWindow() = 0;
    [[nodiscard]] virtual std::unique_ptr<WindowController> createProfileWindow() = 0;
    // The status item; it is on screen when this returns.
    [[nodiscard]] virtual std::unique_ptr<StatusView> createStatusView() = 0;
    // Makes the menu the application's main menu (the menu bar's, on macOS).
    virtual void installMainMenu(StatusMenu* menu) = 0;
    // Brings the application to the front, ignoring other applications.
    virtual void activateIgnoringOtherApps() = 0;
    [[nodiscard]] virtual AlertPresenter& alertPresenter() = 0;
};
