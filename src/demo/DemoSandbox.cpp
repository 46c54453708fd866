#include "DemoSandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "AppInfo.h"
#include "AtomicFile.h"
#include "FileSecretStore.h"
#include "SecretStore.h"
#include "UserDefaults.h"
#include "XdgDirectories.h"

namespace {

const QString kPersonalId = QStringLiteral("3C0F6A52-1B7E-4D0A-9E3B-5F8A2C6D9E14");

// A signature the user made in Mail itself; the agent must leave it in place.
const QString kSeededList = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<array>\n"
    "\t<dict>\n"
    "\t\t<key>SignatureIsRich</key>\n"
    "\t\t<string>false</string>\n"
    "\t\t<key>SignatureName</key>\n"
    "\t\t<string>Personal</string>\n"
    "\t\t<key>SignatureUniqueId</key>\n"
    "\t\t<string>%1</string>\n"
    "\t</dict>\n"
    "</array>\n"
    "</plist>\n");

const QString kSeededSignature = QStringLiteral(
    "Content-Transfer-Encoding: 7bit\n"
    "Content-Type: text/plain;\n"
    "\tcharset=us-ascii\n"
    "Message-Id: <9D2E51C4-7A3B-4E6F-8C1D-2B5A7E9F0C38@lan>\n"
    "Mime-Version: 1.0 (Mac OS X Mail 7.2 \\(1874\\))\n"
    "\n"
    "Ann\n");

bool writeIfMissing(const QString& path, const QString& content) {
    if (QFileInfo::exists(path)) {
        return true;
    }
    return AtomicFile::write(path, content.toUtf8()).ok();
}

void setDefaultIfMissing(UserDefaults& defaults, const QString& key, bool value) {
    if (!defaults.objectForKey(key).isValid()) {
        defaults.setBool(value, key);
    }
}

}  // namespace

#ifdef Q_OS_MACOS
// A Mac answers with its real version (11 or later for any Qt this builds with), for which the installer
// takes the newest Mail folder it finds.
const QString DemoSandbox::kMailSignaturesFolder = QStringLiteral("Library/Mail/V10/MailData/Signatures");
#else
const QString DemoSandbox::kMailSignaturesFolder = QStringLiteral("Library/Mail/V7/MailData/Signatures");
#endif

DemoSandbox::DemoSandbox(QString root) : root_(QDir::cleanPath(std::move(root))) {}

QString DemoSandbox::defaultRoot() {
#ifdef Q_OS_MACOS
    const QString data = QDir::homePath() + QStringLiteral("/Library/Application Support");
#else
    const QString data = XdgDirectories().dataHome();
#endif
    return data + QLatin1Char('/') + AppInfo::bundleIdentifier() + QStringLiteral("/demo");
}

std::optional<QString> DemoSandbox::findSimulator(const QString& executableDirectory) {
    // The build tree (next to the agent, or beside the Mac bundle it sits in) and a Linux installation.
    for (const QString& relative : {QStringLiteral("fake-bin"), QStringLiteral("../libexec/orlin-agent"),
                                    QStringLiteral("../../../fake-bin")}) {
        const QString folder = QDir::cleanPath(executableDirectory + QLatin1Char('/') + relative);
        const QFileInfo simulator(folder + QStringLiteral("/osascript"));
        if (simulator.isFile() && simulator.isExecutable()) {
            return folder;
        }
    }
    return std::nullopt;
}

QString DemoSandbox::executableDirectory(const char* argv0) {
#ifdef Q_OS_LINUX
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    if (const QString target = self.canonicalFilePath(); !target.isEmpty()) {
        return QFileInfo(target).absolutePath();
    }
#endif
    const QString name = QString::fromLocal8Bit(argv0 ? argv0 : "");
    if (name.contains(QLatin1Char('/'))) {
        return QFileInfo(name).canonicalPath();
    }
    return QFileInfo(QStandardPaths::findExecutable(name)).canonicalPath();
}

