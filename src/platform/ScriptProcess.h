#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <chrono>

// Runs an AppleScript source the way the system's script component would, but out of process: through
// `osascript`, with the source on standard input.
//
// The program, the environment its process gets and the time-out are chosen once, by whoever builds the
// runner: the agent names the system's `osascript`, the demo and the tests the Outlook/Mail simulator. A
// runner without a program runs no script at all, so nothing that forgot to choose can drive the user's
// real Outlook or Mail.
class ScriptProcess final {
public:
    // Beyond Apple events' own two-minute time-out, so that a slow application answers before we give up.
    static constexpr std::chrono::seconds kDefaultTimeout{150};

    struct Settings {
        // Empty runs nothing.
        QString program;
        // What the child process sees; empty (the default) passes this process's own environment on.
        QProcessEnvironment environment;
        std::chrono::milliseconds timeout = kDefaultTimeout;
    };

    struct Result {
        // False when there was no process to talk to: no program set, or it could not be started.
        bool started = false;
        // A normal exit; false when the process was killed or crashed.
        bool exitedNormally = false;
        // The script had not ended when its time ran out, and was killed.
        bool timedOut = false;
        // The application was told to quit while the script ran (or before it could), so it was killed:
        // nobody is left to wait for its answer.
        bool interrupted = false;
        int exitCode = -1;
        QByteArray standardOutput;
        QByteArray standardError;
    };

    ScriptProcess() = default;
    explicit ScriptProcess(Settings settings);

    // Returns once the process has ended, its time-out has passed, or the application is quitting. The
    // wait runs the event loop, as a modal does, so the status menu, Quit and the windows stay responsive
    // while a consent prompt or a slow Outlook holds the script; the poll is held meanwhile. Without an
    // application object (a benchmark, a tool) it blocks instead.
    [[nodiscard]] Result run(const QString& source) const;

    [[nodiscard]] const Settings& settings() const { return settings_; }

    // The system's own `osascript`: /usr/bin/osascript on macOS, the one on PATH elsewhere (empty when
    // there is none).
    [[nodiscard]] static QString systemProgram();

private:
    Settings settings_;
};
