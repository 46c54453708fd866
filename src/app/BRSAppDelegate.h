#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "Alert.h"
#include "BRSLoginCredentials.h"
#include "BRSSignature.h"
#include "Error.h"
#include "Preferences.h"
#include "SyncBackend.h"
#include "UpdateCycle.h"

class BRSViewState;
class FrontEnd;
class MenuItem;
class RepeatingTimer;
class StatusMenu;
class StatusView;
class UserDefaults;
class WindowController;

// The agent's spine. At launch it sets up the view state, the windows and the status item and starts the
// poll; each tick asks the service whether a signature must be installed, and the answer, written into
// the view state, switches the icon, tooltip, menus and popover through the observer below.
class BRSAppDelegate final : public QObject {
    Q_OBJECT

public:
    using Text = std::optional<QString>;

    static constexpr std::chrono::seconds kPollInterval{300};

    static inline const QString kUpdatesAvailableText =
        QStringLiteral("Updates are available to your email signatures.");
    static inline const QString kConnectionProblemText = QStringLiteral(
        "There was a problem connecting to Orlin.  Please check your network connection and your login "
        "credentials.");
    static inline const QString kCheckingText = QStringLiteral("Checking for changed signatures…");
    // Until the signatures have arrived, nobody knows how many installations there will be.
    static inline const QString kUpdatingText = QStringLiteral("Updating your signatures…");
    static inline const QString kAlreadyRunningText = QStringLiteral("Orlin is already running.");
    static inline const QString kGetStartedText = QStringLiteral(
        "Your Orlin service is right here. Click and enter your Orlin access code to get started.");

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
    void observeValueForKeyPath(const QString& keyPath);
    void timerCallback();

    void setStatusImageForName(const QString& name);
    void setDefaultStatus();
    void showPopoverWithText(const QString& text);
    // Another launch of Orlin found this one running: show the user where it is.
    void showAlreadyRunning();
    bool enableDisableMenus(const std::optional<BRSLoginCredentials>& credentials);

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

    // Outlets and owned objects.
    [[nodiscard]] StatusView* statusView() const { return statusView_.get(); }
    [[nodiscard]] BRSViewState* viewState() const { return viewState_.get(); }
    [[nodiscard]] StatusMenu* mainMenu() const { return mainMenu_; }
    void setMainMenu(StatusMenu* menu) { mainMenu_ = menu; }
    [[nodiscard]] StatusMenu* dummyMenu() const { return dummyMenu_; }
    void setDummyMenu(StatusMenu* menu) { dummyMenu_ = menu; }
    [[nodiscard]] MenuItem* updateAllSignaturesMenu() const { return updateAllSignaturesMenu_; }
    void setUpdateAllSignaturesMenu(MenuItem* item) { updateAllSignaturesMenu_ = item; }
    [[nodiscard]] MenuItem* preferencesMenu() const { return preferencesMenu_; }
    void setPreferencesMenu(MenuItem* item) { preferencesMenu_ = item; }
    [[nodiscard]] MenuItem* enterTokenMenu() const { return enterTokenMenu_; }
    void setEnterTokenMenu(MenuItem* item) { enterTokenMenu_ = item; }
    // Takes the three items of a status menu as outlets, and the menu itself as the status menu.
    void connectMenu(StatusMenu& menu);

    [[nodiscard]] WindowController* preferencesWindowController() const {
        return preferencesWindowController_.get();
    }
    [[nodiscard]] WindowController* aboutWindowController() const { return aboutWindowController_.get(); }
    [[nodiscard]] WindowController* credentialsWindowController() const {
        return credentialsWindowController_.get();
    }
    [[nodiscard]] WindowController* profileWindowController() const { return profileWindowController_.get(); }

    // For front ends that run one check and stop: told when a tick has ended (with whether it checked
    // successfully) and when an update cycle has ended (with whether everything was installed).
    void setTickFinishedHandler(std::function<void(bool checkSucceeded)> handler);
    void setUpdateFinishedHandler(std::function<void(bool succeeded)> handler);

private:
    void tickCompleted(const BRSSignatureService::CheckReply& reply);
    void updateRetrieved(const BRSSignatureService::UpdateReply& reply);
    void finishUpdate(bool succeeded);
    // The one place a flow's sign-in is kept, whatever the flow ended with.
    void acceptSignIn(const OrlinSyncService::SignIn& signIn);
    void showAlert(const Error& error);
    // While an update runs, its progress stands in for whatever else the tooltip would say.
    void setStatusTooltip(const Text& text);
    void showWindowOf(WindowController* controller);

    Dependencies dependencies_;
    std::unique_ptr<StatusView> statusView_;
    std::unique_ptr<BRSViewState> viewState_;
    StatusMenu* mainMenu_ = nullptr;
    StatusMenu* dummyMenu_ = nullptr;
    MenuItem* updateAllSignaturesMenu_ = nullptr;
    MenuItem* preferencesMenu_ = nullptr;
    MenuItem* enterTokenMenu_ = nullptr;
    std::unique_ptr<WindowController> preferencesWindowController_;
    std::unique_ptr<WindowController> aboutWindowController_;
    std::unique_ptr<WindowController> credentialsWindowController_;
    std::unique_ptr<WindowController> profileWindowController_;
    std::unique_ptr<RepeatingTimer> timer_;
    std::function<void(bool)> tickFinished_;
    std::function<void(bool)> updateFinished_;
    QString updateProgressText_;
};
