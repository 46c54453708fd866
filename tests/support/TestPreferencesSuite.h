#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <utility>

#ifdef Q_OS_MACOS
#include <pwd.h>
#include <unistd.h>
#endif

#include "UserDefaults.h"

// Preferences of a test process's own in the system's preferences, apart from the agent's and from every
// other test process's (ctest runs them side by side): a suite named after the process. It starts empty,
// whatever a crashed run with the same process id left, reads no administrator's values and leaves nothing
// behind. The tests' own defaults are a file below their root and need no suite; an agent a test starts on
// a Mac is given one named after the test process.
//
// macOS keeps a suite in the system's preferences, below the home the process started with; a home moved
// once the process runs may not move it. So the suite's file is also removed from the account's own home.
class TestPreferencesSuite final {
public:
    explicit TestPreferencesSuite(UserDefaults& defaults, QString name = processSuiteName())
        : defaults_(defaults), name_(std::move(name)) {
        defaults_.useSuite(name_);
        defaults_.resetForTesting();
    }

    ~TestPreferencesSuite() {
        const QString stored = defaults_.userDomainPath();
        defaults_.resetForTesting();
        QFile::remove(stored);
#ifdef Q_OS_MACOS
        if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) {
            QFile::remove(QFile::decodeName(user->pw_dir) + QStringLiteral("/Library/Preferences/") + name_ +
                          QStringLiteral(".plist"));
        }
#endif
    }

    TestPreferencesSuite(const TestPreferencesSuite&) = delete;
    TestPreferencesSuite& operator=(const TestPreferencesSuite&) = delete;

    [[nodiscard]] static QString processSuiteName() {
        return QStringLiteral("com.halvex.Orlin.test.%1").arg(QCoreApplication::applicationPid());
    }

private:
    UserDefaults& defaults_;
    QString name_;
};
