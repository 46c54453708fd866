// The agent as a user runs it, headless, against the mock Orlin service and the Outlook/Mail simulator:
// a token entered, a check that finds new signatures, an update that installs them, and a check that then
// finds nothing.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "AgentProcess.h"
#include "MockOrlinService.h"

namespace {

using Answer = MockOrlinService::Answer;

const QString kNotify = QStringLiteral("status-image Orlin_Avatar_20x20 - notify");
const QString kOk = QStringLiteral("status-image Orlin_Avatar_20x20 - ok");
const QString kError = QStringLiteral("status-image Orlin_Avatar_20x20 - error");
const QString kUpdatesPopover = QStringLiteral("popover Updates are available to your email signatures.");

class SyncEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        answerTokenFlow("refresh-2");
        answerSignatures(R"(<p>Ann Example</p><img src="logo">)");
    }

    void answerTokenFlow(const std::string& renewedToken) {
        const std::string answer = R"({"result": true, "data": {"RefreshToken": ")" + renewedToken +
                                   R"(", "AccessToken": "access-1", "SyncRoot": ")" +
                                   mock.baseUrl().toStdString() + R"(user", "UserName": "ann"}})";
        mock.setAnswer("GET", "/auth/OAuth/AuthorizeEmployee", Answer::json(answer));
    }

    void answerSignatures(const std::string& html) {
        const QJsonObject answer{
            {QStringLiteral("signatures"),
             QJsonArray{QJsonObject{{QStringLiteral("Name"), QStringLiteral("Main")},
                                    {QStringLiteral("HTML"), QString::fromStdString(html)},
                                    {QStringLiteral("Text"), QStringLiteral("Ann Example")}}}},
            {QStringLiteral("images"),
             QJsonArray{QJsonObject{{QStringLiteral("Name"), QStringLiteral("logo")},
                                    {QStringLiteral("Url"), QStringLiteral("/logo.png")}}}}};
        mock.setAnswer("GET", "/user/sync3",
                       Answer::json(QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString()));
    }

    // `authBase` stands in for the mock's sign-in address, to reach a service that is down.
    AgentRun run(QStringList arguments, const QString& authBase = {}) {
        const QString service = mock.baseUrl();
        arguments << QStringLiteral("-secretStore") << QStringLiteral("file")
                  << QStringLiteral("-authBaseUrl")
                  << (authBase.isEmpty() ? service + QStringLiteral("auth/") : authBase)
                  << QStringLiteral("-euAppBaseUrl") << service + QStringLiteral("eu/")
                  << QStringLiteral("-appBaseUrl") << service + QStringLiteral("app/")
                  << QStringLiteral("-imageHostUrl") << QStringLiteral("https://img.example");
        return AgentProcess::run(
            QStringLiteral(ORLIN_AGENT_PATH), arguments,
            {{QStringLiteral("HOME"), home.path()},
             {QStringLiteral("XDG_CONFIG_DIRS"), home.path() + QStringLiteral("/etc")},
             {QStringLiteral("ORLIN_OSASCRIPT"), QStringLiteral(ORLIN_FAKE_OSASCRIPT_DIR "/osascript")},
             {QStringLiteral("ORLIN_FAKE_OSASCRIPT_STATE"), statePath()}});
    }

    QString statePath() const { return home.path() + QStringLiteral("/simulator.json"); }

    // Every script to Outlook fails as it does where Outlook is not installed.
    void refuseOutlook() const {
        QFile state(statePath());
        ASSERT_TRUE(state.open(QIODevice::WriteOnly));
        state.write(R"({"failures": {"Microsoft Outlook": "notInstalled"}})");
    }

    QJsonArray outlookSignatures() const {
        QFile file(statePath());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QJsonDocument::fromJson(file.readAll())
            .object()
            .value(QStringLiteral("outlook"))
            .toObject()
            .value(QStringLiteral("signatures"))
            .toArray();
    }

    std::string lastRefreshTokenSent() const {
        const auto requests = mock.requestsTo("/auth/OAuth/AuthorizeEmployee");
        return requests.empty() ? std::string() : requests.back().parameter("refreshToken").value_or("");
    }

    QTemporaryDir home;
    MockOrlinService mock;
};

