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
        // An automatic update starts inside the tick's completion; wait for it to end.
        if (!controller_.viewState() || !controller_.viewState()->isUpdating()) {
            finish();
        }
    });
    controller_.setUpdateFinishedHandler([this](bool succeeded) {
        updatesSucceeded_ = updatesSucceeded_ && succeeded;
        if (tickDone_) {
            finish();
        }
    });
}

void OnceRunner::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    exit_(checkSucceeded_ && updatesSucceeded_ ? 0 : 1);
}
