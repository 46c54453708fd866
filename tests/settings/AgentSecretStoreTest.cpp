// Runs the built agent twice in one home, as a user would: store an access code, then check with it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "AgentProcess.h"
#include "PropertyList.h"

namespace {

const QString kGetStarted = QStringLiteral(
    "popover Your Orlin service is right here. Click and enter your Orlin access code to get started.");
// Nothing listens there: the check fails at once instead of reaching out to the real service.
const QStringList kUnreachableService{QStringLiteral("-authBaseUrl"),  QStringLiteral("http://127.0.0.1:1/"),
                                      QStringLiteral("-euAppBaseUrl"), QStringLiteral("http://127.0.0.1:1/"),
                                      QStringLiteral("-appBaseUrl"),   QStringLiteral("http://127.0.0.1:1/")};

class AgentSecretStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    AgentRun run(const QStringList& arguments) {
        return AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH), arguments,
                                 {{QStringLiteral("HOME"), home.path() + QStringLiteral("/home")},
                                  {QStringLiteral("XDG_CONFIG_DIRS"), home.path() + QStringLiteral("/etc")}});
    }

    QTemporaryDir home;
#ifdef Q_OS_MACOS
    const QString secretsFile =
        home.path() + QStringLiteral(
                          "/home/Library/Application Support/com.halvex.Orlin/Secrets/"
                          "secrets.json");
#else
    const QString secretsFile =
        home.path() + QStringLiteral("/home/.local/share/com.halvex.Orlin/Secrets/secrets.json");
#endif
};

TEST_F(AgentSecretStoreTest, AnEnteredTokenIsWhatTheNextRunChecksWithAndNeverShowsUp) {
    const QString token = QStringLiteral("tok-3f9a1c");
    // The code is checked as it is entered; with the service out of reach it is kept as typed.
    const AgentRun entered = run(QStringList{QStringLiteral("--enter-token"), token,
                                             QStringLiteral("-secretStore"), QStringLiteral("file")} +
                                 kUnreachableService);
    ASSERT_EQ(entered.exitCode, 0) << entered.output.toStdString();
    ASSERT_TRUE(QFile::exists(secretsFile));
    const auto others =
        QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    EXPECT_EQ(QFile::permissions(secretsFile) & others, QFileDevice::Permissions());

    QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--once"),
                          QStringLiteral("-secretStore"), QStringLiteral("file")};
    const AgentRun checked = run(arguments + kUnreachableService);
    EXPECT_FALSE(checked.lines.contains(kGetStarted)) << checked.output.toStdString();
    EXPECT_FALSE(checked.lines.contains(QStringLiteral("menu update disabled")));
    EXPECT_EQ(checked.lines.value(checked.lines.size() - 1),
              QStringLiteral("status-image Orlin_Avatar_20x20 - error"))
        << "the check went on to the service, which is not there";
    EXPECT_FALSE(checked.output.contains(token));
    EXPECT_FALSE(entered.output.contains(token));

    // Without the file store the token is not where the check looks. On a Mac the check would look in the
    // user's own login keychain, which a test must not read.
#ifndef Q_OS_MACOS
    const AgentRun elsewhere =
        run(QStringList{QStringLiteral("--headless"), QStringLiteral("--once")} +
            QStringList{QStringLiteral("-secretStore"), QStringLiteral("none")} + kUnreachableService);
    EXPECT_TRUE(elsewhere.lines.contains(kGetStarted)) << elsewhere.output.toStdString();
#endif
}

TEST_F(AgentSecretStoreTest, AManagedDomainTokenDisablesTokenEntryAndPreferences) {
#ifdef Q_OS_MACOS
    GTEST_SKIP() << "macOS reads the managed layer from /Library/Managed Preferences, not from "
                    "XDG_CONFIG_DIRS, and a test cannot install a profile there";
#endif
    const QString folder = home.path() + QStringLiteral("/etc/com.halvex.Orlin");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(PropertyList::writeDictionary(folder + QStringLiteral("/managed.plist"),
                                              {{QStringLiteral("domainToken"), QStringLiteral("dt")},
                                               {QStringLiteral("userName"), QStringLiteral("ann")}}));
    const AgentRun checked = run(QStringList{QStringLiteral("--headless"), QStringLiteral("--once"),
                                             QStringLiteral("-secretStore"), QStringLiteral("file"),
                                             QStringLiteral("-domainToken"), QStringLiteral("")} +
                                 kUnreachableService);
    EXPECT_TRUE(checked.lines.contains(QStringLiteral("menu enter-token disabled")))
        << checked.output.toStdString();
    EXPECT_TRUE(checked.lines.contains(QStringLiteral("menu preferences disabled")));
    EXPECT_FALSE(checked.lines.contains(kGetStarted))
        << "the managed token outranks the command line's empty one";
}

}  // namespace
