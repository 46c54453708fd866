#include "AgentProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include "TestHome.h"
#include "TestPreferencesSuite.h"

void AgentProcess::start(QProcess& agent, const QString& program, const QStringList& arguments,
                         const QMap<QString, QString>& environment) {
    QProcessEnvironment processEnvironment = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_DIRS",
          "ORLIN_FAKE_OSASCRIPT_STATE", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        processEnvironment.remove(QString::fromLatin1(name));
    }
    for (auto it = environment.cbegin(); it != environment.cend(); ++it) {
        if (it.key() == QLatin1String("HOME")) {
            setHome(processEnvironment, it.value());
        } else {
            processEnvironment.insert(it.key(), it.value());
        }
    }
    QStringList agentArguments = arguments;
#ifdef Q_OS_MACOS
    if (!agentArguments.contains(QStringLiteral("-secretStore"))) {
        agentArguments << QStringLiteral("-secretStore") << QStringLiteral("file");
    }
    // A program that fails every script: the system's osascript would drive the user's Outlook and Mail.
    if (!processEnvironment.contains(QStringLiteral("ORLIN_OSASCRIPT"))) {
        processEnvironment.insert(QStringLiteral("ORLIN_OSASCRIPT"), QStringLiteral("/usr/bin/false"));
    }
    // Preferences of the agent's own, in the test's home, with no administrator's values above them.
    if (!processEnvironment.contains(QStringLiteral("ORLIN_DEFAULTS_SUITE"))) {
        processEnvironment.insert(QStringLiteral("ORLIN_DEFAULTS_SUITE"),
                                  TestPreferencesSuite::processSuiteName() + QStringLiteral(".agent"));
    }
#endif
    agent.setProcessEnvironment(processEnvironment);
    agent.start(program, agentArguments);
}

QString AgentProcess::logOf(const QString& home, [[maybe_unused]] const QString& program) {
#ifdef Q_OS_MACOS
    // The Mac build's executable is the bundle's, and its logs are named after it.
    const QDir logs(home + QStringLiteral("/Library/Logs/") + QFileInfo(program).fileName());
#else
    const QDir logs(home + QStringLiteral("/.local/state/orlin-agent/logs"));
#endif
    QString written;
    for (const QString& name : logs.entryList({QStringLiteral("*.log")}, QDir::Files)) {
        QFile file(logs.filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            written += QString::fromUtf8(file.readAll());
        }
    }
    return written;
}

AgentRun AgentProcess::run(const QString& program, const QStringList& arguments,
                           const QMap<QString, QString>& environment, const QByteArray& input) {
    QProcess agent;
    start(agent, program, arguments, environment);
    if (!agent.waitForStarted(10000)) {
        return {};
    }
    agent.write(input);
    agent.closeWriteChannel();
    if (!agent.waitForFinished(60000)) {
        agent.kill();
        agent.waitForFinished();
        return {};
    }
    AgentRun result;
    result.exitCode = agent.exitStatus() == QProcess::NormalExit ? agent.exitCode() : -1;
    const QString out = QString::fromUtf8(agent.readAllStandardOutput());
    result.lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    result.errors = QString::fromUtf8(agent.readAllStandardError());
    result.output = out + result.errors;
    return result;
}
