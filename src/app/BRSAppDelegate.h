#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "Alert.h"
#include "BRSLoginCredentials.h"
#include "BRSSignature.h"
#include "BRSViewState.h"
#include "Error.h"
#include "Preferences.h"
#include "StatusPresenter.h"
#include "SyncBackend.h"
#include "UpdateCycle.h"

class FrontEnd;
class RepeatingTimer;
class StatusMenu;
class UserDefaults;
class WindowController;

// The agent's sync controller. At launch it makes the windows, wires the view state and starts the poll;
// each tick asks the service whether a signature must be installed, and an update installs what the
// service sent. What happened goes into the view state, whose signals this class turns into calls on the
// status presenter (icon, tooltip, menus, popover) and into the stored alert options.
class BRSAppDelegate final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds kPollInterval{300};

    struct Dependencies {
        FrontEnd* frontEnd = nullptr;
        // Where the preferences and the record of the last check live.
        UserDefaults* defaults = nullptr;
        SyncBackend backend;
        UpdateCycle::MailClients mailClients;
        std::function<std::unique_ptr<RepeatingTimer>()> makeTimer;
        // Installs the loggers; the first step of the launch.
        std::function<void()> configureLogging;
    };

    explicit BRSAppDelegate(Dependencies dependencies, QObject* parent = nullptr);
    ~BRSAppDelegate() override;

    void applicationDidFinishLaunching();
    void timerCallback();

    // Menu actions.
    void showPreferences();
    void showAbout();
    void showEnterToken();
    void showProfile();
    void updateAllSignatures();
    // Starts an update cycle and returns at once.
    void updateSignatures(bool getOnlyChangedSignatures);

    [[nodiscard]] Preferences getPreferences() const;

    // Class operations shared with the rest of the agent.
    static void showAlert(const Error& error, AlertPresenter& presenter);
    [[nodiscard]] static Alert connectionErrorAlert(const Error& error);

    [[nodiscard]] BRSViewState* viewState() { return &viewState_; }
    [[nodiscard]] StatusPresenter& statusPresenter() { return presenter_; }
    // The application's main menu, installed at launch.
    void setDummyMenu(StatusMenu* menu) { dummyMenu_ = menu; }

    // For front ends that run one check and stop: told when a tick has ended (with whether it checked
    // successfully) and when an update cycle has ended (with whether everything was installed).
    void setTickFinishedHandler(std::function<void(bool checkSucceeded)> handler);
    void setUpdateFinishedHandler(std::function<void(bool succeeded)> handler);

private:
    // The view state's signals, each to what it means for the user.
    void connectViewState();
    void isUpdatingChanged(bool updating);
    void harIndtastetTokenChanged(bool entered);

    void tickCompleted(const BRSSignatureService::CheckReply& reply);
    void updateRetrieved(const BRSSignatureService::UpdateReply& reply);
    void finishUpdate(bool succeeded);
    // The one place a flow's sign-in is kept, whatever the flow ended with.
    void acceptSignIn(const OrlinSyncService::SignIn& signIn);
    void showAlert(const Error& error);
    void showWindowOf(WindowController* controller);

    Dependencies dependencies_;
    BRSViewState viewState_;
    StatusPresenter presenter_{viewState_};
    StatusMenu* dummyMenu_ = nullptr;
    // After the view state, so that they go before it.
    std::unique_ptr<WindowController> preferencesWindowController_;
    std::unique_ptr<WindowController> aboutWindowController_;
    std::unique_ptr<WindowController> credentialsWindowController_;
    std::unique_ptr<WindowController> profileWindowController_;
    std::unique_ptr<RepeatingTimer> timer_;
    std::function<void(bool)> tickFinished_;
    std::function<void(bool)> updateFinished_;
};