TEST_F(SyncEndToEndTest, ACheckFindsNewSignaturesAnUpdateInstallsThemAndTheNextCheckFindsNothing) {
    ASSERT_EQ(run({QStringLiteral("--enter-token"), QStringLiteral("refresh-1")}).exitCode, 0);
    EXPECT_EQ(lastRefreshTokenSent(), "refresh-1") << "the code is spent as it is entered";
    answerTokenFlow("refresh-3");

    const AgentRun first = run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(first.exitCode, 0) << first.output.toStdString();
    EXPECT_EQ(lastRefreshTokenSent(), "refresh-2");
    EXPECT_TRUE(first.lines.contains(kNotify)) << first.output.toStdString();
    EXPECT_TRUE(first.lines.contains(kUpdatesPopover));
    EXPECT_TRUE(outlookSignatures().isEmpty()) << "a check installs nothing";

    const AgentRun update =
        run({QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("--update")});
    EXPECT_EQ(update.exitCode, 0) << update.output.toStdString();
    EXPECT_EQ(lastRefreshTokenSent(), "refresh-3") << "the renewed token was stored and is used";
    EXPECT_TRUE(update.lines.contains(QStringLiteral("status-image Orlin_Avatar_20x20 - updating")));
    EXPECT_TRUE(
        update.lines.contains(QStringLiteral("alert Your signatures have been updated successfully. | ")))
        << update.output.toStdString();
    const QJsonArray installed = outlookSignatures();
    ASSERT_EQ(installed.size(), 1) << update.output.toStdString();
    EXPECT_EQ(installed.at(0).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Main"));
    EXPECT_EQ(installed.at(0).toObject().value(QStringLiteral("content")).toString(),
              QStringLiteral("<p>Ann Example</p><img src=\"https://img.example/logo.png\">"));

    const AgentRun second = run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.lines.last(), kOk) << second.output.toStdString();
    EXPECT_FALSE(second.lines.contains(kUpdatesPopover));

    answerSignatures(R"(<p>Ann Example, CEO</p><img src="logo">)");
    const AgentRun changed = run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_TRUE(changed.lines.contains(kNotify)) << "one changed body is reported";
}

