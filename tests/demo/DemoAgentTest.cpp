// `orlin-agent --demo` as a new user runs it: the first run installs the demo's signatures into the
// simulated Outlook and the sandbox's Mail folder, the next finds nothing changed, and a profile saved in
// between is what the run after it installs.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <set>

#include "AgentProcess.h"
#include "BRSLoginCredentials.h"
#include "DemoProfile.h"
#include "DemoSandbox.h"
#include "DemoService.h"
#include "Environment.h"
#include "OrlinSyncService.h"
#include "ServiceConfiguration.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

namespace {

// Outlook, and the Mail folder the installer looks for on the running system.
QStringList clients() {
    return {QStringLiteral("Outlook (simulated)"),
            QLatin1Char('/') + DemoSandbox::kMailSignaturesFolder.section(QLatin1Char('/'), 0, 2) +
                QLatin1Char('/')};
}

class DemoAgentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(realHome.isValid());
        ASSERT_TRUE(dataHome.isValid());
    }

    AgentRun run(const QStringList& arguments = {QStringLiteral("--demo"), QStringLiteral("--headless"),
                                                 QStringLiteral("--once")}) {
        return AgentProcess::run(
            QStringLiteral(ORLIN_AGENT_PATH), arguments,
            {{QStringLiteral("HOME"), realHome.path()}, {QStringLiteral("XDG_DATA_HOME"), dataHome.path()}});
    }

    // Where the agent keeps its data: XDG_DATA_HOME, which macOS has no use for, or the Mac's Application
    // Support below the home.
    QString dataRoot() const {
#ifdef Q_OS_MACOS
        return realHome.path() + QStringLiteral("/Library/Application Support");
#else
        return dataHome.path();
#endif
    }

    DemoSandbox sandbox() const {
        return DemoSandbox(dataRoot() + QStringLiteral("/com.halvex.Orlin/demo"));
    }

    QString outlookContent(const QString& name) const {
        QFile file(sandbox().simulatorStatePath());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        const QJsonArray signatures = QJsonDocument::fromJson(file.readAll())
                                          .object()
                                          .value(QStringLiteral("outlook"))
                                          .toObject()
                                          .value(QStringLiteral("signatures"))
                                          .toArray();
        for (const QJsonValue& signature : signatures) {
            if (signature[QStringLiteral("name")].toString() == name) {
                return signature[QStringLiteral("content")].toString();
            }
        }
        return {};
    }

    // The Mail file the report names for that signature.
    QString mailContent(const AgentRun& run, const QString& name) const {
        const QString prefix = QStringLiteral(" %1 -> ").arg(name);
        for (const QString& line : run.lines) {
            const qsizetype at = line.indexOf(prefix);
            if (at > 0 && line.endsWith(QLatin1String(".mailsignature"))) {
                QFile file(line.mid(at + prefix.size()));
                return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
            }
        }
        return {};
    }

    static QStringList linesStartingWith(const AgentRun& run, const QString& word) {
        return run.lines.filter(QRegularExpression(QLatin1Char('^') + word + QLatin1Char(' ')));
    }

    QTemporaryDir realHome;
    QTemporaryDir dataHome;
};

TEST_F(DemoAgentTest, TheFirstRunInstallsIntoBothClientsAndTheSecondFindsNothingChanged) {
    const AgentRun first = run();
    ASSERT_EQ(first.exitCode, 0) << first.output.toStdString();
    EXPECT_TRUE(first.lines.contains(QStringLiteral("check: updates are available")));
    const QStringList installed = linesStartingWith(first, QStringLiteral("installed"));
    EXPECT_GE(installed.size(), 6) << "three signatures or more, each into two clients";
    for (const QString& name :
         {QStringLiteral("Demo Full"), QStringLiteral("Demo Reply"), QStringLiteral("Demo Short")}) {
        for (const QString& client : clients()) {
            EXPECT_EQ(installed.filter(QStringLiteral("installed %1 -> ").arg(name)).filter(client).size(), 1)
                << name.toStdString() << " in " << client.toStdString() << "\n"
                << first.output.toStdString();
        }
    }
    EXPECT_TRUE(linesStartingWith(first, QStringLiteral("not installed")).isEmpty());

    const QString full = outlookContent(QStringLiteral("Demo Full"));
    EXPECT_TRUE(full.contains(QLatin1String("Ann Example")));
    EXPECT_TRUE(full.contains(QRegularExpression(
        QStringLiteral("src=\"http://127\\.0\\.0\\.1:\\d+/images/logo-[0-9a-f]+\\.png\""))))
        << "the logo is served by the demo service itself: " << full.toStdString();
    EXPECT_TRUE(mailContent(first, QStringLiteral("Demo Full")).contains(QLatin1String("Ann Example")));

    const AgentRun second = run();
    ASSERT_EQ(second.exitCode, 0) << second.output.toStdString();
    EXPECT_TRUE(second.lines.contains(QStringLiteral("check: nothing changed")))
        << second.output.toStdString();
    EXPECT_TRUE(linesStartingWith(second, QStringLiteral("installed")).isEmpty())
        << second.output.toStdString();
    EXPECT_EQ(linesStartingWith(second, QStringLiteral("unchanged")).size(), installed.size());
    EXPECT_EQ(second.lines.last(), QStringLiteral("nothing changed: every signature was already installed"));
}

