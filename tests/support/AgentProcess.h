#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

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

    // Runs the agent with the test's environment: the caller's, without the folder, display and platform
    // variables that would lead it to the user's own files or screen, plus `environment`.
    [[nodiscard]] static AgentRun run(const QString& program, const QStringList& arguments,
                                      const QMap<QString, QString>& environment,
                                      const QByteArray& input = {});
};
