#include "BRSAppDelegate.h"

#include <QPointer>

#include "BRSLog.h"
#include "BRSViewState.h"
#include "Diagnosis.h"
#include "FrontEnd.h"
#include "MenuItem.h"
#include "PreferencesStorage.h"
#include "ProfileEditingSession.h"
#include "RepeatingTimer.h"
#include "ServiceTransport.h"
#include "StatusMenu.h"
#include "StatusView.h"
#include "UrlErrors.h"
#include "WindowController.h"

namespace {

const QString kConnectionErrorInformativeText = QStringLiteral(
    "An error occurred while connecting to Orlin. Please check your network connection and your credentials "
    "and try again.");

void setItemEnabled(MenuItem* item, bool enabled) {
    if (item) {
        item->setEnabled(enabled);
    }
}

}  // namespace

BRSAppDelegate::BRSAppDelegate(Dependencies dependencies, QObject* parent)
    : QObject(parent), dependencies_(std::move(dependencies)) {
    Q_ASSERT(dependencies_.frontEnd);
    Q_ASSERT(dependencies_.defaults);
}

BRSAppDelegate::~BRSAppDelegate() = default;

void BRSAppDelegate::connectMenu(StatusMenu& menu) {
    mainMenu_ = &menu;
    updateAllSignaturesMenu_ = &menu.updateAllSignaturesItem();
    preferencesMenu_ = &menu.preferencesItem();
    enterTokenMenu_ = &menu.enterTokenItem();
}

void BRSAppDelegate::setTickFinishedHandler(std::function<void(bool)> handler) {
    tickFinished_ = std::move(handler);
}

void BRSAppDelegate::setUpdateFinishedHandler(std::function<void(bool)> handler) {
    updateFinished_ = std::move(handler);
}

void BRSAppDelegate::applicationDidFinishLaunching() {
    if (dependencies_.configureLogging) {
        dependencies_.configureLogging();
    }

    FrontEnd& frontEnd = *dependencies_.frontEnd;
    preferencesWindowController_ =
        frontEnd.createWindowController(QStringLiteral("BRSPreferencesWindowController"));
    aboutWindowController_ = frontEnd.createWindowController(QStringLiteral("BRSAboutWindowController"));
    credentialsWindowController_ =
        frontEnd.createWindowController(QStringLiteral("BRSCredentialsWindowController"));
    profileWindowController_ = frontEnd.createWindowController(QStringLiteral("Profile2WindowController"));

    viewState_ = std::make_unique<BRSViewState>();
    for (const QString& key :
         {BRSViewState::kAreUpdatesAvailable, BRSViewState::kIsUpdating, BRSViewState::kHasError,
          BRSViewState::kNotifyAfterUpdate, BRSViewState::kNotifyBeforeShuttingDownMail,
          BRSViewState::kHarIndtastetToken}) {
        viewState_->addObserver(
            key, [this](const QString& keyPath, BRSViewState&, void*) { observeValueForKeyPath(keyPath); });
    }
    if (WindowController* preferences = preferencesWindowController_.get()) {
        for (const QString& key :
             {BRSViewState::kNotifyAfterUpdate, BRSViewState::kNotifyBeforeShuttingDownMail}) {
            viewState_->addObserver(
                key,
                [preferences](const QString& keyPath, BRSViewState&, void* context) {
                    preferences->observeValueForKeyPath(keyPath, static_cast<BRSViewState*>(context));
                },
                viewState_.get());
        }
    }
    if (credentialsWindowController_) {
        credentialsWindowController_->setViewState(viewState_.get());
    }

    const Preferences preferences = getPreferences();
    viewState_->setNotifyAfterUpdate(!preferences.hideInfobox());
    viewState_->setNotifyBeforeShuttingDownMail(!preferences.hideQuitMailInfobox());
    viewState_->setHarIndtastetToken(false);

    statusView_ = frontEnd.createStatusView();
    statusView_->setStatusMenu(mainMenu_);
    setStatusImageForName(StatusImages::kInitial);

    frontEnd.installMainMenu(dummyMenu_);

    timer_ = dependencies_.makeTimer();
    timer_->schedule(kPollInterval, [this] { timerCallback(); });
    timer_->fire();
}

