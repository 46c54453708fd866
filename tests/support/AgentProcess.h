#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

class QProcess;

// One run of the agent's executable, as a user or a script would start it.
struct AgentRun {
    // -1 when it crashed or did not finish in time.
    int exitCode = -1;
    // Standard output, one entry per line.
    QStringList lines;
    // Standard error alone, and both streams together (for "never shows up anywhere" checks).
    QString errors;
    QString output;
};

class AgentProcess final {
public:
    AgentProcess() = delete;

    // Starts the agent with the test's environment: the caller's, without the folder, display and platform
    // variables that would lead it to the user's own files or screen, plus `environment`, where a HOME is the
    // home of Apple's frameworks too. On a Mac the platform's own secret store and script program are the
    // user's real keychain and the real Outlook and Mail, so unless the test names them ("-secretStore",
    // ORLIN_OSASCRIPT) the agent keeps to the file store and its scripts reach nothing. The caller waits
    // for the agent and ends it.
    static void start(QProcess& agent, const QString& program, const QStringList& arguments,
                      const QMap<QString, QString>& environment);

    // Everything the agent that ran in `home` wrote to its log files.
    [[nodiscard]] static QString logOf(const QString& home, const QString& program);

    // Starts the agent as start() does, hands it `input` and waits for its end.
    [[nodiscard]] static AgentRun run(const QString& program, const QStringList& arguments,
                                      const QMap<QString, QString>& environment,
                                      const QByteArray& input = {});
};
