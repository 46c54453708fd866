#include "UpdateCycle.h"

#include <cerrno>

#include "Alert.h"
#include "ApplicationPreferences.h"
#include "BRSAppleMailService3.h"
#include "BRSAppleScript.h"
#include "BRSLog.h"
#include "BRSMailAppService.h"
#include "BRSOutlookService.h"
#include "BRSViewState.h"
#include "Environment.h"
#include "MailSignatureRecord.h"
#include "SystemSettings.h"

namespace {
const QString kDontShowAgain = QStringLiteral("Don't show again");
const QString kFullDiskAccessPane =
    QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles");

// macOS answers EPERM, not EACCES, when an application without Full Disk Access reaches into Mail's data;
// no signature can be written then, so trying the others would only repeat the refusal.
bool isPermissionRefusal(const Error& error) {
    return error.domain == ErrorDomains::kPosix && error.code == EPERM;
}
}  // namespace

UpdateCycle::MailClients UpdateCycle::MailClients::live(const Environment& environment) {
    const BRSAppleScript script(environment.scriptProcess());
    const UserDefaults& defaults = environment.defaults();
    MailClients clients;
    clients.makeOutlook = [script] { return std::make_unique<BRSOutlookService>(script); };
    clients.makeAppleMail = [library = environment.folders.library,
                             record = MailSignatureRecord::pathIn(environment.folders.applicationSupport),
                             &defaults](bool isUsingICloudDrive) {
        return std::make_unique<BRSAppleMailService3>(isUsingICloudDrive, library, defaults, record);
    };
    clients.runAppleScript = [script](const QString& source) {
        return script.runAppleScriptForSource(source);
    };
    clients.isRunningNewOutlook = [config = environment.folders.config,
                                   library = environment.folders.library] {
        return ApplicationPreferences(QStringLiteral("com.microsoft.Outlook"), config, library)
            .boolForKey(QStringLiteral("IsRunningNewOutlook"))
            .value_or(false);
    };
    if (SystemSettings::exists()) {
        clients.openSystemSettings = [](const QString& url) {
            if (!SystemSettings::open(url)) {
                BRSLogError(u"System Settings could not be opened at %@", url);
            }
        };
    }
    clients.fullDiskAccessApplies = SystemSettings::exists();
    return clients;
}

UpdateCycle::UpdateCycle(BRSViewState& viewState, AlertPresenter& alerts, MailClients clients,
                         Progress progress)
    : viewState_(viewState), alerts_(alerts), clients_(std::move(clients)), progress_(std::move(progress)) {}

