#include "OnceRunner.h"

#include "BRSAppDelegate.h"
#include "BRSViewState.h"

OnceRunner::OnceRunner(BRSAppDelegate& controller, std::function<void(int)> exit)
    : controller_(controller), exit_(std::move(exit)) {
    controller_.setTickFinishedHandler([this](bool checkSucceeded) {
        if (tickDone_) {
            return;
        }
        tickDone_ = true;
        checkSucceeded_ = checkSucceeded;
        finishWhenIdle();
    });
    controller_.setUpdateFinishedHandler([this](bool succeeded) {
        updatesSucceeded_ = updatesSucceeded_ && succeeded;
        if (updatesExpected_ > 0) {
            --updatesExpected_;
        }
        finishWhenIdle();
    });
}

void OnceRunner::finishWhenIdle() {
    // An automatic update starts inside the tick's completion, so a tick that has ended may still have a
    // cycle running.
    const bool updating = controller_.viewState() && controller_.viewState()->isUpdating();
    if (finished_ || !tickDone_ || updating || updatesExpected_ > 0) {
        return;
    }
    finished_ = true;
    exit_(checkSucceeded_ && updatesSucceeded_ ? 0 : 1);
}
