#include "DemoOnceRunner.h"

#include "BRSAppDelegate.h"
#include "BRSViewState.h"
#include "DemoSandbox.h"
#include "DemoService.h"
#include "MainQueue.h"

DemoOnceRunner::DemoOnceRunner(BRSAppDelegate& controller, const DemoSandbox& sandbox,
                               const DemoService& service, std::function<void(const QString&)> print,
                               std::function<void(int)> exit)
    : controller_(controller),
      sandbox_(sandbox),
      service_(service),
      print_(std::move(print)),
      exit_(std::move(exit)),
      before_(DemoInstallation::read(sandbox)) {
    controller_.setTickFinishedHandler([this](bool checkSucceeded) { tickFinished(checkSucceeded); });
    controller_.setUpdateFinishedHandler([this](bool succeeded) { updateFinished(succeeded); });
}

void DemoOnceRunner::tickFinished(bool checkSucceeded) {
    if (tickDone_) {
        return;
    }
    tickDone_ = true;
    if (!checkSucceeded) {
        print_(QStringLiteral("check failed; nothing was installed"));
        finished_ = true;
        exit_(1);
        return;
    }
    BRSViewState* state = controller_.viewState();
    print_(state && state->areUpdatesAvailable() ? QStringLiteral("check: updates are available")
                                                 : QStringLiteral("check: nothing changed"));
    // With automatic updates on, the tick has started the update itself.
    if (state && state->isUpdating()) {
        return;
    }
    // Posted: the tick's completion is still on the stack.
    MainQueue::post([this] { controller_.updateSignatures(false); });
}

void DemoOnceRunner::updateFinished(bool succeeded) {
    if (finished_) {
        return;
    }
    finished_ = true;
    const Preferences preferences = controller_.getPreferences();
    QList<DemoInstallation::Client> clients;
    if (preferences.updateSignaturesForOutlook()) {
        clients.append(DemoInstallation::Client::Outlook);
    }
    if (preferences.updateSignaturesForMail()) {
        clients.append(DemoInstallation::Client::AppleMail);
    }
    bool complete = false;
    const QStringList lines = DemoInstallation::report(before_, DemoInstallation::read(sandbox_),
                                                       service_.signatureNames(), clients, &complete);
    for (const QString& line : lines) {
        print_(line);
    }
    exit_(succeeded && complete ? 0 : 1);
}
