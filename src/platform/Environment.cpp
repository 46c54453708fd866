#include "Environment.h"

#include <QDir>
#include <QFileInfo>
#include <QVariant>
#include <cmath>

#include "AppInfo.h"
#include "FileSecretStore.h"
#include "SecretStore.h"
#include "UserDefaults.h"
#include "XdgDirectories.h"

namespace {

constexpr double kMinimumScriptSeconds = 1;
constexpr double kMaximumScriptSeconds = 3600;

QString configFolder() {
#ifdef Q_OS_MACOS
    return QDir::homePath() + QStringLiteral("/Library/Preferences");
#else
    return XdgDirectories().configHome();
#endif
}

#ifdef Q_OS_MACOS
// The preferences of an agent that the agent's own tests start: a suite of the test's, so that no test
// reads or writes the user's real settings or an administrator's forced values. Only a suite named for
// tests is taken, so a stray variable cannot move a real user's settings.
void useTestSuiteIfNamed(UserDefaults& defaults) {
    const QString suite = qEnvironmentVariable("ORLIN_DEFAULTS_SUITE");
    if (suite.startsWith(AppInfo::bundleIdentifier() + QStringLiteral(".test."))) {
        defaults.useSuite(suite);
    }
}
#endif

}  // namespace

// The agent's own tests name the simulator in ORLIN_OSASCRIPT, so a test run drives no real Outlook or
// Mail; only whoever starts the process can set it, and it must name a program by its absolute path, so a
// relative name cannot pick up something from the working folder.
QString Environment::scriptProgramFrom(const QProcessEnvironment& variables, QStringList* problems) {
    const QString standIn = variables.value(QStringLiteral("ORLIN_OSASCRIPT"));
    if (standIn.isEmpty()) {
        return ScriptProcess::systemProgram();
    }
    const QFileInfo file(standIn);
    if (file.isAbsolute() && file.isFile() && file.isExecutable()) {
        return standIn;
    }
    if (problems) {
        problems->append(
            QStringLiteral("ORLIN_OSASCRIPT is not the absolute path of a program and is ignored."));
    }
    return ScriptProcess::systemProgram();
}

std::chrono::milliseconds Environment::scriptTimeoutFrom(const UserDefaults& defaults,
                                                         QStringList* problems) {
    const QString key = QStringLiteral("scriptTimeoutSeconds");
    const QVariant value = defaults.objectForKey(key);
    if (!value.isValid()) {
        return ScriptProcess::kDefaultTimeout;
    }
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    // Both bounds are checked as doubles, so NaN fails them: infinity or 1e30 would overflow the count of
    // milliseconds, and a thousandth of a second rounds to none, either of which stops every script at once.
    if (ok && seconds >= kMinimumScriptSeconds && seconds <= kMaximumScriptSeconds) {
        return std::chrono::milliseconds(std::llround(seconds * 1000));
    }
    if (problems) {
        problems->append(QStringLiteral("%1 “%2” is not from %3 to %4 seconds; %5 seconds are used.")
                             .arg(key, value.toString())
                             .arg(kMinimumScriptSeconds)
                             .arg(kMaximumScriptSeconds)
                             .arg(std::chrono::seconds(ScriptProcess::kDefaultTimeout).count()));
    }
    return ScriptProcess::kDefaultTimeout;
}

Environment Environment::fromProcess(const QVariantMap& argumentDomain, QStringList* problems) {
    Environment environment;
    environment.folders.home = QDir::homePath();
    environment.folders.applicationSupport = AppInfo::applicationSupportDirectory();
    environment.folders.library = AppInfo::libraryDirectory();
    environment.folders.logs = AppInfo::logsDirectory();
    environment.folders.config = configFolder();
    environment.applicationPath = AppInfo::applicationPath();
#ifdef Q_OS_MACOS
    useTestSuiteIfNamed(UserDefaults::standardUserDefaults());
#endif
    UserDefaults::standardUserDefaults().setArgumentDomain(argumentDomain);
    // The process's defaults outlive every environment made from them.
    environment.defaultsStore =
        std::shared_ptr<UserDefaults>(&UserDefaults::standardUserDefaults(), [](UserDefaults*) {});
    environment.clock = [] { return QDateTime::currentDateTime(); };
    environment.script.program = scriptProgramFrom(QProcessEnvironment::systemEnvironment(), problems);
    environment.script.timeout = scriptTimeoutFrom(environment.defaults(), problems);
    environment.secretStore = SecretStore::make(
        environment.defaults(), FileSecretStore::pathIn(environment.folders.applicationSupport));
    return environment;
}

Environment Environment::forRoot(const QString& root, const QString& scriptProgram,
                                 const QStringList& managedDomainPaths) {
    Environment environment;
    Folders& folders = environment.folders;
    folders.home = root + QStringLiteral("/home");
    folders.applicationSupport = root + QStringLiteral("/data/") + AppInfo::bundleIdentifier();
    folders.library = folders.home + QStringLiteral("/Library");
#ifdef Q_OS_MACOS
    folders.logs = folders.library + QStringLiteral("/Logs/") + AppInfo::processName();
    folders.config = folders.library + QStringLiteral("/Preferences");
#else
    folders.logs = root + QStringLiteral("/state/") + AppInfo::processName() + QStringLiteral("/logs");
    folders.config = root + QStringLiteral("/config");
#endif
    // A home always exists; everything below it is made by whoever first writes there, as for a real user.
    QDir().mkpath(folders.home);
    environment.applicationPath = AppInfo::applicationPath();
    // No suite: the domain is the file, on a Mac too, where a suite would live in the user's real
    // preferences.
    environment.defaultsStore = std::make_shared<UserDefaults>(UserDefaults::Locations{
        .userDomainPath =
            folders.config + QLatin1Char('/') + AppInfo::bundleIdentifier() + QStringLiteral(".plist"),
        .suite = QString(),
        .managedDomainPaths = managedDomainPaths});
    environment.clock = [] { return QDateTime::currentDateTime(); };
    environment.script.program = scriptProgram;
    environment.script.timeout = scriptTimeoutFrom(environment.defaults());
    environment.secretStore =
        std::make_shared<FileSecretStore>(FileSecretStore::pathIn(folders.applicationSupport));
    return environment;
}
