// Runs the built agent as a user or script would, in a home of its own.

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "AgentProcess.h"

namespace {

AgentRun runAgent(const QStringList& arguments, const QByteArray& input = {}) {
    const QTemporaryDir home;
    return AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH), arguments,
                             {{QStringLiteral("HOME"), home.path()}}, input);
}

const QString kGetStarted = QStringLiteral(
    "popover Your Orlin service is right here. Click and enter your Orlin access code to get started.");

TEST(HeadlessAgentTest, OnceWithNothingConfiguredShowsTheStartIconAndTheGetStartedPopoverAndFails) {
    const AgentRun run = runAgent({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(run.exitCode, 1) << run.errors.toStdString();
    EXPECT_TRUE(run.lines.contains(QStringLiteral("status-image Orlin_Avatar_20x20")));
    EXPECT_EQ(run.lines.count(kGetStarted), 1);
    EXPECT_EQ(run.lines.last(), kGetStarted);
    EXPECT_TRUE(run.lines.contains(QStringLiteral("menu update disabled")));
}

TEST(HeadlessAgentTest, WithoutADisplayTheAgentFallsBackToTheHeadlessFrontEnd) {
#ifdef Q_OS_MACOS
    // A Mac always has its window server, so leaving out the display variables proves nothing there and
    // would put a real status item in the menu bar: the option is what keeps the agent headless.
    const AgentRun run = runAgent({QStringLiteral("--headless"), QStringLiteral("--once")});
#else
    const AgentRun run = runAgent({QStringLiteral("--once")});
#endif
    EXPECT_EQ(run.exitCode, 1) << run.errors.toStdString();
    EXPECT_TRUE(run.lines.contains(kGetStarted));
}

TEST(HeadlessAgentTest, ADeployedDomainTokenIsUsedAndAFailedCheckShowsTheErrorStatus) {
    // A closed port on this machine: the check fails at once, and nothing leaves the machine.
    const QString closed = QStringLiteral("http://127.0.0.1:9/");
    const AgentRun run =
        runAgent({QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("-domainToken"),
                  QStringLiteral("dt"), QStringLiteral("-userName"), QStringLiteral("ann"),
                  QStringLiteral("-authBaseUrl"), closed, QStringLiteral("-euAppBaseUrl"), closed,
                  QStringLiteral("-appBaseUrl"), closed});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.lines.contains(QStringLiteral("menu enter-token disabled")));
    EXPECT_FALSE(run.lines.contains(kGetStarted));
    EXPECT_EQ(run.lines.last(), QStringLiteral("status-image Orlin_Avatar_20x20 - error"));
    EXPECT_TRUE(run.lines.contains(
        QStringLiteral("status-tooltip There was a problem connecting to Orlin.  Please check your network "
                       "connection and your login credentials.")));
}

TEST(HeadlessAgentTest, ASecondAgentOnTheSameDataExitsWithStatusThreeAndLeavesTheFirstRunning) {
    const QTemporaryDir home;
    QProcess first;
    AgentProcess::start(first, QStringLiteral(ORLIN_AGENT_PATH), {QStringLiteral("--headless")},
                        {{QStringLiteral("HOME"), home.path()}});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first has its lock once it has drawn its status item.
    ASSERT_TRUE(first.waitForReadyRead(30000));

    const AgentRun second = AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH),
                                              {QStringLiteral("--headless"), QStringLiteral("--once")},
                                              {{QStringLiteral("HOME"), home.path()}});
    EXPECT_EQ(second.exitCode, 3);
    EXPECT_TRUE(second.errors.contains(QStringLiteral("already running"))) << second.errors.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);
    const AgentRun token = AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH),
                                             {QStringLiteral("--enter-token"), QStringLiteral("-")},
                                             {{QStringLiteral("HOME"), home.path()}}, "\n");
    EXPECT_EQ(token.exitCode, 1) << "entering a code is not a second agent";
    first.kill();
    first.waitForFinished();

    // A lock left by an agent that was killed is taken over.
    const AgentRun after = AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH),
                                             {QStringLiteral("--headless"), QStringLiteral("--once")},
                                             {{QStringLiteral("HOME"), home.path()}});
    EXPECT_EQ(after.exitCode, 1) << after.errors.toStdString();
    EXPECT_FALSE(after.errors.contains(QStringLiteral("already running")));
}

TEST(HeadlessAgentTest, HelpAndBadOptions) {
    const AgentRun help = runAgent({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.lines.value(0).startsWith(QStringLiteral("Usage: orlin-agent")));

    const AgentRun bad = runAgent({QStringLiteral("--frobnicate")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.errors.contains(QStringLiteral("unknown option \"--frobnicate\"")));
    EXPECT_TRUE(bad.errors.contains(QStringLiteral("Usage: orlin-agent")));
}

TEST(HeadlessAgentTest, EnterTokenRefusesAnEmptyTokenWithTheTokenWindowsMessage) {
    const AgentRun run = runAgent({QStringLiteral("--enter-token"), QStringLiteral("-")}, "\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("Enter the token from the invitation email")));
}

}  // namespace