TEST_F(SyncEndToEndTest, AnUpdateQuitsARunningMailWithConsentInstallsIntoBothClientsAndRestartsIt) {
    ASSERT_EQ(run({QStringLiteral("--enter-token"), QStringLiteral("refresh-1")}).exitCode, 0);
    const QString folder = home.path() + QStringLiteral("/Library/Mail/V7/MailData/Signatures");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile list(folder + QStringLiteral("/AllSignatures.plist"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array/></plist>
)");
    list.close();
    QFile state(statePath());
    ASSERT_TRUE(state.open(QIODevice::WriteOnly));
    state.write(R"({"mail": {"running": true}})");
    state.close();

    const AgentRun update = run(
        {QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("--update"),
         QStringLiteral("--answer"), QStringLiteral("continue"), QStringLiteral("-updateSignaturesForMail"),
         QStringLiteral("YES"), QStringLiteral("-simulatedSystemVersion"), QStringLiteral("10.15"),
         QStringLiteral("-isUsingICloudDrive"), QStringLiteral("NO")});
    EXPECT_EQ(update.exitCode, 0) << update.output.toStdString();
    EXPECT_TRUE(
        update.lines.contains(QStringLiteral("alert We need to quit Apple Mail. | We need to quit Apple Mail "
                                             "to update your signatures. Please save any "
                                             "unsaved work in Mail before continuing.")))
        << update.output.toStdString();
    EXPECT_EQ(update.lines.count(QStringLiteral(
                  "alert Your signatures have been updated successfully. | Apple Mail has been "
                  "restarted.\\r\\r")),
              1)
        << update.output.toStdString();
    EXPECT_EQ(outlookSignatures().size(), 1);

    QFile simulator(statePath());
    ASSERT_TRUE(simulator.open(QIODevice::ReadOnly));
    const QJsonObject after = QJsonDocument::fromJson(simulator.readAll()).object();
    EXPECT_TRUE(after.value(QStringLiteral("mail")).toObject().value(QStringLiteral("running")).toBool())
        << "Mail was quit for the write and started again";
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.mailsignature")}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile signature(folder + QLatin1Char('/') + files.front());
    ASSERT_TRUE(signature.open(QIODevice::ReadOnly));
    EXPECT_TRUE(signature.readAll().endsWith("<img src=\"https://img.example/logo.png\">\n"));
}

TEST_F(SyncEndToEndTest, AMailSignatureRewrittenByHandIsReportedAndRestoredUnlessRepairIsOff) {
    ASSERT_EQ(run({QStringLiteral("--enter-token"), QStringLiteral("refresh-1")}).exitCode, 0);
    const QJsonObject answer{
        {QStringLiteral("signatures"),
         QJsonArray{QJsonObject{{QStringLiteral("Name"), QStringLiteral("Main")},
                                {QStringLiteral("HTML"), QStringLiteral("<p>Ann Example</p>")}},
                    QJsonObject{{QStringLiteral("Name"), QStringLiteral("Short")},
                                {QStringLiteral("HTML"), QStringLiteral("<p>Ann</p>")}}}}};
    mock.setAnswer("GET", "/user/sync3",
                   Answer::json(QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString()));
    const QString folder = home.path() + QStringLiteral("/Library/Mail/V7/MailData/Signatures");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile list(folder + QStringLiteral("/AllSignatures.plist"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array/></plist>
)");
    list.close();
    const auto runWithMail = [this](QStringList arguments) {
        return run(arguments << QStringLiteral("--headless") << QStringLiteral("--once")
                             << QStringLiteral("-updateSignaturesForMail") << QStringLiteral("YES")
                             << QStringLiteral("-updateSignaturesForOutlook") << QStringLiteral("NO")
                             << QStringLiteral("-simulatedSystemVersion") << QStringLiteral("10.15")
                             << QStringLiteral("-isUsingICloudDrive") << QStringLiteral("NO"));
    };
    const AgentRun installed = runWithMail({QStringLiteral("--update")});
    ASSERT_EQ(installed.exitCode, 0) << installed.output.toStdString();
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.mailsignature")}, QDir::Files);
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(runWithMail({}).lines.last(), kOk);

    QFile edited(folder + QLatin1Char('/') + files.front());
    ASSERT_TRUE(edited.open(QIODevice::ReadOnly));
    const QByteArray written = edited.readAll();
    edited.close();
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
    edited.write("Content-Type: text/html;\n\n<p>Edited in Mail</p>\n");
    edited.close();

    const AgentRun quiet = runWithMail({QStringLiteral("-repairInstalledSignatures"), QStringLiteral("NO")});
    EXPECT_EQ(quiet.lines.last(), kOk) << quiet.output.toStdString();
    const AgentRun check = runWithMail({});
    EXPECT_TRUE(check.lines.contains(kNotify)) << check.output.toStdString();
    EXPECT_TRUE(check.lines.contains(kUpdatesPopover));

    const AgentRun repaired = runWithMail({QStringLiteral("--update")});
    EXPECT_EQ(repaired.exitCode, 0) << repaired.output.toStdString();
    ASSERT_TRUE(edited.open(QIODevice::ReadOnly));
    const QByteArray restored = edited.readAll();
    EXPECT_EQ(restored.mid(restored.indexOf("\n\n")), written.mid(written.indexOf("\n\n")));
    EXPECT_EQ(runWithMail({}).lines.last(), kOk) << "the restored file is what Orlin wrote";
}

TEST_F(SyncEndToEndTest, AnEnteredAccessCodeIsCheckedAtOnce) {
    mock.setAnswer("GET", "/auth/OAuth/AuthorizeEmployee",
                   Answer::json(R"({"result": false, "error": "This access code is not valid."})", 401));
    const AgentRun wrong = run({QStringLiteral("--enter-token"), QStringLiteral("WRONG")});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.errors.contains(
        QStringLiteral("The Orlin service did not accept this access code: This access code is not valid.")))
        << wrong.errors.toStdString();
    const AgentRun next = run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_TRUE(next.lines.contains(QStringLiteral(
        "popover Your Orlin service is right here. Click and enter your Orlin access code to get started.")))
        << "nothing was stored, so the agent still asks for a code: " << next.output.toStdString();

    // Down, the code is kept as typed for the agent to try later.
    const AgentRun down = run({QStringLiteral("--enter-token"), QStringLiteral("code-1")},
                              QStringLiteral("http://127.0.0.1:1/auth/"));
    EXPECT_EQ(down.exitCode, 0) << down.errors.toStdString();
    EXPECT_TRUE(down.errors.contains(QStringLiteral(
        "Orlin could not reach the Orlin service. It will check your access code as soon as it can.")));
    mock.clearRequests();
    answerTokenFlow("refresh-2");
    run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(lastRefreshTokenSent(), "code-1");

    // Accepted, what is stored is the token the service handed back: the code may be good only once.
    ASSERT_EQ(run({QStringLiteral("--enter-token"), QStringLiteral("code-2")}).exitCode, 0);
    EXPECT_EQ(lastRefreshTokenSent(), "code-2");
    answerTokenFlow("refresh-3");
    run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(lastRefreshTokenSent(), "refresh-2");
}

TEST_F(SyncEndToEndTest, AFailingServiceShowsTheErrorStatusAndKeepsTheToken) {
    ASSERT_EQ(run({QStringLiteral("--enter-token"), QStringLiteral("refresh-1")}).exitCode, 0);
    mock.setAnswer("GET", "/user/sync3", Answer::json("<html>down for maintenance</html>", 503));

    const AgentRun failed = run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.lines.last(), kError) << failed.output.toStdString();
    EXPECT_TRUE(failed.lines.contains(
        QStringLiteral("status-tooltip There was a problem connecting to Orlin.  Please check your network "
                       "connection and your login credentials.")));

    // --diagnose --online signs in the same way, and must keep what it was given too.
    answerTokenFlow("refresh-3");
    const AgentRun diagnosed = run({QStringLiteral("--diagnose"), QStringLiteral("--online")});
    EXPECT_EQ(lastRefreshTokenSent(), "refresh-2") << "the token rotated before the failure was kept";
    EXPECT_EQ(diagnosed.exitCode, 1) << diagnosed.output.toStdString();

    answerSignatures("<p>back</p>");
    const AgentRun again = run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(lastRefreshTokenSent(), "refresh-3") << "and so was the one the diagnosis was given";
    EXPECT_EQ(again.exitCode, 0) << again.output.toStdString();
}