void BRSAppDelegate::observeValueForKeyPath(const QString& keyPath) {
    if (keyPath == BRSViewState::kIsUpdating) {
        // The menu stays while an update runs, so that About and Quit reach the user even when a slow
        // service or a script waiting on Outlook holds the update; only what would start another is off.
        if (viewState_->isUpdating()) {
            updateProgressText_ = kUpdatingText;
            setStatusTooltip(std::nullopt);
            setItemEnabled(preferencesMenu_, false);
            setItemEnabled(updateAllSignaturesMenu_, false);
            setStatusImageForName(StatusImages::kUpdating);
        } else {
            enableDisableMenus(dependencies_.backend.getCredentials());
            setDefaultStatus();
        }
    } else if (keyPath == BRSViewState::kAreUpdatesAvailable) {
        if (viewState_->areUpdatesAvailable()) {
            setStatusTooltip(kUpdatesAvailableText);
            setStatusImageForName(StatusImages::kNotify);
            showPopoverWithText(kUpdatesAvailableText);
        } else {
            setDefaultStatus();
        }
    } else if (keyPath == BRSViewState::kNotifyAfterUpdate) {
        PreferencesStorage(*dependencies_.defaults).setHideInfobox(!viewState_->notifyAfterUpdate());
    } else if (keyPath == BRSViewState::kNotifyBeforeShuttingDownMail) {
        PreferencesStorage(*dependencies_.defaults)
            .setHideQuitMailInfobox(!viewState_->notifyBeforeShuttingDownMail());
    } else if (keyPath == BRSViewState::kHarIndtastetToken) {
        if (viewState_->harIndtastetToken()) {
            // A code was just saved: check with it now rather than at the next poll, so the user sees at
            // once whether it works. The tick re-evaluates the menus itself.
            timerCallback();
        } else {
            enableDisableMenus(dependencies_.backend.getCredentials());
        }
    }
    // hasError needs nothing here: every tick writes areUpdatesAvailable right after it.
}

void BRSAppDelegate::setStatusImageForName(const QString& name) {
    if (statusView_) {
        statusView_->setStatusImage(StatusImages::imageNamed(name));
    }
}

void BRSAppDelegate::setDefaultStatus() {
    if (!statusView_) {
        return;
    }
    statusView_->setStatusMenu(mainMenu_);
    if (viewState_->hasError()) {
        setStatusTooltip(kConnectionProblemText);
        setStatusImageForName(StatusImages::kError);
    } else {
        setStatusTooltip(std::nullopt);
        setStatusImageForName(StatusImages::kOk);
    }
}

void BRSAppDelegate::showPopoverWithText(const QString& text) {
    if (statusView_) {
        statusView_->showPopoverWithText(text);
    }
}

void BRSAppDelegate::showAlreadyRunning() {
    showPopoverWithText(kAlreadyRunningText);
}

bool BRSAppDelegate::enableDisableMenus(const std::optional<BRSLoginCredentials>& credentials) {
    const bool usable = credentials && (credentials->harCredentials() || credentials->harToken() ||
                                        credentials->harDomainToken());
    setItemEnabled(updateAllSignaturesMenu_, usable);
    const bool domainToken = credentials && credentials->harDomainToken();
    setItemEnabled(enterTokenMenu_, !domainToken);
    setItemEnabled(preferencesMenu_, !domainToken);
    return usable;
}

void BRSAppDelegate::timerCallback() {
    const BRSLoginCredentials credentials = dependencies_.backend.getCredentials();
    if (!enableDisableMenus(credentials)) {
        showPopoverWithText(kGetStartedText);
        Diagnosis::recordCheck(*dependencies_.defaults, QStringLiteral("no access code"));
        if (tickFinished_) {
            tickFinished_(false);
        }
        return;
    }
    setItemEnabled(updateAllSignaturesMenu_, true);
    setStatusTooltip(kCheckingText);
    dependencies_.backend.checkForSignatureUpdates(
        credentials, [self = QPointer<BRSAppDelegate>(this)](const BRSSignatureService::CheckReply& reply) {
            if (self) {
                self->tickCompleted(reply);
            }
        });
}

void BRSAppDelegate::tickCompleted(const BRSSignatureService::CheckReply& reply) {
    acceptSignIn(reply.signIn);
    const Result<BRSSignatureService::CheckOutcome>& checked = reply.result;
    const bool updatesAvailable = checked.ok() && checked.value().updatesAvailable;
    if (updatesAvailable && getPreferences().updateSignaturesAutomatically()) {
        updateSignatures(false);
    }
    viewState_->setHasError(!checked.ok());
    viewState_->setAreUpdatesAvailable(updatesAvailable);
    Diagnosis::recordCheck(*dependencies_.defaults,
                           checked.ok() ? std::nullopt : std::optional<Error>(checked.error()));
    if (tickFinished_) {
        tickFinished_(checked.ok());
    }
}

void BRSAppDelegate::updateAllSignatures() {
    updateSignatures(false);
}