bool DemoSandbox::enter(QString* error) const {
    for (const QString& folder :
         {homeDirectory(), root_ + QStringLiteral("/config"), applicationSupportDirectory(),
          root_ + QStringLiteral("/state"), root_ + QStringLiteral("/service"), mailSignaturesDirectory()}) {
        if (!QDir().mkpath(folder)) {
            *error = QStringLiteral("cannot create the demo folder %1").arg(folder);
            return false;
        }
    }
    // Keeps the demo's secrets and profile to the user, whatever the umask made of the folder.
    QFile::setPermissions(root_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

Environment DemoSandbox::environment(const QString& scriptProgram, const QVariantMap& argumentDomain) const {
    // No managed layer: an administrator's real settings would send the demo's token to the production
    // service.
    Environment environment = Environment::forRoot(root_, scriptProgram);
#ifdef Q_OS_MACOS
    // Where the demo has always kept its settings on a Mac, so a user's choices in earlier demo runs stay:
    // a suite of its own in the system's preferences, apart from the user's real settings.
    UserDefaults::Locations locations;
    locations.suite = AppInfo::bundleIdentifier() + QStringLiteral(".demo");
    locations.userDomainPath = QDir::homePath() + QStringLiteral("/Library/Preferences/") + locations.suite +
                               QStringLiteral(".plist");
    environment.defaultsStore = std::make_shared<UserDefaults>(locations);
#endif
    UserDefaults& defaults = environment.defaults();
    defaults.setArgumentDomain(argumentDomain);
    // The simulator finds its state through its environment; HOME keeps whatever else it might write in
    // the sandbox too.
    QProcessEnvironment child = QProcessEnvironment::systemEnvironment();
    child.insert(QStringLiteral("HOME"), homeDirectory());
    child.insert(QStringLiteral("ORLIN_FAKE_OSASCRIPT_STATE"), simulatorStatePath());
    environment.script.environment = child;
    environment.script.timeout = Environment::scriptTimeoutFrom(defaults);
    environment.secretStore =
        SecretStore::make(defaults, FileSecretStore::pathIn(environment.folders.applicationSupport));
    return environment;
}

void DemoSandbox::seed(UserDefaults& defaults) const {
    const QString folder = mailSignaturesDirectory();
    // The list and the file go together: a list naming a missing file is what Mail itself never leaves.
    if (!QFileInfo::exists(folder + QStringLiteral("/AllSignatures.plist"))) {
        writeIfMissing(folder + QLatin1Char('/') + kPersonalId + QStringLiteral(".mailsignature"),
                       kSeededSignature);
        writeIfMissing(folder + QStringLiteral("/AllSignatures.plist"), kSeededList.arg(kPersonalId));
    }
    setDefaultIfMissing(defaults, QStringLiteral("updateSignaturesForOutlook"), true);
    setDefaultIfMissing(defaults, QStringLiteral("updateSignaturesForMail"), true);
    setDefaultIfMissing(defaults, QStringLiteral("isUsingICloudDrive"), false);
    defaults.synchronize();
}

QVariantMap DemoSandbox::argumentDomain(const QString& authBaseUrl, const QString& euAppBaseUrl,
                                        const QString& appBaseUrl, const QString& imageHostUrl) {
    return QVariantMap{
        {QStringLiteral("authBaseUrl"), authBaseUrl},
        {QStringLiteral("euAppBaseUrl"), euAppBaseUrl},
        {QStringLiteral("appBaseUrl"), appBaseUrl},
        {QStringLiteral("imageHostUrl"), imageHostUrl},
        {QStringLiteral("secretStore"), QStringLiteral("file")},
        {QStringLiteral("simulatedSystemVersion"), kSimulatedSystemVersion},
    };
}

QString DemoSandbox::homeDirectory() const {
    return root_ + QStringLiteral("/home");
}

QString DemoSandbox::applicationSupportDirectory() const {
    return root_ + QStringLiteral("/data/") + AppInfo::bundleIdentifier();
}

QString DemoSandbox::mailSignaturesDirectory() const {
    return homeDirectory() + QLatin1Char('/') + kMailSignaturesFolder;
}

QString DemoSandbox::simulatorStatePath() const {
    return root_ + QStringLiteral("/simulator.json");
}

QString DemoSandbox::profilePath() const {
    return root_ + QStringLiteral("/service/profile.json");
}

int DemoSandbox::storedPort() const {
    QFile file(root_ + QStringLiteral("/service/port"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : 0;
}

void DemoSandbox::storePort(int port) const {
    // Only a hint for the next run, which takes any free port when this one is gone.
    (void)AtomicFile::write(root_ + QStringLiteral("/service/port"), QByteArray::number(port));
}