TEST_F(SyncEndToEndTest, ARefusalWithABodyIsTheServicesAnswer) {
    ASSERT_EQ(run({QStringLiteral("--enter-token"), QStringLiteral("refresh-1")}).exitCode, 0);
    mock.setAnswer("GET", "/user/sync3", Answer::json(R"({"error": "Unauthorized"})", 401));
    const AgentRun check = run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(check.lines.last(), kOk) << check.output.toStdString();

    mock.setAnswer("GET", "/auth/OAuth/AuthorizeEmployee",
                   Answer::json(R"({"result":false,"error":"The refresh token was revoked."})", 401));
    const AgentRun update =
        run({QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("--update")});
    EXPECT_EQ(lastRefreshTokenSent(), "refresh-2") << "the token rotated by the refused check was kept";
    const QStringList alerts = update.lines.filter(QStringLiteral("alert "));
    ASSERT_EQ(alerts.size(), 1) << update.output.toStdString();
    EXPECT_TRUE(alerts.front().startsWith(QStringLiteral("alert The refresh token was revoked. | ")))
        << alerts.front().toStdString();
}

TEST_F(SyncEndToEndTest, AFailedOutlookScriptLeavesTheSignatureAndTheScriptsErrorInTheLogFile) {
    ASSERT_EQ(run({QStringLiteral("--enter-token"), QStringLiteral("refresh-1")}).exitCode, 0);
    ASSERT_NO_FATAL_FAILURE(refuseOutlook());

    const AgentRun update =
        run({QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("--update")});
    ASSERT_EQ(update.lines.filter(QStringLiteral("alert ")).size(), 1) << update.output.toStdString();

    const QString written = AgentProcess::logOf(home.path(), QStringLiteral(ORLIN_AGENT_PATH));
    const QStringList failures = written.split(QLatin1Char('\n'))
                                     .filter(QStringLiteral("Can’t get application \"Microsoft Outlook\"."));
    ASSERT_EQ(failures.size(), 1) << written.toStdString();
    EXPECT_TRUE(failures.front().contains(QStringLiteral("'Main'"))) << failures.front().toStdString();
}