UpdateCycle::Outcome UpdateCycle::install(const QList<BRSSignature>& signatures, bool clean,
                                          const Preferences& preferences) {
    Outcome outcome;
    outcome.installed = QList<bool>(signatures.size(), true);
    std::vector<std::unique_ptr<BRSMailAppService>> installers;
    // A client left out of the cycle: nothing failed, yet the update is not complete either.
    bool clientLeftOut = false;
    if (preferences.updateSignaturesForOutlook() || !preferences.updateSignaturesForMail()) {
        if (clients_.isRunningNewOutlook && clients_.isRunningNewOutlook()) {
            showNewOutlook();
            clientLeftOut = true;
        } else {
            installers.push_back(clients_.makeOutlook());
        }
    }
    bool restartMail = false;
    // The user kept Mail running: it has none of the signatures, so the next check reports them again.
    bool mailDeclined = false;
    // Apple Mail, when served, is the last client.
    bool servesAppleMail = false;
    if (preferences.updateSignaturesForMail()) {
        if (mayQuitAppleMail(preferences, &restartMail)) {
            installers.push_back(clients_.makeAppleMail(preferences.isUsingICloudDrive()));
            servesAppleMail = true;
        } else {
            mailDeclined = !cancelled_;
        }
    }
    const auto total = static_cast<int>(signatures.size() * static_cast<qsizetype>(installers.size()));

    bool failed = false;
    for (std::size_t client = 0; client < installers.size(); ++client) {
        if (cancelled_) {
            break;
        }
        const BRSMailAppService& installer = *installers.at(client);
        std::optional<Error> unansweredQuit;
        if (servesAppleMail && client + 1 == installers.size() && !signatures.isEmpty()) {
            unansweredQuit = quitAppleMail();
            if (cancelled_) {
                break;
            }
        }
        QList<bool> installedHere(signatures.size(), false);
        const qsizetype before = static_cast<qsizetype>(client) * signatures.size();
        BRSMailAppService::Observer observer;
        observer.willInstall = [this, before, total](qsizetype index) {
            if (progress_) {
                progress_(static_cast<int>(before + index + 1), total);
            }
        };
        observer.installed = [&](qsizetype index, const Result<void>& installed) {
            installedHere[index] = installed.ok();
            failed = failed || !installed || unansweredQuit;
            const BRSMailAppService::Next next =
                installed ? BRSMailAppService::Next::Continue
                          : afterFailure(installer, signatures.at(index), installed.error());
            if (next == BRSMailAppService::Next::Continue && unansweredQuit) {
                return stopAfterTimeOut(installer, signatures.at(index), *unansweredQuit);
            }
            return next;
        };
        // Mail that did not answer the quit is most likely still running: one signature is written, as
        // when each was preceded by its own quit, and the list gets no entry the update will not write.
        installers.at(client)->install(unansweredQuit ? signatures.mid(0, 1) : signatures, clean, observer);
        for (qsizetype i = 0; i < signatures.size(); ++i) {
            outcome.installed[i] = outcome.installed.at(i) && installedHere.at(i);
        }
    }
    if (mailDeclined) {
        outcome.installed.fill(false);
    }
    if (cancelled_) {
        BRSLogInfo(u"%@", QStringLiteral("The update was stopped: Orlin is quitting."));
        // A client the cycle never reached has none of them.
        outcome.installed.fill(false);
        return outcome;
    }
    if (failed) {
        // Mail stays closed and no success is claimed: the user has just seen what went wrong.
        return outcome;
    }
    if (!installers.empty()) {
        if (restartMail) {
            if (const Result<QString> run = clients_.runAppleScript(kRunMailScript); !run) {
                BRSLogWarn(u"Apple Mail could not be started again: %@", run.error().localizedDescription);
            }
        }
        // The alert that left a client out has told the user the update is not complete.
        if (!clientLeftOut) {
            showSuccess(preferences, restartMail, mailDeclined);
        }
    }
    outcome.succeeded = !clientLeftOut && !mailDeclined;
    return outcome;
}

std::optional<Error> UpdateCycle::quitAppleMail() {
    const Result<QString> quit = clients_.runAppleScript(kQuitMailScript);
    if (quit) {
        return std::nullopt;
    }
    if (BRSAppleScript::isCancelled(quit.error())) {
        cancelled_ = true;
        return std::nullopt;
    }
    // Mail that keeps running may write its list over ours, yet the writes are still worth trying.
    BRSLogWarn(u"Apple Mail could not be told to quit before its signatures were written: %@",
               quit.error().localizedDescription);
    return BRSAppleScript::isTimeOut(quit.error()) ? std::optional(quit.error()) : std::nullopt;
}

BRSMailAppService::Next UpdateCycle::stopAfterTimeOut(const BRSMailAppService& installer,
                                                      const BRSSignature& signature, const Error& error) {
    BRSLogError(
        u"%@ did not answer while the signature '%@' was installed; the rest of its part of the update "
        u"was skipped: %@",
        installer.appName(), signature.name(), error.localizedDescription);
    showTimedOut(installer.appName(), error);
    return BRSMailAppService::Next::StopClient;
}

BRSMailAppService::Next UpdateCycle::afterFailure(const BRSMailAppService& installer,
                                                  const BRSSignature& signature, const Error& error) {
    using Next = BRSMailAppService::Next;
    if (BRSAppleScript::isTimeOut(error)) {
        return stopAfterTimeOut(installer, signature, error);
    }
    if (BRSAppleScript::isCancelled(error)) {
        cancelled_ = true;
        return Next::StopClient;
    }
    BRSLogError(u"The signature '%@' could not be installed in %@: %@ (%@ %@)", signature.name(),
                installer.appName(), error.localizedDescription, error.domain, error.code);
    if (clients_.fullDiskAccessApplies && isPermissionRefusal(error)) {
        showFullDiskAccess();
        return Next::StopClient;
    }
    if (BRSAppleScript::isNotAuthorized(error)) {
        showAutomationRefused();
        return Next::StopClient;
    }
    Alert alert = Alert::fromError(error);
    alert.informativeText = QStringLiteral("An error occurred while updating the signature '%1' in %2.")
                                .arg(signature.name(), installer.appName());
    alerts_.runModal(alert);
    return Next::Continue;
}

