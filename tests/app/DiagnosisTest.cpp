#include "Diagnosis.h"
#include "Environment.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BRSKeychainController.h"
#include "InstanceLock.h"
#include "MemorySecretStore.h"
#include "UserDefaults.h"

namespace {

// A property list holding one dictionary, written the way any editor would.
QByteArray plistOf(const QString& key, const QString& valueElement) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist "
               "version=\"1.0\">\n<dict><key>%1</key>%2</dict>\n"
               "</plist>\n")
        .arg(key, valueElement)
        .toUtf8();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Each case has a home of its own, with its own defaults and secret store, so that what one case
// stores never reaches the findings of another.
class DiagnosisTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        BRSKeychainController::sharedKeychainController().resetForTesting(store);
        environment = Environment::forRoot(root.path(), QString(), {managedPath()});
        environment.secretStore = store;
    }
    void TearDown() override { BRSKeychainController::sharedKeychainController().resetForTesting(nullptr); }

    QString managedPath() const { return root.filePath(QStringLiteral("managed.plist")); }
    UserDefaults& defaults() const { return environment.defaults(); }
    void arguments(const QVariantMap& values) const { defaults().setArgumentDomain(values); }

    // Every finding of that label, in order.
    QList<Diagnosis::Finding> findings(const QString& label, bool online = false) const {
        QList<Diagnosis::Finding> found;
        for (const Diagnosis::Finding& finding : Diagnosis::gather(environment, online)) {
            if (finding.label == label) {
                found.append(finding);
            }
        }
        return found;
    }
    Diagnosis::Finding finding(const QString& label, bool online = false) const {
        const QList<Diagnosis::Finding> found = findings(label, online);
        EXPECT_EQ(found.size(), 1) << label.toStdString();
        return found.value(0);
    }

    QTemporaryDir root;
    std::shared_ptr<MemorySecretStore> store = std::make_shared<MemorySecretStore>();
    Environment environment;
};

TEST_F(DiagnosisTest, TheReportNamesVersionSystemAndServiceAndCountsItsProblems) {
    EXPECT_TRUE(finding(QStringLiteral("Version")).value.contains(QString::fromLatin1(qVersion())));
    EXPECT_TRUE(finding(QStringLiteral("System version")).value.startsWith(QStringLiteral("unknown")));
    arguments({{QStringLiteral("simulatedSystemVersion"), QStringLiteral("10.15.7")},
               {QStringLiteral("authBaseUrl"), QStringLiteral("http://127.0.0.1:9/auth/")}});
    EXPECT_TRUE(finding(QStringLiteral("System version")).value.startsWith(QStringLiteral("macOS 10.15.7")));
    EXPECT_TRUE(finding(QStringLiteral("Service"))
                    .value.startsWith(QStringLiteral("sign-in http://127.0.0.1:9/auth/, app ")));

    const QList<Diagnosis::Finding> two = {{QStringLiteral("A"), QStringLiteral("fine")},
                                           {QStringLiteral("B"), QStringLiteral("broken"), true},
                                           {QStringLiteral("C"), QStringLiteral("broken too"), true}};
    EXPECT_EQ(Diagnosis::format(two), QStringLiteral("A: fine\nPROBLEM B: broken\nPROBLEM C: broken too\n"
                                                     "Result: 2 problem(s)\n"));
    EXPECT_TRUE(Diagnosis::hasProblems(two));
    EXPECT_EQ(Diagnosis::format(two.mid(0, 1)), QStringLiteral("A: fine\nResult: nothing is wrong\n"));
    EXPECT_FALSE(Diagnosis::hasProblems(two.mid(0, 1)));
}

TEST_F(DiagnosisTest, ThePreferencesFileAndTheAdministratorsLayer) {
    const QString userPath = defaults().userDomainPath();
    EXPECT_EQ(finding(QStringLiteral("Preferences file")).value,
              userPath + QStringLiteral(" (not written yet)"));
    writeFile(userPath, plistOf(QStringLiteral("hideInfobox"), QStringLiteral("<true/>")));
    EXPECT_EQ(finding(QStringLiteral("Preferences file")).value, userPath);

    EXPECT_EQ(finding(QStringLiteral("Managed file")).value, QStringLiteral("none"));
    writeFile(managedPath(), plistOf(QStringLiteral("appBaseUrl"), QStringLiteral("<string>x</string>")));
    const Diagnosis::Finding managed = finding(QStringLiteral("Managed file"));
    EXPECT_EQ(managed.value, managedPath() + QStringLiteral(" (managed keys: appBaseUrl)"));
    EXPECT_FALSE(managed.problem);
    writeFile(managedPath(), "not a property list");
    const Diagnosis::Finding broken = finding(QStringLiteral("Managed file"));
    EXPECT_TRUE(broken.problem);
    EXPECT_TRUE(broken.value.contains(QStringLiteral("not a readable property list")));
}