TEST_F(SyncEndToEndTest, ARefusedOutlookInstallIsReportedAgainByTheNextCheck) {
    ASSERT_EQ(run({QStringLiteral("--enter-token"), QStringLiteral("refresh-1")}).exitCode, 0);
    ASSERT_NO_FATAL_FAILURE(refuseOutlook());

    const AgentRun update =
        run({QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("--update")});
    EXPECT_NE(update.exitCode, 0) << update.output.toStdString();
    EXPECT_TRUE(outlookSignatures().isEmpty());

    const AgentRun check = run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_TRUE(check.lines.contains(kUpdatesPopover)) << check.output.toStdString();
    EXPECT_TRUE(check.lines.contains(kNotify));
}

TEST_F(SyncEndToEndTest, TheNewOutlookGetsOneAlertAndNoScript) {
    ASSERT_EQ(run({QStringLiteral("--enter-token"), QStringLiteral("refresh-1")}).exitCode, 0);
    // Where the sandboxed Outlook keeps its preferences, below the test's own home on every platform.
    const QString preferences =
        home.path() + QStringLiteral("/Library/Containers/com.microsoft.Outlook/Data/Library/Preferences");
    ASSERT_TRUE(QDir().mkpath(preferences));
    QFile outlook(preferences + QStringLiteral("/com.microsoft.Outlook.plist"));
    ASSERT_TRUE(outlook.open(QIODevice::WriteOnly));
    outlook.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>IsRunningNewOutlook</key><true/></dict></plist>
)");
    outlook.close();

    const AgentRun update =
        run({QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("--update")});
    EXPECT_EQ(
        update.lines.filter(QStringLiteral("alert ")),
        QStringList{QStringLiteral(
            "alert The new Outlook cannot receive signatures from Orlin. | Switch Outlook to Legacy "
            "Outlook to install your Orlin signatures, or ask your Orlin administrator about signatures "
            "for the new Outlook.")})
        << update.output.toStdString();
    QFile simulator(statePath());
    const QJsonObject state = simulator.open(QIODevice::ReadOnly)
                                  ? QJsonDocument::fromJson(simulator.readAll()).object()
                                  : QJsonObject();
    EXPECT_EQ(state.value(QStringLiteral("scriptsRun")).toInteger(), 0) << "no script reached Outlook";
}

}  // namespace
