#include "BRSAppDelegate.h"

#include <QPointer>

#include "BRSLog.h"
#include "BRSViewState.h"
#include "Diagnosis.h"
#include "FrontEnd.h"
#include "PreferencesStorage.h"
#include "ProfileEditingSession.h"
#include "RepeatingTimer.h"
#include "ServiceTransport.h"
#include "StatusView.h"
#include "UrlErrors.h"
#include "WindowController.h"

namespace {

const QString kConnectionErrorInformativeText = QStringLiteral(
    "An error occurred while connecting to Orlin. Please check your network connection and your credentials "
    "and try again.");

}  // namespace

BRSAppDelegate::BRSAppDelegate(Dependencies dependencies, QObject* parent)
    : QObject(parent), dependencies_(std::move(dependencies)) {
    Q_ASSERT(dependencies_.frontEnd);
    Q_ASSERT(dependencies_.defaults);
}

BRSAppDelegate::~BRSAppDelegate() = default;

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
    preferencesWindowController_ = frontEnd.createPreferencesWindow();
    aboutWindowController_ = frontEnd.createAboutWindow();
    credentialsWindowController_ = frontEnd.createCredentialsWindow();
    profileWindowController_ = frontEnd.createProfileWindow();

    // The controller hears each flag before the windows do: a stored option is written before it shows.
    connectViewState();
    preferencesWindowController_->setViewState(&viewState_);
    credentialsWindowController_->setViewState(&viewState_);

    const Preferences preferences = getPreferences();
    viewState_.setNotifyAfterUpdate(!preferences.hideInfobox());
    viewState_.setNotifyBeforeShuttingDownMail(!preferences.hideQuitMailInfobox());
    viewState_.setHarIndtastetToken(false);

    presenter_.showStatusView(frontEnd.createStatusView());

    frontEnd.installMainMenu(dummyMenu_);

    timer_ = dependencies_.makeTimer();
    timer_->schedule(kPollInterval, [this] { timerCallback(); });
    timer_->fire();
}

void BRSAppDelegate::connectViewState() {
    connect(&viewState_, &BRSViewState::isUpdatingChanged, this, &BRSAppDelegate::isUpdatingChanged);
    connect(&viewState_, &BRSViewState::areUpdatesAvailableChanged, this,
            [this](bool available) { presenter_.showUpdatesAvailable(available); });
    // hasError needs nothing of its own: every tick and every update sets another flag right after it.
    connect(&viewState_, &BRSViewState::notifyAfterUpdateChanged, this,
            [this](bool notify) { PreferencesStorage(*dependencies_.defaults).setHideInfobox(!notify); });
    connect(&viewState_, &BRSViewState::notifyBeforeShuttingDownMailChanged, this, [this](bool notify) {
        PreferencesStorage(*dependencies_.defaults).setHideQuitMailInfobox(!notify);
    });
    connect(&viewState_, &BRSViewState::harIndtastetTokenChanged, this,
            &BRSAppDelegate::harIndtastetTokenChanged);
}

void BRSAppDelegate::isUpdatingChanged(bool updating) {
    if (updating) {
        presenter_.showUpdateStarted();
        return;
    }
    presenter_.enableDisableMenus(dependencies_.backend.getCredentials());
    presenter_.setDefaultStatus();
}

void BRSAppDelegate::harIndtastetTokenChanged(bool entered) {
    if (entered) {
        // A code was just saved: check with it now rather than at the next poll, so the user sees at once
        // whether it works. The tick re-evaluates the menus itself.
        timerCallback();
    } else {
        presenter_.enableDisableMenus(dependencies_.backend.getCredentials());
    }
}

void BRSAppDelegate::timerCallback() {
    const BRSLoginCredentials credentials = dependencies_.backend.getCredentials();
    if (!presenter_.enableDisableMenus(credentials)) {
        presenter_.showGetStarted();
        Diagnosis::recordCheck(*dependencies_.defaults, QStringLiteral("no access code"));
        if (tickFinished_) {
            tickFinished_(false);
        }
        return;
    }
    presenter_.showChecking();
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
    viewState_.setHasError(!checked.ok());
    viewState_.setAreUpdatesAvailable(updatesAvailable);
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
    if (viewState_.isUpdating()) {
        BRSLogInfo(u"%@", QStringLiteral("An update is already running; no second one was started."));
        return;
    }
    viewState_.setIsUpdating(true);
    viewState_.setHasError(false);
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
        viewState_.setHasError(true);
        finishUpdate(false);
        return;
    }
    const BRSSignatureService::UpdateOutcome& retrieved = reply.result.value();
    UpdateCycle cycle(viewState_, dependencies_.frontEnd->alertPresenter(), dependencies_.mailClients,
                      [this](int current, int total) { presenter_.showUpdateProgress(current, total); });
    const UpdateCycle::Outcome outcome =
        cycle.install(retrieved.signatures, retrieved.clean, getPreferences());
    // Only what every client took is cached: anything else stays changed for the next check to report.
    if (dependencies_.backend.cacheDigests) {
        dependencies_.backend.cacheDigests(retrieved.digestsOf(outcome.installed));
    }
    finishUpdate(outcome.succeeded);
}

void BRSAppDelegate::finishUpdate(bool succeeded) {
    viewState_.setIsUpdating(false);
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
