#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

#include "Environment.h"

class UserDefaults;

// The folder the demo keeps everything in, so that a demo run never touches a real installation: the
// defaults, the file secret store, the signature cache, the logs, the Library folder with Apple Mail's
// signature list, the simulated Outlook and the demo service's profile. Kept between runs, so a second run
// finds the signatures the first one installed.
//
// The agent gets all of it through the environment the sandbox builds; the process's own environment
// variables stay as they were, so nothing else the process starts or reads is moved by accident.
class DemoSandbox final {
public:
    // Mail's folder in the layout the installer looks for: the one of system 10.15 with iCloud Drive off,
    // which the demo simulates, or on a Mac the running system's.
    static const QString kMailSignaturesFolder;
    // Ignored on a Mac, where the installers see the real version.
    static inline const QString kSimulatedSystemVersion = QStringLiteral("10.15");

    explicit DemoSandbox(QString root);

    // $XDG_DATA_HOME/com.halvex.Orlin/demo (~/Library/Application Support/com.halvex.Orlin/demo on macOS).
    [[nodiscard]] static QString defaultRoot();
    // The folder holding the simulator's `osascript`: next to the executable in a build tree, or in the
    // installed libexec folder. Nothing when neither has it.
    [[nodiscard]] static std::optional<QString> findSimulator(const QString& executableDirectory);
    // Works before the application object exists, which is when the demo session starts.
    [[nodiscard]] static QString executableDirectory(const char* argv0);

    // Creates the folders. False (with the reason) when one cannot be made.
    [[nodiscard]] bool enter(QString* error) const;
    // The agent's environment inside the sandbox: its folders, defaults of its own with no administrator's
    // layer and `argumentDomain` over them, the file secret store the defaults choose, and scripts sent to
    // the simulator at `scriptProgram`, which keeps its state in the sandbox. Needs the application object.
    [[nodiscard]] Environment environment(const QString& scriptProgram,
                                          const QVariantMap& argumentDomain) const;
    // The first run's state: Mail's signature list with one signature of the user's own, and the demo's
    // settings in the user's defaults. Leaves anything already there alone, so a user's changes in the
    // demo's preferences survive.
    void seed(UserDefaults& defaults) const;

    // The defaults only the demo may decide for this run: the service addresses, the file secret store and
    // the simulated system.
    [[nodiscard]] static QVariantMap argumentDomain(const QString& authBaseUrl, const QString& euAppBaseUrl,
                                                    const QString& appBaseUrl, const QString& imageHostUrl);

    [[nodiscard]] const QString& root() const { return root_; }
    [[nodiscard]] QString homeDirectory() const;
    [[nodiscard]] QString applicationSupportDirectory() const;
    [[nodiscard]] QString mailSignaturesDirectory() const;
    [[nodiscard]] QString simulatorStatePath() const;
    [[nodiscard]] QString profilePath() const;
    // The demo service's port of the previous run, 0 when there was none.
    [[nodiscard]] int storedPort() const;
    void storePort(int port) const;

private:
    QString root_;
};
