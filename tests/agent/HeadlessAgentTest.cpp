// Runs the built agent as a user or script would, in a home of its own.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/mount.h>
#endif

#include "AgentProcess.h"

namespace {

// Where the agent of `home` keeps its data, and its lock.
QString dataFolderIn(const QString& home) {
#ifdef Q_OS_MACOS
    return home + QStringLiteral("/Library/Application Support/com.halvex.Orlin");
#else
    return home + QStringLiteral("/.local/share/com.halvex.Orlin");
#endif
}

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

TEST(HeadlessAgentTest, AScriptTimeOutOutOfRangeIsSaidOnStandardErrorAndInTheLog) {
    const QTemporaryDir home;
    const AgentRun run = AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH),
                                           {QStringLiteral("--headless"), QStringLiteral("--once"),
                                            QStringLiteral("-scriptTimeoutSeconds"), QStringLiteral("inf")},
                                           {{QStringLiteral("HOME"), home.path()}});
    const QString said = QStringLiteral("scriptTimeoutSeconds “inf” is not from 1 to 3600 seconds");
    EXPECT_TRUE(run.errors.contains(said)) << run.errors.toStdString();
    const QString written = AgentProcess::logOf(home.path(), QStringLiteral(ORLIN_AGENT_PATH));
    EXPECT_EQ(written.count(said), 1) << written.toStdString();
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
    // The desktop's session and one from cron or ssh name different runtime folders, or none.
    const QString desktopRuntime = home.filePath(QStringLiteral("desktop-runtime"));
    const QString sshRuntime = home.filePath(QStringLiteral("ssh-runtime"));
    ASSERT_TRUE(QDir().mkpath(desktopRuntime) && QDir().mkpath(sshRuntime));
    QProcess first;
    AgentProcess::start(
        first, QStringLiteral(ORLIN_AGENT_PATH), {QStringLiteral("--headless")},
        {{QStringLiteral("HOME"), home.path()}, {QStringLiteral("XDG_RUNTIME_DIR"), desktopRuntime}});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first has its lock once it has drawn its status item.
    ASSERT_TRUE(first.waitForReadyRead(30000));

    const AgentRun second = AgentProcess::run(
        QStringLiteral(ORLIN_AGENT_PATH), {QStringLiteral("--headless"), QStringLiteral("--once")},
        {{QStringLiteral("HOME"), home.path()}, {QStringLiteral("XDG_RUNTIME_DIR"), sshRuntime}});
    EXPECT_EQ(second.exitCode, 3);
    EXPECT_TRUE(second.errors.contains(QStringLiteral("already running"))) << second.errors.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);

    // From the desktop, the second launch asks the running agent to show itself before it leaves; the one
    // from ssh above did not, or every scripted run would pop up on the desktop.
    const AgentRun fromDesktop =
        AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH), {},
                          {{QStringLiteral("HOME"), home.path()},
                           {QStringLiteral("XDG_RUNTIME_DIR"), desktopRuntime},
                           {QStringLiteral("DISPLAY"), QStringLiteral(":93")},
                           {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}});
    EXPECT_EQ(fromDesktop.exitCode, 3) << fromDesktop.errors.toStdString();
    QString shown;
    for (int i = 0; i < 50 && !shown.contains(QStringLiteral("already running")); ++i) {
        first.waitForReadyRead(200);
        shown += QString::fromUtf8(first.readAllStandardOutput());
    }
    EXPECT_EQ(shown.count(QStringLiteral("popover Orlin is already running.\n")), 1) << shown.toStdString();

    const AgentRun token = AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH),
                                             {QStringLiteral("--enter-token"), QStringLiteral("-")},
                                             {{QStringLiteral("HOME"), home.path()}}, "\n");
    EXPECT_EQ(token.exitCode, 1) << "entering a code is not a second agent";
    first.kill();
    first.waitForFinished();

    // A lock left by an agent that was killed is taken over, and so is one whose contents a power cut
    // lost or garbled, or that names a process that runs (this test's): only a running agent keeps it.
    const auto startsAgain = [&home] {
        const AgentRun after = AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH),
                                                 {QStringLiteral("--headless"), QStringLiteral("--once")},
                                                 {{QStringLiteral("HOME"), home.path()}});
        EXPECT_EQ(after.exitCode, 1) << after.errors.toStdString();
        EXPECT_FALSE(after.errors.contains(QStringLiteral("already running")));
    };
    startsAgain();
    ASSERT_TRUE(QDir().mkpath(dataFolderIn(home.path())));
    const QString lock = dataFolderIn(home.path()) + QStringLiteral("/agent.lock");
    for (const QByteArray& left :
         {QByteArray(), QByteArray("\0\0\xff garbage", 11), QByteArray::number(qint64(::getpid())) + '\n'}) {
        SCOPED_TRACE(left.toStdString());
        QFile file(lock);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(left), left.size());
        file.close();
        startsAgain();
    }
}