TEST_F(DiagnosisTest, TheSecretStoreAndWhichAccessCodeItHolds) {
    EXPECT_TRUE(finding(QStringLiteral("Secret store")).value.endsWith(QStringLiteral(" (answers)")));
    const Diagnosis::Finding none = finding(QStringLiteral("Access code"));
    EXPECT_TRUE(none.problem);
    EXPECT_TRUE(none.value.startsWith(QStringLiteral("no access code stored")));

    store->put(QStringLiteral("userNameString"), "ann");
    EXPECT_EQ(finding(QStringLiteral("Access code")).value, QStringLiteral("user name and password stored"));
    store->put(QStringLiteral("refreshToken"), "token");
    EXPECT_EQ(finding(QStringLiteral("Access code")).value, QStringLiteral("stored"));
    arguments({{QStringLiteral("userName"), QStringLiteral("ann")},
               {QStringLiteral("domainToken"), QStringLiteral("dt")}});
    EXPECT_EQ(finding(QStringLiteral("Access code")).value,
              QStringLiteral("deployed by the administrator (domain token)"));
    EXPECT_FALSE(finding(QStringLiteral("Access code")).problem);

    store->failing = true;
    const Diagnosis::Finding silent = finding(QStringLiteral("Secret store"));
    EXPECT_TRUE(silent.problem);
    EXPECT_TRUE(silent.value.contains(QStringLiteral("(does not answer)")));
    environment.secretStore.reset();
    EXPECT_TRUE(finding(QStringLiteral("Secret store")).problem);
}

