#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>

// Runs an AppleScript source the way the system's script component would, but out of process: through
// `osascript`, with the source on standard input. Linux finds `osascript` on PATH (tests and the demo put
// the simulator first); macOS always uses the system's own.
class ScriptProcess final {
public:
    // Beyond Apple events' own two-minute time-out, so that a slow application answers before we give up.
    static constexpr std::chrono::seconds kDefaultTimeout{150};

    struct Result {
        // False when there was no process to talk to: no executable, or it could not be started.
        bool started = false;
        // A normal exit; false when the process was killed or crashed.
        bool exitedNormally = false;
        // The script had not ended when its time ran out, and was killed.
        bool timedOut = false;
        int exitCode = -1;
        QByteArray standardOutput;
        QByteArray standardError;
    };

    ScriptProcess() = delete;

    // Blocks until the process has ended or the time-out has passed; a script that never answers (an
    // application hung in an Apple event) would otherwise block the agent for ever.
    [[nodiscard]] static Result run(const QString& source,
                                    std::chrono::milliseconds timeout = kDefaultTimeout);
    // Empty when no `osascript` can be found.
    [[nodiscard]] static QString executablePath();
};