// As a shell's `ulimit -f` leaves it: a small limit on the size of a file, and the signal that a write past
// it raises at its default, which ends the process.
TEST(HeadlessAgentTest, UnderAFileSizeLimitWritesFailAndAreReportedInsteadOfEndingTheAgent) {
    const QTemporaryDir home;
    QProcess agent;
    agent.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    AgentProcess::start(agent, QStringLiteral(ORLIN_AGENT_PATH),
                        {QStringLiteral("--headless"), QStringLiteral("--once")},
                        {{QStringLiteral("HOME"), home.path()}});
    ASSERT_TRUE(agent.waitForStarted(10000));
    agent.closeWriteChannel();
    ASSERT_TRUE(agent.waitForFinished(60000));
    const QString errors = QString::fromUtf8(agent.readAllStandardError());
    ASSERT_EQ(agent.exitStatus(), QProcess::NormalExit) << "killed by signal " << agent.exitCode();
    EXPECT_EQ(agent.exitCode(), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << errors.toStdString();
}

TEST(HeadlessAgentTest, DiagnoseFlagsAFailedLastCheckInLocalTimeWithItsOffsetAndSaysWhatToDo) {
    const QTemporaryDir home;
    const AgentRun run = AgentProcess::run(
        QStringLiteral(ORLIN_AGENT_PATH),
        {QStringLiteral("--diagnose"), QStringLiteral("-lastCheckTime"),
         QStringLiteral("2026-12-01T10:00:00Z"), QStringLiteral("-lastCheckResult"),
         QStringLiteral("failed: The network connection was lost.")},
        {{QStringLiteral("HOME"), home.path()}, {QStringLiteral("TZ"), QStringLiteral("Europe/Copenhagen")}});
    EXPECT_EQ(run.exitCode, 1);
    const QStringList lastCheck = run.lines.filter(QStringLiteral("Last check: "));
    ASSERT_EQ(lastCheck.size(), 1) << run.output.toStdString();
    EXPECT_TRUE(lastCheck.first().startsWith(QStringLiteral(
        "PROBLEM Last check: 2026-12-01T11:00:00+01:00, failed: The network connection was lost.")))
        << lastCheck.first().toStdString();
    // A fresh home has several problems; each names what would mend it after the dash.
    const QStringList problems = run.lines.filter(QRegularExpression(QStringLiteral("^PROBLEM ")));
    EXPECT_GE(problems.size(), 2);
    for (const QString& problem : problems) {
        EXPECT_TRUE(problem.contains(QStringLiteral(" — "))) << problem.toStdString();
    }
}

// Root writes to any folder whatever its mode: only a read-only mount refuses it.
#ifdef __linux__
TEST(HeadlessAgentTest, DiagnoseFlagsACacheFolderItCannotWrite) {
    const QTemporaryDir home;
    const QString cache = dataFolderIn(home.path());
    ASSERT_TRUE(QDir().mkpath(cache));
    if (::geteuid() != 0 ||
        ::mount("tmpfs", QFile::encodeName(cache).constData(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
        GTEST_SKIP() << "mounting a read-only tmpfs needs root";
    }
    const AgentRun run = AgentProcess::run(QStringLiteral(ORLIN_AGENT_PATH), {QStringLiteral("--diagnose")},
                                           {{QStringLiteral("HOME"), home.path()}});
    ::umount(QFile::encodeName(cache).constData());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.lines
                  .filter(QStringLiteral("PROBLEM Cache folder: %1 (not writable: %2) — ")
                              .arg(cache, QString::fromLocal8Bit(std::strerror(EROFS))))
                  .size(),
              1)
        << run.output.toStdString();
}
#endif

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
    EXPECT_TRUE(run.errors.contains(QStringLiteral("Enter the access code from the invitation email")));
}

}  // namespace
