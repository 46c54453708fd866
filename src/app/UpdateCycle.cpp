#include "UpdateCycle.h"

#include "Alert.h"
#include "BRSAppleMailService3.h"
#include "BRSAppleScript.h"
#include "BRSMailAppService.h"
#include "BRSOutlookService.h"
#include "BRSViewState.h"

namespace {
const QString kDontShowAgain = QStringLiteral("Don't show again");
}

UpdateCycle::MailClients UpdateCycle::MailClients::live() {
    MailClients clients;
    clients.makeOutlook = [] { return std::make_unique<BRSOutlookService>(); };
    clients.makeAppleMail = [](bool isUsingICloudDrive) {
        return std::make_unique<BRSAppleMailService3>(isUsingICloudDrive);
    };
    clients.runAppleScript = [](const QString& source, Error* error) {
        return BRSAppleScript::runAppleScriptForSource(source, error);
    };
    return clients;
}

UpdateCycle::UpdateCycle(BRSViewState& viewState, AlertPresenter& alerts, MailClients clients)
    : viewState_(viewState), alerts_(alerts), clients_(std::move(clients)) {}

bool UpdateCycle::install(const QList<BRSSignature>& signatures, bool clean, const Preferences& preferences) {
    std::vector<std::unique_ptr<BRSMailAppService>> installers;
    if (preferences.updateSignaturesForOutlook() || !preferences.updateSignaturesForMail()) {
        installers.push_back(clients_.makeOutlook());
    }
    bool restartMail = false;
    if (preferences.updateSignaturesForMail() && mayQuitAppleMail(preferences, &restartMail)) {
        installers.push_back(clients_.makeAppleMail(preferences.isUsingICloudDrive()));
    }

    bool failed = false;
    for (const std::unique_ptr<BRSMailAppService>& installer : installers) {
        if (clean) {
            QStringList names;
            for (const BRSSignature& signature : signatures) {
                names.append(signature.name());
            }
            installer->deleteAllSignaturesNotIn(names);
        }
        for (const BRSSignature& signature : signatures) {
            Error error;
            if (installer->setSignatureWithName(signature.name(), signature.htmlContent(),
                                                signature.textContent(), &error)) {
                continue;
            }
            Alert alert = Alert::fromError(error);
            alert.informativeText =
                QStringLiteral("An error occurred while updating the signature '%1' in %2.")
                    .arg(signature.name(), installer->appName());
            alerts_.runModal(alert);
            failed = true;
        }
    }
    if (failed) {
        // Mail stays closed and no success is claimed: the user has just seen what went wrong.
        return false;
    }
    if (!installers.empty()) {
        if (restartMail) {
            clients_.runAppleScript(kRunMailScript, nullptr);
        }
        showSuccess(preferences, restartMail);
    }
    return true;
}

bool UpdateCycle::mayQuitAppleMail(const Preferences& preferences, bool* restartMail) {
    if (preferences.hideQuitMailInfobox()) {
        return true;
    }
    // A failed probe counts as Mail not running.
    if (clients_.runAppleScript(kMailIsRunningScript, nullptr) != QStringLiteral("true")) {
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

void UpdateCycle::showSuccess(const Preferences& preferences, bool mailRestarted) {
    if (preferences.hideInfobox()) {
        return;
    }
    Alert success;
    success.messageText = QStringLiteral("Your signatures have been updated succesfully.");
    success.informativeText =
        mailRestarted ? QStringLiteral("Apple Mail has been restarted.\r\r") : QString();
    success.showsSuppressionButton = true;
    success.suppressionButtonTitle = kDontShowAgain;
    if (alerts_.runModal(success).suppressionChecked) {
        viewState_.setNotifyAfterUpdate(false);
    }
}
