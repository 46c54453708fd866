#include "BRSAppleScript.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "FakeOsascript.h"
#include "ScriptProcess.h"

namespace {

TEST(BRSAppleScriptEscapeTest, PutsABackslashBeforeEveryQuoteAndBackslashAndNothingElse) {
    EXPECT_EQ(BRSAppleScript::escapeString(QString()), QString());
    const QString escaped = BRSAppleScript::escapeString(QStringLiteral("a\"b\\c"));
    EXPECT_EQ(escaped, QStringLiteral("a\\\"b\\\\c"));
    EXPECT_EQ(escaped.size(), 7);
    const QString untouched = QStringLiteral("line\nreturn\rtab\tæøå 👩‍💻 é");
    EXPECT_EQ(BRSAppleScript::escapeString(untouched), untouched);
}

TEST(BRSAppleScriptEscapeTest, EscapesAQuoteThatAMarkJoinsIntoOneCharacter) {
    // A combining mark after the quote, and a prefix character before it, each make one user-perceived
    // character with it; the quote would still end the literal for the compiler.
    EXPECT_EQ(BRSAppleScript::escapeString(QStringLiteral("x\"\u0301y")), QStringLiteral("x\\\"\u0301y"));
    EXPECT_EQ(BRSAppleScript::escapeString(QStringLiteral("\u0600\"")), QStringLiteral("\u0600\\\""));
    EXPECT_EQ(BRSAppleScript::escapeString(QStringLiteral("\\\u0301")), QStringLiteral("\\\\\u0301"));
}

TEST(BRSAppleScriptErrorMessageTest, TakesTheMessageBetweenTheKindAndTheErrorNumber) {
    EXPECT_EQ(BRSAppleScript::scriptErrorMessage(
                  QStringLiteral("12:40: execution error: Can’t get application \"X\". (-1728)\n")),
              QStringLiteral("Can’t get application \"X\"."));
    EXPECT_EQ(BRSAppleScript::scriptErrorMessage(
                  QStringLiteral("/tmp/a.scpt:0:7: syntax error: A unknown token can’t go here. (-2740)")),
              QStringLiteral("A unknown token can’t go here."));
    EXPECT_EQ(BRSAppleScript::scriptErrorMessage(QStringLiteral("script error: No result (as such) here\n")),
              QStringLiteral("No result (as such) here"));
    EXPECT_EQ(
        BRSAppleScript::scriptErrorMessage(QStringLiteral("0:5: execution error: Line one\nline two. (1)\n")),
        QStringLiteral("Line one\nline two."));
    EXPECT_EQ(BRSAppleScript::scriptErrorMessage(QStringLiteral("osascript: no such file\n")), std::nullopt);
    EXPECT_EQ(BRSAppleScript::scriptErrorMessage(QStringLiteral("0:1: execution error:  (-1)")),
              std::nullopt);
    EXPECT_EQ(BRSAppleScript::scriptErrorMessage(QString()), std::nullopt);
}

class BRSAppleScriptRunTest : public ::testing::Test {
protected:
    FakeOsascript fake;
};

TEST_F(BRSAppleScriptRunTest, ReturnsTheResultAsTextAndEmptyTextForNoResult) {
    Error error{QStringLiteral("untouched"), 7, QString()};
    EXPECT_EQ(FakeOsascript::script().runAppleScriptForSource(
                  QStringLiteral("application \"Mail\" is running"), &error),
              QStringLiteral("false"));
    EXPECT_EQ(FakeOsascript::script().runAppleScriptForSource(
                  QStringLiteral("tell application \"Mail\" to run"), &error),
              QString());
    EXPECT_TRUE(fake.mailRunning());
    EXPECT_EQ(
        FakeOsascript::script().runAppleScriptForSource(QStringLiteral("application \"Mail\" is running")),
        QStringLiteral("true"));
    EXPECT_EQ(error.domain, QStringLiteral("untouched")) << "success leaves the error alone";

    const QString preferences = QStringLiteral(
        "tell application \"System Preferences\"\nactivate\n"
        "set the current pane to pane id \"com.apple.preferences.icloud\"\nend tell\n");
    EXPECT_EQ(FakeOsascript::script().runAppleScriptForSource(preferences), QString());
    EXPECT_EQ(
        fake.state().value(QLatin1String("systemPreferences")).toObject().value(QLatin1String("currentPane")),
        QStringLiteral("com.apple.preferences.icloud"));
}

TEST_F(BRSAppleScriptRunTest, AScriptFailureCarriesTheOutlookDomainAndTheMessage) {
    Error error;
    EXPECT_EQ(FakeOsascript::script().runAppleScriptForSource(
                  QStringLiteral("tell application \"Mail\" to explode"), &error),
              std::nullopt);
    EXPECT_EQ(error, (Error{ErrorDomains::kOutlook, 0,
                            QStringLiteral("Expected end of line but found unknown token.")}));

    fake.setFailure(QStringLiteral("Mail"), QStringLiteral("notAuthorized"));
    EXPECT_EQ(FakeOsascript::script().runAppleScriptForSource(
                  QStringLiteral("tell application \"Mail\" to quit\n"), &error),
              std::nullopt);
    EXPECT_EQ(error, (Error{ErrorDomains::kOutlook, 0,
                            QStringLiteral("Not authorized to send Apple events to Mail.")}));
    // A failure without an error out-parameter must not crash.
    EXPECT_EQ(FakeOsascript::script().runAppleScriptForSource(
                  QStringLiteral("tell application \"Mail\" to quit\n")),
              std::nullopt);
}

TEST_F(BRSAppleScriptRunTest, FailuresWithoutAMessageBecomeTheGenericError) {
    const QString script = QStringLiteral("application \"Mail\" is running");
    for (const char* failure : {"killed", "silent"}) {
        fake.setProcessFailure(QString::fromLatin1(failure));
        Error error;
        EXPECT_EQ(FakeOsascript::script().runAppleScriptForSource(script, &error), std::nullopt) << failure;
        EXPECT_EQ(error.domain, QStringLiteral("Migrator")) << failure;
        EXPECT_EQ(error.code, 0);
        EXPECT_FALSE(error.localizedDescription.isEmpty());
    }

    // A script that never answers is stopped at its time-out and says so.
    fake.setProcessFailure(QStringLiteral("hang"));
    Error hung;
    EXPECT_EQ(FakeOsascript::script(std::chrono::milliseconds(300)).runAppleScriptForSource(script, &hung),
              std::nullopt);
    EXPECT_EQ(hung.domain, ErrorDomains::kOutlook);
    EXPECT_TRUE(hung.localizedDescription.contains(QStringLiteral("did not answer")))
        << hung.localizedDescription.toStdString();

    Error error;
    const std::optional<QString> result = BRSAppleScript().runAppleScriptForSource(script, &error);
    EXPECT_EQ(result, std::nullopt);
    EXPECT_EQ(error, BRSAppleScript::genericError());
}

}  // namespace

TEST_F(BRSAppleScriptRunTest, TheScriptGetsTheEnvironmentItsRunnerWasMadeWith) {
    // The demo hands its simulator a state file this way, without changing the agent's own environment.
    const QTemporaryDir folder;
    const QString ownState = folder.filePath(QStringLiteral("own.json"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORLIN_FAKE_OSASCRIPT_STATE"), ownState);
    const BRSAppleScript script(
        ScriptProcess({.program = FakeOsascript::program(), .environment = environment}));
    EXPECT_EQ(script.runAppleScriptForSource(QStringLiteral("tell application \"Mail\" to run")), QString());
    EXPECT_TRUE(QFileInfo::exists(ownState));
    EXPECT_EQ(fake.scriptsRun(), 0) << "the process's own state file must not be touched";
}
