#pragma once

#include <functional>

class BRSAppDelegate;

// Ends the process after the first tick, and after the update that tick started, if any. The exit code
// says whether the check succeeded and nothing failed.
class OnceRunner final {
public:
    OnceRunner(BRSAppDelegate& controller, std::function<void(int exitCode)> exit);

    // An update cycle that will be started apart from the tick; the run also waits for its end.
    void expectUpdate() { ++updatesExpected_; }

private:
    void finishWhenIdle();

    BRSAppDelegate& controller_;
    std::function<void(int)> exit_;
    bool checkSucceeded_ = false;
    bool updatesSucceeded_ = true;
    int updatesExpected_ = 0;
    bool tickDone_ = false;
    bool finished_ = false;
};