void UpdateCycle::showNewOutlook() {
    BRSLogWarn(u"%@", QStringLiteral("The new Outlook is in use; no signature was sent to Outlook."));
    Alert alert;
    alert.messageText = QStringLiteral("The new Outlook cannot receive signatures from Orlin.");
    alert.informativeText = QStringLiteral(
        "Switch Outlook to Legacy Outlook to install your Orlin signatures, or ask your Orlin administrator "
        "about signatures for the new Outlook.");
    alerts_.runModal(alert);
}

void UpdateCycle::showFullDiskAccess() {
    Alert alert;
    alert.messageText = QStringLiteral("Orlin needs Full Disk Access to install signatures into Apple Mail.");
    alert.informativeText = QStringLiteral(
        "Open System Settings › Privacy & Security › Full Disk Access, turn on Orlin, and update again.");
    offerSystemSettings(std::move(alert), kFullDiskAccessPane);
}

void UpdateCycle::showAutomationRefused() {
    if (automationRefusalShown_) {
        return;
    }
    automationRefusalShown_ = true;
    Alert alert;
    alert.messageText = QStringLiteral("Orlin is not allowed to control Microsoft Outlook.");
    alert.informativeText = QStringLiteral(
        "Open System Settings › Privacy & Security › Automation, allow Orlin to control Microsoft Outlook "
        "(and Mail), and update again.");
    offerSystemSettings(std::move(alert), kAutomationPane);
}

void UpdateCycle::showTimedOut(const QString& appName, const Error& error) {
    Alert alert;
    alert.messageText = QStringLiteral("%1 did not answer.").arg(appName);
    alert.informativeText =
        QStringLiteral(
            "%1 The rest of your signatures were not installed in %2. Make sure %2 is running "
            "and not waiting for you, then update again.")
            .arg(error.localizedDescription, appName);
    alerts_.runModal(alert);
}

void UpdateCycle::offerSystemSettings(Alert alert, const QString& pane) {
    if (clients_.openSystemSettings) {
        alert.buttonTitles = {QStringLiteral("OK"), QStringLiteral("Open System Settings")};
    }
    if (alerts_.runModal(alert).buttonIndex == 1 && clients_.openSystemSettings) {
        clients_.openSystemSettings(pane);
    }
}

bool UpdateCycle::mayQuitAppleMail(const Preferences& preferences, bool* restartMail) {
    if (preferences.hideQuitMailInfobox()) {
        return true;
    }
    // A failed probe counts as Mail not running.
    const Result<QString> running = clients_.runAppleScript(kMailIsRunningScript);
    if (!running && BRSAppleScript::isCancelled(running.error())) {
        cancelled_ = true;
        return false;
    }
    if (!running) {
        BRSLogWarn(u"Whether Apple Mail is running could not be asked; taken as not running: %@",
                   running.error().localizedDescription);
    }
    if (!running || running.value() != QStringLiteral("true")) {
        return true;
    }
    Alert question;
    question.style = AlertStyle::Critical;
    question.messageText = QStringLiteral("We need to quit Apple Mail.");
    question.informativeText = QStringLiteral(
        "We need to quit Apple Mail to update your signatures. Please save any unsaved work in Mail before "
        "continuing.");
    question.showsSuppressionButton = true;
    question.suppressionButtonTitle = kDontShowAgain;
    question.buttonTitles = {QStringLiteral("Continue"), QStringLiteral("Cancel")};
    const AlertResponse answer = alerts_.runModal(question);
    if (answer.suppressionChecked) {
        viewState_.setNotifyBeforeShuttingDownMail(false);
    }
    if (answer.buttonIndex != 0) {
        return false;
    }
    *restartMail = true;
    return true;
}

void UpdateCycle::showSuccess(const Preferences& preferences, bool mailRestarted, bool mailDeclined) {
    if (preferences.hideInfobox()) {
        return;
    }
    Alert success;
    success.messageText = QStringLiteral("Your signatures have been updated successfully.");
    if (mailDeclined) {
        success.informativeText = QStringLiteral("Apple Mail was not updated, because it was not quit.");
    } else if (mailRestarted) {
        success.informativeText = QStringLiteral("Apple Mail has been restarted.\r\r");
    }
    success.showsSuppressionButton = true;
    success.suppressionButtonTitle = kDontShowAgain;
    if (alerts_.runModal(success).suppressionChecked) {
        viewState_.setNotifyAfterUpdate(false);
    }
}
