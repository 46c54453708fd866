#pragma once

#include <QMap>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "BRSViewState.h"
#include "FrontEnd.h"
#include "MenuItem.h"
#include "ProfileGetModel.h"
#include "RepeatingTimer.h"
#include "ScriptedAlertPresenter.h"
#include "StatusMenu.h"
#include "StatusView.h"
#include "WindowController.h"

// Test doubles for everything the controller shows. They keep the current state for direct assertions and
// append every call to one shared log, so tests can also check the order of effects.

class FakeMenuItem final : public MenuItem {
public:
    FakeMenuItem(QString name, QStringList& log) : name_(std::move(name)), log_(log) {}
    void setEnabled(bool enabled) override;
    [[nodiscard]] bool isEnabled() const override { return enabled_; }

private:
    QString name_;
    QStringList& log_;
    bool enabled_ = true;
};

class FakeStatusMenu final : public StatusMenu {
public:
    explicit FakeStatusMenu(QStringList& log)
        : update(QStringLiteral("update"), log),
          preferences(QStringLiteral("preferences"), log),
          enterToken(QStringLiteral("enter-token"), log) {}

    [[nodiscard]] MenuItem& updateAllSignaturesItem() override { return update; }
    [[nodiscard]] MenuItem& preferencesItem() override { return preferences; }
    [[nodiscard]] MenuItem& enterTokenItem() override { return enterToken; }

    FakeMenuItem update;
    FakeMenuItem preferences;
    FakeMenuItem enterToken;
};

class RecordingStatusView final : public StatusView {
public:
    explicit RecordingStatusView(QStringList& log) : log_(log) {}

    void setStatusMenu(StatusMenu* menu) override;
    void setStatusImage(const std::optional<StatusImage>& image) override;
    void setStatusTooltip(const std::optional<QString>& tooltip) override;
    void showPopoverWithText(const QString& text) override;

    StatusMenu* menu = nullptr;
    std::optional<QString> imageName;
    std::optional<QString> tooltip;
    QStringList popovers;

private:
    QStringList& log_;
};

class FakeWindow final : public WindowController {
public:
    FakeWindow(QString resourceName, QStringList& log) : resourceName_(std::move(resourceName)), log_(log) {}

    void centerWindow() override;
    void showWindow() override;
    // Records every alert option set on the view state afterwards, by name, with the view state.
    void setViewState(BRSViewState* viewState) override;
    void setFields(const ProfileGetModel& profile, SaveAction onSave) override;

    BRSViewState* viewState = nullptr;
    QList<std::pair<QString, BRSViewState*>> observations;
    std::optional<ProfileGetModel> profile;
    SaveAction onSave;

private:
    QString resourceName_;
    QStringList& log_;
    QObject viewStateReceiver_;
};

class ManualTimer final : public RepeatingTimer {
public:
    void schedule(std::chrono::milliseconds interval, std::function<void()> action) override {
        this->interval = interval;
        this->action = std::move(action);
        ++schedules;
    }
    void fire() override {
        ++fires;
        if (action) {
            action();
        }
    }

    std::chrono::milliseconds interval{0};
    std::function<void()> action;
    int schedules = 0;
    int fires = 0;
};

class FakeFrontEnd final : public FrontEnd {
public:
    [[nodiscard]] std::unique_ptr<WindowController> createPreferencesWindow() override;
    [[nodiscard]] std::unique_ptr<WindowController> createAboutWindow() override;
    [[nodiscard]] std::unique_ptr<WindowController> createCredentialsWindow() override;
    [[nodiscard]] std::unique_ptr<WindowController> createProfileWindow() override;
    [[nodiscard]] std::unique_ptr<StatusView> createStatusView() override;
    void installMainMenu(StatusMenu* menu) override;
    void activateIgnoringOtherApps() override;
    [[nodiscard]] AlertPresenter& alertPresenter() override { return alerts; }

    QStringList log;
    QMap<QString, FakeWindow*> windows;
    RecordingStatusView* statusView = nullptr;
    StatusMenu* mainMenu = nullptr;
    bool mainMenuInstalled = false;
    int activations = 0;
    ScriptedAlertPresenter alerts;

private:
    // Named after the window class the desktop front end makes, so logs read as they would there.
    std::unique_ptr<WindowController> createWindow(const QString& className);
};