TEST_F(DiagnosisTest, TheCacheAndLogFoldersAreFineUntilTheyCannotBeWritten) {
    const QString cache = environment.folders.applicationSupport;
    EXPECT_EQ(finding(QStringLiteral("Cache folder")).value, cache + QStringLiteral(" (not created yet)"));
    ASSERT_TRUE(QDir().mkpath(cache));
    ASSERT_TRUE(QDir().mkpath(environment.folders.logs));
    EXPECT_EQ(finding(QStringLiteral("Cache folder")).value, cache + QStringLiteral(" (writable)"));
    EXPECT_EQ(finding(QStringLiteral("Log folder")).value,
              environment.folders.logs + QStringLiteral(" (writable)"));
    // Permissions bind everyone but root.
    if (::geteuid() != 0) {
        QFile::setPermissions(cache, QFile::ReadOwner | QFile::ExeOwner);
        const Diagnosis::Finding readOnly = finding(QStringLiteral("Cache folder"));
        QFile::setPermissions(cache, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_TRUE(readOnly.problem);
        EXPECT_TRUE(readOnly.value.contains(QStringLiteral("(not writable: ")));
    }
}

TEST_F(DiagnosisTest, TheUpdatesAsThePreferencesChooseThem) {
    arguments({{QStringLiteral("updateSignaturesAutomatically"), false},
               {QStringLiteral("updateSignaturesForOutlook"), true},
               {QStringLiteral("updateSignaturesForMail"), true},
               {QStringLiteral("isUsingICloudDrive"), false}});
    EXPECT_EQ(finding(QStringLiteral("Updates")).value,
              QStringLiteral("automatic off, Outlook on, Apple Mail on, iCloud Drive off"));
}

TEST_F(DiagnosisTest, TheAppleMailFolderIsAProblemOnlyWhileMailIsServed) {
    const QString label = QStringLiteral("Apple Mail folder");
    QVariantMap values{{QStringLiteral("updateSignaturesForMail"), false},
                       {QStringLiteral("isUsingICloudDrive"), false}};
    arguments(values);
    const Diagnosis::Finding off = finding(label);
    EXPECT_FALSE(off.problem);
    EXPECT_TRUE(off.value.endsWith(QStringLiteral(", Apple Mail updates off)"))) << off.value.toStdString();
    EXPECT_FALSE(QFileInfo::exists(environment.folders.library)) << "a report creates nothing";

    values.insert(QStringLiteral("updateSignaturesForMail"), true);
    arguments(values);
    EXPECT_TRUE(finding(label).value.startsWith(QStringLiteral("none (no Library folder at ")));
    EXPECT_TRUE(finding(label).problem);

    ASSERT_TRUE(QDir().mkpath(environment.folders.library));
    EXPECT_TRUE(finding(label).value.startsWith(
        QStringLiteral("none (Apple Mail is supported on El Capitan up to and including Catalina.) — ")));

    values.insert(QStringLiteral("simulatedSystemVersion"), QStringLiteral("10.15"));
    arguments(values);
    const QString signatures = environment.folders.library + QStringLiteral("/Mail/V7/MailData/Signatures");
    EXPECT_TRUE(
        finding(label).value.startsWith(signatures + QStringLiteral(" (not found) — open Apple Mail")));
    EXPECT_TRUE(finding(label).problem);
    ASSERT_TRUE(QDir().mkpath(signatures));
    EXPECT_EQ(finding(label).value, signatures + QStringLiteral(" (writable)"));
    EXPECT_FALSE(finding(label).problem);
}

TEST_F(DiagnosisTest, TheOutlookModeAndWhetherTheNewOneMatters) {
    const QString label = QStringLiteral("Outlook mode");
    EXPECT_EQ(finding(label).value, QStringLiteral("unknown"));
    environment.script.program = QStringLiteral("/opt/fake-osascript");
    environment.script.environment.insert(QStringLiteral("ORLIN_FAKE_OSASCRIPT_STATE"), QStringLiteral("s"));
    EXPECT_EQ(finding(label).value, QStringLiteral("legacy (simulated by /opt/fake-osascript)"));

    const QString outlookPreferences =
        environment.folders.library +
        QStringLiteral(
            "/Containers/com.microsoft.Outlook/Data/Library/Preferences/com.microsoft.Outlook.plist");
    writeFile(outlookPreferences, plistOf(QStringLiteral("IsRunningNewOutlook"), QStringLiteral("<false/>")));
    EXPECT_EQ(finding(label).value, QStringLiteral("legacy"));
    writeFile(outlookPreferences, plistOf(QStringLiteral("IsRunningNewOutlook"), QStringLiteral("<true/>")));
    const Diagnosis::Finding isNew = finding(label);
    EXPECT_TRUE(isNew.problem);
    EXPECT_TRUE(isNew.value.startsWith(QStringLiteral("new (it cannot receive signatures)")));
    arguments({{QStringLiteral("updateSignaturesForOutlook"), false}});
    EXPECT_EQ(finding(label).value,
              QStringLiteral("new (it cannot receive signatures) (Outlook updates off)"));
    EXPECT_FALSE(finding(label).problem);
}

TEST_F(DiagnosisTest, TheLastCheckAsTheAgentRecordedIt) {
    const QString label = QStringLiteral("Last check");
    EXPECT_EQ(finding(label).value, QStringLiteral("none yet"));
    Diagnosis::recordCheck(defaults(), std::nullopt);
    EXPECT_TRUE(finding(label).value.endsWith(QStringLiteral(", succeeded")));
    EXPECT_FALSE(finding(label).problem);
    Diagnosis::recordCheck(defaults(), Error{ErrorDomains::kOrlin, 1, QStringLiteral("offline")});
    const Diagnosis::Finding failed = finding(label);
    EXPECT_TRUE(failed.problem);
    EXPECT_TRUE(failed.value.contains(QStringLiteral(", failed: offline — check the network connection")));
    Diagnosis::recordCheck(defaults(), QStringLiteral("no access code"));
    EXPECT_TRUE(finding(label).value.endsWith(QStringLiteral("no access code — enter your access code")));
}

TEST_F(DiagnosisTest, TheOnlineCheckIsSkippedWithoutAnAccessCodeOrWhileTheAgentRuns) {
    const QString label = QStringLiteral("Online check");
    EXPECT_TRUE(findings(label).isEmpty()) << "only asked for";
    const Diagnosis::Finding noCode = finding(label, true);
    EXPECT_TRUE(noCode.problem);
    EXPECT_TRUE(noCode.value.startsWith(QStringLiteral("skipped: no access code")));

    ASSERT_TRUE(QDir().mkpath(environment.folders.applicationSupport));
    InstanceLock agent(environment.folders.applicationSupport);
    ASSERT_TRUE(agent.tryLock());
    const Diagnosis::Finding running = finding(label, true);
    EXPECT_FALSE(running.problem);
    EXPECT_TRUE(running.value.startsWith(QStringLiteral("skipped: the agent is running")));
}

}  // namespace