void BRSAppDelegate::updateSignatures(bool getOnlyChangedSignatures) {
    // A check that ends while an update waits (on the service, a script or an alert) may ask for one
    // more; the running update already installs everything.
    if (viewState_->isUpdating()) {
        BRSLogInfo(u"%@", QStringLiteral("An update is already running; no second one was started."));
        return;
    }
    viewState_->setIsUpdating(true);
    viewState_->setHasError(false);
    const BRSLoginCredentials credentials = dependencies_.backend.getCredentials();
    dependencies_.backend.getSignaturesForUpdate(
        credentials, getOnlyChangedSignatures,
        [self = QPointer<BRSAppDelegate>(this)](const BRSSignatureService::UpdateReply& reply) {
            if (self) {
                self->updateRetrieved(reply);
            }
        });
}

void BRSAppDelegate::updateRetrieved(const BRSSignatureService::UpdateReply& reply) {
    acceptSignIn(reply.signIn);
    if (!reply.result.ok()) {
        showAlert(reply.result.error());
        // The account is as broken as after a failed check; the ok icon would claim otherwise. The end of
        // the cycle shows the error icon and tooltip from this.
        viewState_->setHasError(true);
        finishUpdate(false);
        return;
    }
    const BRSSignatureService::UpdateOutcome& retrieved = reply.result.value();
    UpdateCycle cycle(*viewState_, dependencies_.frontEnd->alertPresenter(), dependencies_.mailClients,
                      [this](int current, int total) {
                          updateProgressText_ =
                              QStringLiteral("Updating your signatures (%1 of %2)…").arg(current).arg(total);
                          setStatusTooltip(std::nullopt);
                      });
    const UpdateCycle::Outcome outcome =
        cycle.install(retrieved.signatures, retrieved.clean, getPreferences());
    // Only what every client took is cached: anything else stays changed for the next check to report.
    if (dependencies_.backend.cacheDigests) {
        dependencies_.backend.cacheDigests(retrieved.digestsOf(outcome.installed));
    }
    finishUpdate(outcome.succeeded);
}

void BRSAppDelegate::finishUpdate(bool succeeded) {
    viewState_->setIsUpdating(false);
    if (updateFinished_) {
        updateFinished_(succeeded);
    }
}

void BRSAppDelegate::showPreferences() {
    showWindowOf(preferencesWindowController_.get());
}

void BRSAppDelegate::showAbout() {
    showWindowOf(aboutWindowController_.get());
}

void BRSAppDelegate::showEnterToken() {
    showWindowOf(credentialsWindowController_.get());
}

void BRSAppDelegate::showWindowOf(WindowController* controller) {
    if (!controller) {
        return;
    }
    controller->centerWindow();
    dependencies_.frontEnd->activateIgnoringOtherApps();
    controller->showWindow();
}

void BRSAppDelegate::showProfile() {
    WindowController* editor = profileWindowController_.get();
    if (!editor) {
        return;
    }
    editor->centerWindow();
    dependencies_.frontEnd->activateIgnoringOtherApps();

    ProfileEditingSession::start(
        {this, &dependencies_.backend, editor,
         [this](const OrlinSyncService::SignIn& signIn) { acceptSignIn(signIn); },
         [this](const Error& error) { showAlert(error); }, [this] { timerCallback(); }},
        dependencies_.backend.getCredentials());
    editor->showWindow();
}

void BRSAppDelegate::acceptSignIn(const OrlinSyncService::SignIn& signIn) {
    dependencies_.backend.acceptSignIn(signIn);
}

void BRSAppDelegate::setStatusTooltip(const Text& text) {
    if (statusView_) {
        statusView_->setStatusTooltip(viewState_->isUpdating() ? Text(updateProgressText_) : text);
    }
}

void BRSAppDelegate::showAlert(const Error& error) {
    showAlert(error, dependencies_.frontEnd->alertPresenter());
}

Preferences BRSAppDelegate::getPreferences() const {
    return PreferencesStorage(*dependencies_.defaults).getPreferences();
}

Alert BRSAppDelegate::connectionErrorAlert(const Error& error) {
    Alert alert;
    // The proxy's refusal says nothing about the user's access code, so it must not point at it.
    if (error.domain == UrlErrors::kDomain && error.code == ServiceTransport::kProxyAuthenticationRequired) {
        alert.messageText = QStringLiteral(
            "Your network's proxy server asked Orlin to sign in (HTTP 407). Ask your administrator for proxy "
            "access for Orlin.");
    } else if (error.code == ErrorCodes::kPropertyListReadCorrupt ||
               error.code == ErrorCodes::kUserCancelledAuthentication) {
        alert.messageText = QStringLiteral("Did you enter an incorrect username or password?");
    } else {
        alert = Alert::fromError(error);
    }
    alert.informativeText = kConnectionErrorInformativeText;
    return alert;
}

void BRSAppDelegate::showAlert(const Error& error, AlertPresenter& presenter) {
    presenter.runModal(connectionErrorAlert(error));
}
