#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "BRSLoginCredentials.h"

class BRSViewState;
class MenuItem;
class StatusMenu;
class StatusView;

// What the user sees of the agent in the menu bar: the status item's image and tooltip, which items of
// its menu are enabled, and the popover under it. The controller tells it what happened, one call per
// event; it reads the view state only to know whether an update's progress owns the tooltip and whether
// the idle icon is the error one. Every call before the status item exists changes nothing on screen.
class StatusPresenter final {
public:
    using Text = std::optional<QString>;

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

    explicit StatusPresenter(const BRSViewState& viewState);
    ~StatusPresenter();
    StatusPresenter(const StatusPresenter&) = delete;
    StatusPresenter& operator=(const StatusPresenter&) = delete;

    // Takes the status menu as the front end built it, with the three items that get switched.
    void connectMenu(StatusMenu& menu);
    // The status item is on screen: it gets the menu and the image of a launch.
    void showStatusView(std::unique_ptr<StatusView> view);

    // Enables what the credentials allow; true when they can be used for a check at all.
    bool enableDisableMenus(const std::optional<BRSLoginCredentials>& credentials);
    // A tick with credentials to check: the update item is on and the tooltip says a check is running.
    void showChecking();
    // A tick without credentials: the user is shown where to start.
    void showGetStarted();
    void showUpdatesAvailable(bool available);
    // An update began: the menu stays, only what would start another is off.
    void showUpdateStarted();
    void showUpdateProgress(int current, int total);
    // No update and nothing waiting: the ok or the error icon with its tooltip.
    void setDefaultStatus();
    // Another launch of Orlin found this one running: show the user where it is.
    void showAlreadyRunning();

    void showPopoverWithText(const QString& text);
    void setStatusImageForName(const QString& name);

private:
    // While an update runs, its progress stands in for whatever else the tooltip would say.
    void setStatusTooltip(const Text& text);

    const BRSViewState& viewState_;
    std::unique_ptr<StatusView> statusView_;
    StatusMenu* mainMenu_ = nullptr;
    MenuItem* updateAllSignaturesMenu_ = nullptr;
    MenuItem* preferencesMenu_ = nullptr;
    MenuItem* enterTokenMenu_ = nullptr;
    QString updateProgressText_;
};
