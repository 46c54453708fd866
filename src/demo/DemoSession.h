#pragma once

#include <QString>
#include <QVariantMap>
#include <memory>

#include "DemoSandbox.h"
#include "DemoService.h"

class BRSAppDelegate;
class DemoOnceRunner;
class UserDefaults;

// `--demo`: the sandbox entered and the demo service running, for as long as the agent runs.
class DemoSession final {
public:
    // Makes the sandbox below `root` and starts the service. Nothing, with the reason in `error`, when the
    // demo cannot run.
    [[nodiscard]] static std::unique_ptr<DemoSession> start(const QString& root, const char* argv0,
                                                            QString* error);

    // The command line's "-key value" pairs with the demo's own keys laid over them: the demo's service,
    // store and simulated system are not the user's to change.
    [[nodiscard]] QVariantMap argumentDomain(QVariantMap commandLine) const;
    // What the agent runs in for the demo: the sandbox's folders and stores, the argument domain above
    // and scripts sent to the simulator. Needs the application object.
    [[nodiscard]] Environment environment(const QVariantMap& commandLine) const;
    // Seeds the first run: Mail's list, the demo's settings and the access code of a demo invitation.
    // Needs the application object and the argument domain.
    void prepareStores(UserDefaults& defaults) const;
    // The Outlook/Mail simulator, which every script of the demo goes to.
    [[nodiscard]] const QString& scriptProgram() const { return scriptProgram_; }
    // For --once: one check, one update, the report printed to standard output.
    [[nodiscard]] std::unique_ptr<DemoOnceRunner> startOnce(BRSAppDelegate& controller,
                                                            std::function<void(int exitCode)> exit) const;

    [[nodiscard]] const DemoSandbox& sandbox() const { return sandbox_; }
    [[nodiscard]] const DemoService& service() const { return *service_; }

private:
    DemoSession(DemoSandbox sandbox, QString scriptProgram);

    DemoSandbox sandbox_;
    QString scriptProgram_;
    std::unique_ptr<DemoService> service_;
};
