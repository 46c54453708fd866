#pragma once

#include <QDialog>
#include <QFrame>
#include <functional>
#include <memory>

#include "BrsHelpMeICloudDriveViewController.h"
#include "Environment.h"
#include "LazyWindow.h"
#include "WindowController.h"

class AlertPresenter;
class BRSCredentialsWindowController;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QPushButton;
class QScrollArea;

// The user's settings. Every control writes its setting the moment it changes; there is nothing to
// confirm or cancel.
class BRSPreferencesWindowController final : public WindowController {
public:
    // Tags of the mail-client radio buttons.
    static constexpr int kOutlookOnly = 1;
    static constexpr int kMailOnly = 2;
    static constexpr int kOutlookAndMail = 3;

    struct Seams {
        // Runs the token window until it closes; by default a modal loop of its own.
        std::function<void(BRSCredentialsWindowController&)> runModal;
        // By default the environment's script runner on macOS; elsewhere no System Preferences pane
        // exists, whatever a simulated system version says, so there is none.
        BrsHelpMeICloudDriveViewController::ScriptRunner runAppleScript;
        // By default System Settings, where there are any.
        BrsHelpMeICloudDriveViewController::UrlOpener openSystemSettings;
    };

    // The environment gives the preferences, the login items and the script runner.
    BRSPreferencesWindowController(AlertPresenter& alerts, Environment environment, Seams seams = {});
    ~BRSPreferencesWindowController() override;

    void centerWindow() override;
    // The same, on a screen of which `available` is free.
    void centerWindowIn(const QRect& available);
    void showWindow() override;
    // Keeps the two notify boxes current with the view state's alert options.
    void setViewState(BRSViewState* viewState) override;

    // The window, built (and windowDidLoad run) on first use.
    QDialog& window();

    void updateSignaturesForRadioChanged(int tag);
    void changeUpdateSignaturesAutomatically();
    void changeNotifyMeAfterUpdate();
    void changeNotifyMeBeforeShuttingDownMail();
    void changeImUsingICloudDrive();
    void changeStartAtLogin();
    void whatIsThisClicked();
    void showCredentials();
    void windowWillClose();

    // Outlets, for tests and screenshots; valid once the window is loaded.
    [[nodiscard]] QButtonGroup* updateSignaturesForRadio() const { return updateSignaturesForRadio_; }
    [[nodiscard]] QCheckBox* updateSignaturesAutomatically() const { return updateSignaturesAutomatically_; }
    [[nodiscard]] QCheckBox* notifyMeAfterUpdate() const { return notifyMeAfterUpdate_; }
    [[nodiscard]] QCheckBox* notifyMeBeforeShuttingDownMail() const {
        return notifyMeBeforeShuttingDownMail_;
    }
    [[nodiscard]] QCheckBox* imUsingICloudDrive() const { return imUsingICloudDrive_; }
    [[nodiscard]] QPushButton* whatIsThis() const { return whatIsThis_; }
    [[nodiscard]] QCheckBox* startAtLogin() const { return startAtLogin_; }
    [[nodiscard]] QPushButton* enterTokenButton() const { return enterToken_; }
    [[nodiscard]] QScrollArea* scrollView() const { return scrollView_; }
    // The help popover; none before the first click on the help button.
    [[nodiscard]] QFrame* helpPopover() const { return helpPopover_.ifBuilt(); }

private:
    void build(QDialog& window);
    void buildHelpPopover(QFrame& popover);
    void windowDidLoad();
    void enableMailControls(bool mail);

    AlertPresenter& alerts_;
    Environment environment_;
    Seams seams_;
    LazyWindow<QDialog> window_;
    QScrollArea* scrollView_ = nullptr;
    QButtonGroup* updateSignaturesForRadio_ = nullptr;
    QCheckBox* updateSignaturesAutomatically_ = nullptr;
    QCheckBox* notifyMeAfterUpdate_ = nullptr;
    QCheckBox* notifyMeBeforeShuttingDownMail_ = nullptr;
    QCheckBox* imUsingICloudDrive_ = nullptr;
    QPushButton* whatIsThis_ = nullptr;
    QCheckBox* startAtLogin_ = nullptr;
    QPushButton* enterToken_ = nullptr;
    std::unique_ptr<BrsHelpMeICloudDriveViewController> helpViewController_;
    LazyWindow<QFrame> helpPopover_;
    // Receives the view state's signals; going with the window controller, it ends them.
    QObject viewStateReceiver_;
};