TEST_F(DemoAgentTest, EverythingStaysInTheSandboxAndMailsOwnSignatureSurvives) {
    ASSERT_EQ(run().exitCode, 0);

#ifdef Q_OS_MACOS
    // The sandbox itself is below the home here, and so is the demo's preferences suite, which the system
    // keeps in its own folder: nothing else may be, no defaults of the agent's own, no logs, no secrets.
    QStringList outside;
    for (QDirIterator it(realHome.path(), QDir::Files | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        const QString name = QFileInfo(path).fileName();
        const bool demoSuite =
            QFileInfo(path).absolutePath() == realHome.path() + QStringLiteral("/Library/Preferences") &&
            name.startsWith(QLatin1String("com.halvex.Orlin.demo.plist"));
        if (!path.startsWith(sandbox().root() + QLatin1Char('/')) && !demoSuite) {
            outside.append(path);
        }
    }
    EXPECT_TRUE(outside.isEmpty()) << outside.join(u' ').toStdString();
    EXPECT_TRUE(QDir(dataHome.path()).isEmpty()) << "macOS has no XDG data folder";
#else
    // The user's real home gets nothing: no defaults, no Library folder, no logs, no secrets.
    EXPECT_TRUE(
        QDir(realHome.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        << QDir(realHome.path())
               .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
               .join(u' ')
               .toStdString();
    EXPECT_EQ(QDir(dataHome.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("com.halvex.Orlin")});
#endif

    QFile list(sandbox().mailSignaturesDirectory() + QStringLiteral("/AllSignatures.plist"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_TRUE(list.readAll().contains("<string>Personal</string>"))
        << "a signature the user made in Mail stays";

    const QString secrets = sandbox().root() + QStringLiteral("/data/com.halvex.Orlin/Secrets/secrets.json");
    ASSERT_TRUE(QFile::exists(secrets));
    EXPECT_EQ(QFile::permissions(secrets) &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
}

// Everything the agent finds through its environment is in the sandbox; the process's own environment, which
// the windows, the keychain and any other program it starts rely on, stays as it was.
TEST_F(DemoAgentTest, TheSandboxsEnvironmentNamesOnlyTheSandboxAndLeavesTheProcessAlone) {
    const QProcessEnvironment before = QProcessEnvironment::systemEnvironment();
    const DemoSandbox box = sandbox();
    QString error;
    ASSERT_TRUE(box.enter(&error)) << error.toStdString();
    const QString simulator = QStringLiteral("/nowhere/osascript");
    const Environment environment = box.environment(simulator, {{QStringLiteral("scriptTimeoutSeconds"), 7}});

    const Environment::Folders& folders = environment.folders;
    for (const QString& folder :
         {folders.home, folders.applicationSupport, folders.library, folders.logs, folders.config}) {
        EXPECT_TRUE(folder.startsWith(box.root() + QLatin1Char('/'))) << folder.toStdString();
    }
    EXPECT_TRUE(box.mailSignaturesDirectory().startsWith(folders.library + QLatin1Char('/')));
#ifndef Q_OS_MACOS
    EXPECT_TRUE(environment.defaults().userDomainPath().startsWith(folders.config + QLatin1Char('/')));
#endif
    EXPECT_TRUE(environment.defaults().managedDomainPaths().isEmpty());
    EXPECT_EQ(environment.script.program, simulator);
    EXPECT_EQ(environment.script.timeout, std::chrono::seconds(7)) << "the argument domain is read";
    EXPECT_EQ(environment.script.environment.value(QStringLiteral("HOME")), box.homeDirectory());
    EXPECT_EQ(environment.script.environment.value(QStringLiteral("ORLIN_FAKE_OSASCRIPT_STATE")),
              box.simulatorStatePath());
    EXPECT_EQ(QProcessEnvironment::systemEnvironment(), before);
}

// The loop a user goes through in the profile editor, with the service's profile kept in the sandbox
// between two runs of the agent.
TEST_F(DemoAgentTest, AChangedTextFieldIsReportedByTheNextCheckAndInstalledIntoBothClients) {
    ASSERT_EQ(run().exitCode, 0);

    {
        DemoService service(sandbox().profilePath());
        ASSERT_TRUE(service.isRunning());
        testDefaults().setArgumentDomain(DemoSandbox::argumentDomain(
            service.authBaseUrl(), service.euAppBaseUrl(), service.appBaseUrl(), service.imageHostUrl()));
        const BRSLoginCredentials credentials =
            BRSLoginCredentials::initWithToken(DemoService::kInitialToken);

        std::optional<ProfileGetModel> profile;
        std::optional<Error> readError;
        QEventLoop reading;
        const OrlinSyncService client(ServiceConfiguration::fromDefaults(testDefaults()));
        client.getProfile(credentials, [&](OrlinSyncService::ProfileReply reply) {
            if (reply.result.ok()) {
                profile = std::move(reply.result).value();
            } else {
                readError = reply.result.error();
            }
            reading.quit();
        });
        reading.exec();
        ASSERT_TRUE(profile.has_value()) << (readError ? readError->localizedDescription.toStdString() : "");
        std::set<std::optional<ProfileFieldType>> types;
        QList<QUuid> selected;
        for (const FieldGetModel& field : profile->fields) {
            types.insert(field.fieldType);
        }
        for (const SharedEmployeeGetModel& colleague : profile->sharedEmployees) {
            if (colleague.selected) {
                selected.append(colleague.id);
            }
        }
        EXPECT_EQ(types, (std::set<std::optional<ProfileFieldType>>{
                             ProfileFieldType::Text, ProfileFieldType::Image, ProfileFieldType::List,
                             ProfileFieldType::Boolean}));
        EXPECT_GE(profile->sharedEmployees.size(), 2);

        std::optional<Error> saveError = Error{};
        QEventLoop saving;
        client.saveProfile(
            credentials,
            ProfileUpdateModel(
                {FieldUpdateModel(QStringLiteral("fullName"), QStringLiteral("Ann <Changed> & Co"))},
                selected),
            [&](OrlinSyncService::SaveReply reply) {
                saveError = reply.result.ok() ? std::nullopt : std::optional<Error>(reply.result.error());
                saving.quit();
            });
        saving.exec();
        EXPECT_FALSE(saveError.has_value()) << saveError->localizedDescription.toStdString();
        testDefaults().setArgumentDomain({});
    }

    const AgentRun next = run();
    ASSERT_EQ(next.exitCode, 0) << next.output.toStdString();
    EXPECT_TRUE(next.lines.contains(QStringLiteral("check: updates are available")))
        << next.output.toStdString();
    EXPECT_TRUE(next.lines.contains(QStringLiteral("installed Demo Full -> Outlook (simulated)")));
    const QString escaped = QStringLiteral("Ann &lt;Changed&gt; &amp; Co");
    EXPECT_TRUE(outlookContent(QStringLiteral("Demo Full")).contains(escaped))
        << outlookContent(QStringLiteral("Demo Full")).toStdString();
    EXPECT_TRUE(mailContent(next, QStringLiteral("Demo Full")).contains(escaped));
    EXPECT_FALSE(outlookContent(QStringLiteral("Demo Short")).contains(QLatin1String("Ann Example")));
}

TEST_F(DemoAgentTest, DiagnoseFailsOnAFreshHomeAndPassesOnTheDemoOnceItHasRun) {
    const AgentRun fresh = run({QStringLiteral("--diagnose")});
    EXPECT_EQ(fresh.exitCode, 1) << fresh.output.toStdString();
    EXPECT_GE(fresh.lines.size(), 10);
    EXPECT_TRUE(fresh.output.contains(QLatin1String("no access code"))) << fresh.output.toStdString();

    ASSERT_EQ(run().exitCode, 0);
    const AgentRun demo = run({QStringLiteral("--demo"), QStringLiteral("--diagnose")});
    EXPECT_EQ(demo.exitCode, 0) << demo.output.toStdString();
    // The report describes the sandbox, not the user's own folders, and never shows the access code.
    EXPECT_TRUE(demo.output.contains(sandbox().root() + QStringLiteral("/"))) << demo.output.toStdString();
    EXPECT_TRUE(demo.output.contains(QLatin1String("Last check:")));
    EXPECT_TRUE(demo.output.contains(QLatin1String("Outlook mode: legacy (simulated")))
        << demo.output.toStdString();
    EXPECT_FALSE(demo.output.contains(QLatin1String("demo-refresh"))) << demo.output.toStdString();
}

TEST_F(DemoAgentTest, TheDemoRefusesToTakeAToken) {
    const AgentRun refused =
        run({QStringLiteral("--demo"), QStringLiteral("--enter-token"), QStringLiteral("x")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_FALSE(QDir(dataRoot() + QStringLiteral("/com.halvex.Orlin")).exists());
}

}  // namespace
