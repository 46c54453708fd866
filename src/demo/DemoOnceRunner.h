#pragma once

#include <QStringList>
#include <functional>

#include "DemoInstallation.h"

class BRSAppDelegate;
class DemoSandbox;
class DemoService;

// `--demo --once`: one check, then one update, then a report of where every signature went. The update
// waits for the check, so the check reports what the previous run left behind instead of racing the
// update for the cache.
class DemoOnceRunner final {
public:
    DemoOnceRunner(BRSAppDelegate& controller, const DemoSandbox& sandbox, const DemoService& service,
                   std::function<void(const QString& line)> print, std::function<void(int exitCode)> exit);

private:
    void tickFinished(bool checkSucceeded);
    void updateFinished(bool succeeded);

    BRSAppDelegate& controller_;
    const DemoSandbox& sandbox_;
    const DemoService& service_;
    std::function<void(const QString&)> print_;
    std::function<void(int)> exit_;
    DemoInstallation before_;
    bool tickDone_ = false;
    bool finished_ = false;
};
