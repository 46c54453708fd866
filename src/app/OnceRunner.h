#pragma once

#include <functional>

class BRSAppDelegate;

// Ends the process after the first tick, and after the update that tick started, if any. The exit code
// says whether the check succeeded and nothing failed.
class OnceRunner final {
public:
    OnceRunner(BRSAppDelegate& controller, std::function<void(int exitCode)> exit);

private:
    void finish();

    BRSAppDelegate& controller_;
    std::function<void(int)> exit_;
    bool checkSucceeded_ = false;
    bool updatesSucceeded_ = true;
    bool tickDone_ = false;
    bool finished_ = false;
};
