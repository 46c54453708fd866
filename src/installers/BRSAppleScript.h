#pragma once

#include <QString>
#include <chrono>
#include <optional>

#include "Error.h"

// The one place where the agent runs an AppleScript source and turns a failure into an error it can show.
// Every script error carries the Outlook error domain, whichever application the script addressed.
class BRSAppleScript final {
public:
    // Failures that leave nothing to tell the user: no script runner, or one that died without a message.
    static inline const QString kGenericErrorDomain = QStringLiteral("Migrator");

    BRSAppleScript() = delete;

    // The script's result as text ("" when it produced none); nothing on failure, with the error set.
    // Without an error to set, the failure is logged instead: the caller has chosen to pass it over.
    [[nodiscard]] static std::optional<QString> runAppleScriptForSource(const QString& source,
                                                                        Error* error = nullptr);
    // The text made safe to stand between the double quotes of an AppleScript string literal; the caller
    // adds the quotes.
    [[nodiscard]] static QString escapeString(const QString& text);

    [[nodiscard]] static Error genericError();

    // How long one script may run before it is killed and reported as not answering. Process-wide: it is
    // set once at launch from the defaults, before any script runs.
    static void setTimeout(std::chrono::milliseconds timeout);
    [[nodiscard]] static std::chrono::milliseconds timeout();
    // The message of a failed run as `osascript` prints it ("…: execution error: <message> (-1728)"), or
    // nothing when the output holds none.
    [[nodiscard]] static std::optional<QString> scriptErrorMessage(const QString& standardError);
};
