#include "BRSAppleScript.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "FakeOsascript.h"
#include "ScriptProcess.h"

namespace {

// A run as these cases look at it: the result, or nothing with the error set.
std::optional<QString> run(const BRSAppleScript& script, const QString& source, Error* error = nullptr) {
    Result<QString> result = script.runAppleScriptForSource(source);
    if (!result) {
        if (error) {
            *error = result.error();
        }
        return std::nullopt;
    }
    return std::move(result).value();
}

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

Error outlookError(qint64 code, const char* message) {
    return Error{ErrorDomains::kOutlook, code, QString::fromUtf8(message)};
}

TEST(BRSAppleScriptErrorMessageTest, TakesTheMessageBetweenTheKindAndTheErrorNumberAndKeepsTheNumber) {
    EXPECT_EQ(BRSAppleScript::scriptError(
                  QStringLiteral("12:40: execution error: Can’t get application \"X\". (-1728)\n")),
              outlookError(-1728, "Can’t get application \"X\"."));
    EXPECT_EQ(BRSAppleScript::scriptError(
                  QStringLiteral("/tmp/a.scpt:0:7: syntax error: A unknown token can’t go here. (-2740)")),
              outlookError(-2740, "A unknown token can’t go here."));
    EXPECT_EQ(BRSAppleScript::scriptError(QStringLiteral("script error: No result (as such) here\n")),
              outlookError(0, "No result (as such) here"));
    EXPECT_EQ(BRSAppleScript::scriptError(QStringLiteral("0:5: execution error: Line one\nline two. (1)\n")),
              outlookError(1, "Line one\nline two."));
    EXPECT_EQ(BRSAppleScript::scriptError(QStringLiteral("osascript: no such file\n")), std::nullopt);
    EXPECT_EQ(BRSAppleScript::scriptError(QStringLiteral("0:1: execution error:  (-1)")), std::nullopt);
    EXPECT_EQ(BRSAppleScript::scriptError(QString()), std::nullopt);

    const std::optional<Error> refused = BRSAppleScript::scriptError(
        QStringLiteral("0:30: execution error: Not authorized to send Apple events to Microsoft Outlook. "
                       "(-1743)\n"));
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(BRSAppleScript::isNotAuthorized(*refused));
    EXPECT_FALSE(BRSAppleScript::isNotAuthorized(outlookError(-1728, "x")));
    EXPECT_FALSE(BRSAppleScript::isNotAuthorized(Error{ErrorDomains::kPosix, -1743, QString()}));
}

class BRSAppleScriptRunTest : public ::testing::Test {
protected:
    FakeOsascript fake;
};

TEST_F(BRSAppleScriptRunTest, ReturnsTheResultAsTextAndEmptyTextForNoResult) {
    Error error{QStringLiteral("untouched"), 7, QString()};
    EXPECT_EQ(run(FakeOsascript::script(), QStringLiteral("application \"Mail\" is running"), &error),
              QStringLiteral("false"));
    EXPECT_EQ(run(FakeOsascript::script(), QStringLiteral("tell application \"Mail\" to run"), &error),
              QString());
    EXPECT_TRUE(fake.mailRunning());
    EXPECT_EQ(run(FakeOsascript::script(), QStringLiteral("application \"Mail\" is running")),
              QStringLiteral("true"));
    EXPECT_EQ(error.domain, QStringLiteral("untouched")) << "success leaves the error alone";

    const QString preferences = QStringLiteral(
        "tell application \"System Preferences\"\nactivate\n"
        "set the current pane to pane id \"com.apple.preferences.icloud\"\nend tell\n");
    EXPECT_EQ(run(FakeOsascript::script(), preferences), QString());
    EXPECT_EQ(
        fake.state().value(QLatin1String("systemPreferences")).toObject().value(QLatin1String("currentPane")),
        QStringLiteral("com.apple.preferences.icloud"));
}

TEST_F(BRSAppleScriptRunTest, AScriptFailureCarriesTheOutlookDomainAndTheMessage) {
    Error error;
    EXPECT_EQ(run(FakeOsascript::script(), QStringLiteral("tell application \"Mail\" to explode"), &error),
              std::nullopt);
    EXPECT_EQ(error, outlookError(-2741, "Expected end of line but found unknown token."));

    fake.setFailure(QStringLiteral("Mail"), QStringLiteral("notAuthorized"));
    EXPECT_EQ(run(FakeOsascript::script(), QStringLiteral("tell application \"Mail\" to quit\n"), &error),
              std::nullopt);
    EXPECT_EQ(error, outlookError(BRSAppleScript::kNotAuthorizedCode,
                                  "Not authorized to send Apple events to Mail."));
    // A failure without an error out-parameter must not crash.
    EXPECT_EQ(run(FakeOsascript::script(), QStringLiteral("tell application \"Mail\" to quit\n")),
              std::nullopt);
}

TEST_F(BRSAppleScriptRunTest, FailuresWithoutAMessageBecomeTheGenericError) {
    const QString script = QStringLiteral("application \"Mail\" is running");
    for (const char* failure : {"killed", "silent"}) {
        fake.setProcessFailure(QString::fromLatin1(failure));
        Error error;
        EXPECT_EQ(run(FakeOsascript::script(), script, &error), std::nullopt) << failure;
        EXPECT_EQ(error.domain, QStringLiteral("Migrator")) << failure;
        EXPECT_EQ(error.code, 0);
        EXPECT_FALSE(error.localizedDescription.isEmpty());
    }

    // A script that never answers is stopped at its time-out and says so.
    fake.setProcessFailure(QStringLiteral("hang"));
    Error hung;
    EXPECT_EQ(run(FakeOsascript::script(std::chrono::milliseconds(300)), script, &hung), std::nullopt);
    EXPECT_EQ(hung.domain, ErrorDomains::kOutlook);
    EXPECT_TRUE(hung.localizedDescription.contains(QStringLiteral("did not answer")))
        << hung.localizedDescription.toStdString();
    EXPECT_TRUE(BRSAppleScript::isTimeOut(hung)) << "the update cycle stops a client's part on it";
    EXPECT_FALSE(BRSAppleScript::isCancelled(hung));

    Error error;
    const std::optional<QString> result = run(BRSAppleScript(), script, &error);
    EXPECT_EQ(result, std::nullopt);
    EXPECT_EQ(error, BRSAppleScript::genericError());
}

TEST_F(BRSAppleScriptRunTest, AHungScriptKeepsTheEventLoopRunningAndEndsWhenTheApplicationQuits) {
    fake.setProcessFailure(QStringLiteral("hang"));
    const BRSAppleScript script = FakeOsascript::script(std::chrono::seconds(60));
    // What a click on Quit does while the script waits: it runs from the event loop, and ends it.
    bool eventLoopRan = false;
    QTimer::singleShot(100, [&] {
        eventLoopRan = true;
        QCoreApplication::exit(0);
    });
    QElapsedTimer waited;
    waited.start();
    Error error;
    // exec() is what the agent runs; without it exit() has no loop to end.
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(run(script, QStringLiteral("application \"Mail\" is running"), &error), std::nullopt);
        // A script asked for after Quit is given up at once too.
        Error after;
        EXPECT_EQ(run(script, QStringLiteral("tell application \"Mail\" to run"), &after), std::nullopt);
        EXPECT_TRUE(BRSAppleScript::isCancelled(after));
    });
    QCoreApplication::exec();
    EXPECT_TRUE(eventLoopRan);
    EXPECT_TRUE(BRSAppleScript::isCancelled(error)) << error.localizedDescription.toStdString();
    EXPECT_LT(waited.elapsed(), 10000) << "Quit did not wait for the script's time-out";
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
    EXPECT_EQ(run(script, QStringLiteral("tell application \"Mail\" to run")), QString());
    EXPECT_TRUE(QFileInfo::exists(ownState));
    EXPECT_EQ(fake.scriptsRun(), 0) << "the process's own state file must not be touched";
}
