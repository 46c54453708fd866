#pragma once

#include <QString>
#include <chrono>
#include <optional>

#include "Error.h"
#include "Result.h"
#include "ScriptProcess.h"

// The one place where the agent runs an AppleScript source and turns a failure into an error it can show.
// Every script error carries the Outlook error domain, whichever application the script addressed.
class BRSAppleScript final {
public:
    // Failures that leave nothing to tell the user: no script runner, or one that died without a message.
    static inline const QString kGenericErrorDomain = QStringLiteral("Migrator");
    // AppleScript's own numbers, kept as the code of a script's error (domain ErrorDomains::kOutlook).
    // The user did not allow Orlin to send Apple events to the application (Privacy › Automation).
    static constexpr qint64 kNotAuthorizedCode = -1743;
    // "User canceled": here, the script was given up because Orlin is quitting.
    static constexpr qint64 kCancelledCode = -128;
    // "Apple event timed out": the script did not answer within the time-out and was stopped.
    static constexpr qint64 kTimedOutCode = -1712;

    // Runs no script: every run fails with the generic error.
    BRSAppleScript() = default;
    // Runs every script through `process`, within its time-out.
    explicit BRSAppleScript(ScriptProcess process);

    // The script's result as text ("" when it produced none), or why it failed. Nothing is logged here:
    // only the caller knows whether a failure matters, so it logs what it passes over.
    [[nodiscard]] Result<QString> runAppleScriptForSource(const QString& source) const;
    // The text made safe to stand between the double quotes of an AppleScript string literal; the caller
    // adds the quotes.
    [[nodiscard]] static QString escapeString(const QString& text);

    [[nodiscard]] static Error genericError();
    // Whether a failure means the user refused Orlin control of the application it addressed.
    [[nodiscard]] static bool isNotAuthorized(const Error& error);
    // Whether a failure only means the application is quitting: nothing to tell, nothing to retry.
    [[nodiscard]] static bool isCancelled(const Error& error);
    // Whether a failure means the script hung: the application it addressed is not answering, so the
    // next script to it would most likely wait out the whole time-out again.
    [[nodiscard]] static bool isTimeOut(const Error& error);

    // How long one script may run before it is killed and reported as not answering.
    [[nodiscard]] std::chrono::milliseconds timeout() const { return process_.settings().timeout; }
    // The error of a failed run as `osascript` prints it ("…: execution error: <message> (-1728)"): the
    // message, and the AppleScript number as the code (0 when none is printed); nothing when the output
    // holds no message.
    [[nodiscard]] static std::optional<Error> scriptError(const QString& standardError);

private:
    ScriptProcess process_;
};
