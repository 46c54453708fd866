#include "Diagnosis.h"

#include <dirent.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "AppInfo.h"
#include "ApplicationPreferences.h"
#include "BRSAppleMailService3.h"
#include "BRSSettingsStorage.h"
#include "Environment.h"
#include "Error.h"
#include "FileSecretStore.h"
#include "InstanceLock.h"
#include "PreferencesStorage.h"
#include "PropertyList.h"
#include "SecretStore.h"
#include "ServiceConfiguration.h"
#include "SyncBackend.h"
#include "SystemVersion.h"
#include "UserDefaults.h"

namespace {

using Finding = Diagnosis::Finding;

const QString kOutlookDomain = QStringLiteral("com.microsoft.Outlook");
const QString kNewOutlookKey = QStringLiteral("IsRunningNewOutlook");

// A problem's line ends with what would mend it, so whoever reads the report knows what to do next.
Finding problem(const QString& label, const QString& value, const QString& remedy) {
    return {label, value + QStringLiteral(" — ") + remedy, true};
}

QString yesNo(bool value) {
    return value ? QStringLiteral("on") : QStringLiteral("off");
}

QString errnoText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// Whether the agent could list and write a folder. access() alone is not enough: macOS answers it for a
// folder that privacy protection will still refuse, and only listing it shows the refusal (EPERM).
std::optional<QString> folderRefusal(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    DIR* directory = ::opendir(native.constData());
    if (!directory) {
        return errnoText(errno);
    }
    ::closedir(directory);
    if (::access(native.constData(), W_OK) != 0) {
        return errnoText(errno);
    }
    return std::nullopt;
}

Finding folderFinding(const QString& label, const QString& path) {
    if (!QFileInfo(path).isDir()) {
        return {label, path + QStringLiteral(" (not created yet)")};
    }
    if (const auto refusal = folderRefusal(path)) {
        return problem(label, path + QStringLiteral(" (not writable: %1)").arg(*refusal),
                       QStringLiteral("give this user write access to it (its owner and permissions)"));
    }
    return {label, path + QStringLiteral(" (writable)")};
}

QList<Finding> defaultsFindings(const UserDefaults& defaults) {
    QList<Finding> findings;
    const QString userPath = defaults.userDomainPath();
    findings.append(
        {QStringLiteral("Preferences file"),
         userPath + (QFileInfo::exists(userPath) ? QString() : QStringLiteral(" (not written yet)"))});
    bool anyManaged = false;
    for (const QString& path : defaults.managedDomainPaths()) {
        if (!QFileInfo::exists(path)) {
            continue;
        }
        anyManaged = true;
        const std::optional<QVariantMap> managed = PropertyList::readDictionary(path);
        if (!managed) {
            findings.append(problem(QStringLiteral("Managed file"),
                                    path + QStringLiteral(" (not a readable property list)"),
                                    QStringLiteral("ask your administrator to repair or remove it")));
            continue;
        }
        const QStringList keys = managed->keys();
        findings.append(
            {QStringLiteral("Managed file"),
             path + QStringLiteral(" (managed keys: %1)")
                        .arg(keys.isEmpty() ? QStringLiteral("none") : keys.join(QStringLiteral(", ")))});
    }
    if (!anyManaged) {
        findings.append({QStringLiteral("Managed file"), QStringLiteral("none")});
    }
    return findings;
}

QString systemVersionText(const UserDefaults& defaults) {
    const SystemVersion version = SystemVersion::operatingSystemVersion(defaults);
    if (version.majorVersion == 0) {
#ifdef Q_OS_MACOS
        return QStringLiteral("unknown");
#else
        return QStringLiteral("unknown (not macOS; the defaults key simulatedSystemVersion names one)");
#endif
    }
    const QString text = QStringLiteral("macOS %1.%2.%3")
                             .arg(version.majorVersion)
                             .arg(version.minorVersion)
                             .arg(version.patchVersion);
#ifdef Q_OS_MACOS
    return text;
#else
    return text + QStringLiteral(" (simulated: the defaults key simulatedSystemVersion)");
#endif
}

QList<Finding> secretFindings(const Environment& environment) {
    SecretStore* store = environment.secretStore.get();
    QString name;
    if (!store) {
        return {problem(QStringLiteral("Secret store"), QStringLiteral("none"),
                        QStringLiteral("set the defaults key secretStore to file"))};
    }
    if (dynamic_cast<const FileSecretStore*>(store) != nullptr) {
        name = QStringLiteral("file store at %1")
                   .arg(FileSecretStore::pathIn(environment.folders.applicationSupport));
    } else {
#ifdef Q_OS_MACOS
        name = QStringLiteral("login keychain");
#else
        name = QStringLiteral("Secret Service");
#endif
    }
    // Only the status is looked at; the secret itself is dropped at once.
    const bool answers =
        store->find(AppInfo::bundleIdentifier(), BRSSettingsStorage::kRefreshTokenKey).status !=
        SecretStore::Status::Failure;
    QList<Finding> findings;
    if (answers) {
        findings.append({QStringLiteral("Secret store"), name + QStringLiteral(" (answers)")});
    } else {
#ifdef Q_OS_MACOS
        const QString remedy = QStringLiteral("unlock the login keychain in Keychain Access, then try again");
#else
        const QString remedy = QStringLiteral(
            "start or unlock your keyring (GNOME Keyring or KWallet), or set the defaults key secretStore to "
            "file to keep the access code in a file readable only by you");
#endif
        findings.append(
            problem(QStringLiteral("Secret store"), name + QStringLiteral(" (does not answer)"), remedy));
    }

    const BRSLoginCredentials credentials = BRSSettingsStorage(environment.defaults()).getCredentials();
    if (credentials.harDomainToken()) {
        findings.append(
            {QStringLiteral("Access code"), QStringLiteral("deployed by the administrator (domain token)")});
    } else if (credentials.harToken()) {
        findings.append({QStringLiteral("Access code"), QStringLiteral("stored")});
    } else if (credentials.harCredentials()) {
        findings.append({QStringLiteral("Access code"), QStringLiteral("user name and password stored")});
    } else {
        findings.append(
            problem(QStringLiteral("Access code"), QStringLiteral("no access code stored"),
                    QStringLiteral("choose Enter Access Code… in Orlin's menu (or run orlin-agent "
                                   "--enter-token) with the code from your invitation")));
    }
    return findings;
}

Finding mailFinding(const Environment& environment, const Preferences& preferences) {
    const QString& library = environment.folders.library;
    const QString label = QStringLiteral("Apple Mail folder");
    const QString off =
        preferences.updateSignaturesForMail() ? QString() : QStringLiteral(", Apple Mail updates off");
    const bool inUse = preferences.updateSignaturesForMail();
    const auto mailProblem = [&label, inUse](const QString& value, const QString& remedy) {
        return inUse ? problem(label, value, remedy) : Finding{label, value};
    };
    const QString openMailOnce =
        QStringLiteral("open Apple Mail once, or turn Apple Mail off in Orlin's Preferences");
    // Asking the installer for its folder would create the Library folder; a report changes nothing.
    if (!QFileInfo(library).isDir()) {
        return mailProblem(QStringLiteral("none (no Library folder at %1%2)").arg(library, off),
                           openMailOnce);
    }
    // The folder is all it is asked for.
    const Result<QString> found =
        BRSAppleMailService3(preferences.isUsingICloudDrive(), library, environment.defaults())
            .getFolderUrlForSignatures();
    if (!found) {
        return mailProblem(QStringLiteral("none (%1%2)").arg(found.error().localizedDescription, off),
                           openMailOnce);
    }
    const QString& folder = found.value();
    if (!QFileInfo(folder).isDir()) {
        return mailProblem(QStringLiteral("%1 (not found%2)").arg(folder, off), openMailOnce);
    }
    if (const auto refusal = folderRefusal(folder)) {
#ifdef Q_OS_MACOS
        const QString remedy =
            QStringLiteral("turn on Orlin in System Settings › Privacy & Security › Full Disk Access");
#else
        const QString remedy =
            QStringLiteral("give this user write access to it (its owner and permissions)");
#endif
        return mailProblem(QStringLiteral("%1 (not writable: %2%3)").arg(folder, *refusal, off), remedy);
    }
    return {label, QStringLiteral("%1 (writable%2)").arg(folder, off)};
}

Finding outlookFinding(const Environment& environment, const Preferences& preferences) {
    const QString off =
        preferences.updateSignaturesForOutlook() ? QString() : QStringLiteral(" (Outlook updates off)");
    const std::optional<bool> isNew =
        ApplicationPreferences(kOutlookDomain, environment.folders.config, environment.folders.library)
            .boolForKey(kNewOutlookKey);
    if (!isNew) {
        // Where scripts go to the simulator (the demo, the tests), no real Outlook is asked: its legacy
        // scripting is what is simulated.
        if (environment.script.environment.contains(QStringLiteral("ORLIN_FAKE_OSASCRIPT_STATE"))) {
            return {QStringLiteral("Outlook mode"),
                    QStringLiteral("legacy (simulated by %1)").arg(environment.script.program) + off};
        }
        return {QStringLiteral("Outlook mode"), QStringLiteral("unknown") + off};
    }
    if (*isNew) {
        const QString value = QStringLiteral("new (it cannot receive signatures)") + off;
        if (!preferences.updateSignaturesForOutlook()) {
            return {QStringLiteral("Outlook mode"), value};
        }
        return problem(
            QStringLiteral("Outlook mode"), value,
            QStringLiteral("switch Outlook to Legacy Outlook, or turn Outlook off in Orlin's Preferences"));
    }
    return {QStringLiteral("Outlook mode"), QStringLiteral("legacy") + off};
}

Finding lastCheckFinding(const UserDefaults& defaults) {
    const QString time = defaults.objectForKey(Diagnosis::kLastCheckTimeKey).toString();
    const QString result = defaults.objectForKey(Diagnosis::kLastCheckResultKey).toString();
    if (time.isEmpty() || result.isEmpty()) {
        return {QStringLiteral("Last check"), QStringLiteral("none yet")};
    }
    const QDateTime when = QDateTime::fromString(time, Qt::ISODate);
    // Local time with its offset: without it a time pasted into a ticket cannot be lined up with the
    // service's logs.
    const QString shown = when.isValid()
                              ? when.toOffsetFromUtc(when.toLocalTime().offsetFromUtc()).toString(Qt::ISODate)
                              : time;
    const QString value = QStringLiteral("%1, %2").arg(shown, result);
    if (result == Diagnosis::kCheckSucceeded) {
        return {QStringLiteral("Last check"), value};
    }
    return problem(QStringLiteral("Last check"), value,
                   result == QStringLiteral("no access code")
                       ? QStringLiteral("enter your access code")
                       : QStringLiteral("check the network connection and the access code, then run "
                                        "orlin-agent --diagnose --online to try again"));
}

// One tick's worth of asking, without the menu or the windows. The caller has the data to itself.
Finding onlineFinding(const Environment& environment) {
    const QString label = QStringLiteral("Online check");
    InstanceLock lock(environment.folders.applicationSupport);
    QString lockProblem;
    if (!lock.tryLock(&lockProblem)) {
        if (!lockProblem.isEmpty()) {
            return problem(label, QStringLiteral("skipped: %1").arg(lockProblem),
                           QStringLiteral("make the data folder writable for this user"));
        }
        return {label, QStringLiteral("skipped: the agent is running, and its own last check is above")};
    }
    SyncBackend backend = SyncBackend::live(environment);
    const BRSLoginCredentials credentials = backend.getCredentials();
    if (!credentials.harCredentials() && !credentials.harToken() && !credentials.harDomainToken()) {
        return problem(label, QStringLiteral("skipped: no access code"),
                       QStringLiteral("enter your access code"));
    }
    QEventLoop loop;
    std::optional<Finding> finding;
    backend.checkForSignatureUpdates(credentials, [&](BRSSignatureService::CheckReply reply) {
        // A token the service rotated is kept whatever failed after it: the old one may be spent.
        backend.acceptSignIn(reply.signIn);
        const Result<BRSSignatureService::CheckOutcome>& checked = reply.result;
        Diagnosis::recordCheck(environment.defaults(),
                               checked.ok() ? std::nullopt : std::optional<Error>(checked.error()));
        finding = !checked.ok()
                      ? problem(label, QStringLiteral("failed: %1").arg(checked.error().localizedDescription),
                                QStringLiteral("check the network connection and the access code"))
                      : Finding{label, checked.value().updatesAvailable
                                           ? QStringLiteral("succeeded, updates available")
                                           : QStringLiteral("succeeded, signatures up to date")};
        loop.quit();
    });
    if (!finding) {
        // The transport bounds every request; this only keeps a diagnosis from hanging on a fault of ours.
        QTimer::singleShot(std::chrono::minutes(3), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return finding.value_or(problem(label, QStringLiteral("no answer"),
                                    QStringLiteral("check the network connection, then try again")));
}

}  // namespace

QList<Diagnosis::Finding> Diagnosis::gather(const Environment& environment, bool online) {
    UserDefaults& defaults = environment.defaults();
    QList<Finding> findings;
    findings.append({QStringLiteral("Version"),
                     QStringLiteral("Orlin %1 (Qt %2)")
                         .arg(AppInfo::shortVersionString(), QString::fromLatin1(qVersion()))});
    findings.append({QStringLiteral("System version"), systemVersionText(defaults)});
    findings.append(defaultsFindings(defaults));
    const ServiceConfiguration service = ServiceConfiguration::fromDefaults(defaults);
    findings.append({QStringLiteral("Service"), QStringLiteral("sign-in %1, app %2, EU app %3, images %4")
                                                    .arg(service.authBaseUrl(), service.appBaseUrl(),
                                                         service.euAppBaseUrl(), service.imageHostUrl())});
    findings.append(secretFindings(environment));
    findings.append(folderFinding(QStringLiteral("Cache folder"), environment.folders.applicationSupport));
    findings.append(folderFinding(QStringLiteral("Log folder"), environment.folders.logs));

    const Preferences preferences = PreferencesStorage(defaults).getPreferences();
    findings.append(
        {QStringLiteral("Updates"),
         QStringLiteral("automatic %1, Outlook %2, Apple Mail %3, iCloud Drive %4")
             .arg(yesNo(preferences.updateSignaturesAutomatically()),
                  yesNo(preferences.updateSignaturesForOutlook()),
                  yesNo(preferences.updateSignaturesForMail()), yesNo(preferences.isUsingICloudDrive()))});
    findings.append(mailFinding(environment, preferences));
    findings.append(outlookFinding(environment, preferences));
    findings.append(lastCheckFinding(defaults));
    if (online) {
        findings.append(onlineFinding(environment));
    }
    return findings;
}

QString Diagnosis::format(const QList<Finding>& findings) {
    QString text;
    qsizetype problems = 0;
    for (const Finding& finding : findings) {
        problems += finding.problem ? 1 : 0;
        text += (finding.problem ? QStringLiteral("PROBLEM ") : QString()) + finding.label +
                QStringLiteral(": ") + finding.value + QLatin1Char('\n');
    }
    text += problems == 0 ? QStringLiteral("Result: nothing is wrong\n")
                          : QStringLiteral("Result: %1 problem(s)\n").arg(problems);
    return text;
}

bool Diagnosis::hasProblems(const QList<Finding>& findings) {
    return std::any_of(findings.cbegin(), findings.cend(),
                       [](const Finding& finding) { return finding.problem; });
}

void Diagnosis::recordCheck(UserDefaults& defaults, const std::optional<Error>& error) {
    recordCheck(defaults,
                error ? QStringLiteral("failed: %1").arg(error->localizedDescription) : kCheckSucceeded);
}

void Diagnosis::recordCheck(UserDefaults& defaults, const QString& result) {
    defaults.setObject(QDateTime::currentDateTimeUtc().toString(Qt::ISODate), kLastCheckTimeKey);
    defaults.setObject(result, kLastCheckResultKey);
}
