#pragma once

#include <QDateTime>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <memory>

#include "ScriptProcess.h"

class SecretStore;
class UserDefaults;

// What the agent's parts need from the machine they run on: where its files live, its defaults, the clock,
// how scripts are run and where secrets are kept. Built once by whoever starts the agent and handed down,
// so no part looks the machine up for itself and a test or the demo can move all of it at once.
struct Environment final {
    struct Folders {
        QString home;
        // The signature cache and the file secret store (Application Support / $XDG_DATA_HOME).
        QString applicationSupport;
        // The user's Library folder, in which Apple Mail keeps its signatures.
        QString library;
        QString logs;
        // The user's own configuration: the defaults' user domain, other applications' preferences and
        // the autostart list live below it (~/Library/Preferences / $XDG_CONFIG_HOME).
        QString config;
    };

    Folders folders;
    // The path that identifies this installation in the login items.
    QString applicationPath;
    std::shared_ptr<UserDefaults> defaultsStore;
    std::function<QDateTime()> clock;
    ScriptProcess::Settings script;
    std::shared_ptr<SecretStore> secretStore;
    // What the process's environment named that had to be passed over, for the log once it runs.
    QStringList passedOver;

    [[nodiscard]] UserDefaults& defaults() const { return *defaultsStore; }
    [[nodiscard]] ScriptProcess scriptProcess() const { return ScriptProcess(script); }

    // This process's own: the folders its environment variables name, the standard defaults with the
    // command line's "-key value" pairs as their argument domain, the system clock, the system's
    // `osascript` (or the stand-in a test names) and the store the defaults choose. Call once the
    // application object exists; what it had to pass over is added to `problems`.
    [[nodiscard]] static Environment fromProcess(const QVariantMap& argumentDomain = {},
                                                 QStringList* problems = nullptr);
    // Everything below `root` and nothing of the process's own: the folders in the demo's sandbox layout,
    // defaults kept in a file below it that read the administrator's layer from `managedDomainPaths` only,
    // the system clock, scripts sent to `scriptProgram` (none runs while it is empty) and the file secret
    // store. What the demo and the tests build on, so neither reaches the user's home, real preferences or
    // keychain, whatever the process's environment variables say.
    [[nodiscard]] static Environment forRoot(const QString& root, const QString& scriptProgram = {},
                                             const QStringList& managedDomainPaths = {});
    // The script program: the system's `osascript`, or the stand-in ORLIN_OSASCRIPT names in `variables`
    // by its absolute path; a stand-in named any other way is passed over and added to `problems`.
    [[nodiscard]] static QString scriptProgramFrom(const QProcessEnvironment& variables,
                                                   QStringList* problems = nullptr);
    // The script time-out the defaults name ("scriptTimeoutSeconds"), from one second to an hour. Anything
    // else gives the default, and what was passed over is added to `problems`.
    [[nodiscard]] static std::chrono::milliseconds scriptTimeoutFrom(const UserDefaults& defaults,
                                                                     QStringList* problems = nullptr);
};
