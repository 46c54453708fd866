#pragma once

#include <QByteArray>
#include <QString>

// Runs an AppleScript source the way the system's script component would, but out of process: through
// `osascript`, with the source on standard input. Linux finds `osascript` on PATH (tests and the demo put
// the simulator first); macOS always uses the system's own.
class ScriptProcess final {
public:
    struct Result {
        // False when there was no process to talk to: no executable, or it could not be started.
        bool started = false;
        // A normal exit; false when the process was killed or crashed.
        bool exitedNormally = false;
        int exitCode = -1;
        QByteArray standardOutput;
        QByteArray standardError;
    };

    ScriptProcess() = delete;

    // Blocks until the process has ended, however long the addressed application takes to answer.
    [[nodiscard]] static Result run(const QString& source);
    // Empty when no `osascript` can be found.
    [[nodiscard]] static QString executablePath();
};
