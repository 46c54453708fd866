#include "StatusPresenter.h"

#include "BRSViewState.h"
#include "MenuItem.h"
#include "StatusImages.h"
#include "StatusMenu.h"
#include "StatusView.h"

namespace {

void setItemEnabled(MenuItem* item, bool enabled) {
    if (item) {
        item->setEnabled(enabled);
    }
}

}  // namespace

StatusPresenter::StatusPresenter(const BRSViewState& viewState) : viewState_(viewState) {}

StatusPresenter::~StatusPresenter() = default;

void StatusPresenter::connectMenu(StatusMenu& menu) {
    mainMenu_ = &menu;
    updateAllSignaturesMenu_ = &menu.updateAllSignaturesItem();
    preferencesMenu_ = &menu.preferencesItem();
    enterTokenMenu_ = &menu.enterTokenItem();
}

void StatusPresenter::showStatusView(std::unique_ptr<StatusView> view) {
    statusView_ = std::move(view);
    statusView_->setStatusMenu(mainMenu_);
    setStatusImageForName(StatusImages::kInitial);
}

bool StatusPresenter::enableDisableMenus(const std::optional<BRSLoginCredentials>& credentials) {
    const bool usable = credentials && (credentials->harCredentials() || credentials->harToken() ||
                                        credentials->harDomainToken());
    setItemEnabled(updateAllSignaturesMenu_, usable);
    const bool domainToken = credentials && credentials->harDomainToken();
    setItemEnabled(enterTokenMenu_, !domainToken);
    setItemEnabled(preferencesMenu_, !domainToken);
    return usable;
}

void StatusPresenter::showChecking() {
    setItemEnabled(updateAllSignaturesMenu_, true);
    setStatusTooltip(kCheckingText);
}

void StatusPresenter::showGetStarted() {
    showPopoverWithText(kGetStartedText);
}

void StatusPresenter::showUpdatesAvailable(bool available) {
    if (!available) {
        setDefaultStatus();
        return;
    }
    setStatusTooltip(kUpdatesAvailableText);
    setStatusImageForName(StatusImages::kNotify);
    showPopoverWithText(kUpdatesAvailableText);
}

void StatusPresenter::showUpdateStarted() {
    // The menu stays while an update runs, so that About and Quit reach the user even when a slow service
    // or a script waiting on Outlook holds the update.
    updateProgressText_ = kUpdatingText;
    setStatusTooltip(std::nullopt);
    setItemEnabled(preferencesMenu_, false);
    setItemEnabled(updateAllSignaturesMenu_, false);
    setStatusImageForName(StatusImages::kUpdating);
}

void StatusPresenter::showUpdateProgress(int current, int total) {
    updateProgressText_ = QStringLiteral("Updating your signatures (%1 of %2)…").arg(current).arg(total);
    setStatusTooltip(std::nullopt);
}

void StatusPresenter::setDefaultStatus() {
    if (!statusView_) {
        return;
    }
    statusView_->setStatusMenu(mainMenu_);
    if (viewState_.hasError()) {
        setStatusTooltip(kConnectionProblemText);
        setStatusImageForName(StatusImages::kError);
    } else {
        setStatusTooltip(std::nullopt);
        setStatusImageForName(StatusImages::kOk);
    }
}

void StatusPresenter::showAlreadyRunning() {
    showPopoverWithText(kAlreadyRunningText);
}

void StatusPresenter::showPopoverWithText(const QString& text) {
    if (statusView_) {
        statusView_->showPopoverWithText(text);
    }
}

void StatusPresenter::setStatusImageForName(const QString& name) {
    if (statusView_) {
        statusView_->setStatusImage(StatusImages::imageNamed(name));
    }
}

void StatusPresenter::setStatusTooltip(const Text& text) {
    if (statusView_) {
        statusView_->setStatusTooltip(viewState_.isUpdating() ? Text(updateProgressText_) : text);
    }
}
