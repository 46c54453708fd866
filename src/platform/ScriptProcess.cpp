#include "ScriptProcess.h"

#include <QProcess>
#include <QStandardPaths>

ScriptProcess::ScriptProcess(Settings settings) : settings_(std::move(settings)) {}

QString ScriptProcess::systemProgram() {
#ifdef Q_OS_MACOS
    return QStringLiteral("/usr/bin/osascript");
#else
    return QStandardPaths::findExecutable(QStringLiteral("osascript"));
#endif
}

ScriptProcess::Result ScriptProcess::run(const QString& source) const {
    Result result;
    if (settings_.program.isEmpty()) {
        return result;
    }
    QProcess process;
    if (!settings_.environment.isEmpty()) {
        process.setProcessEnvironment(settings_.environment);
    }
    process.start(settings_.program, {});
    if (!process.waitForStarted(-1)) {
        return result;
    }
    result.started = true;
    // A script that fails to compile may end before it has read all of its source; what it prints then
    // still tells why, so a short write is not a failure of its own.
    process.write(source.toUtf8());
    process.closeWriteChannel();
    if (!process.waitForFinished(static_cast<int>(settings_.timeout.count())) &&
        process.state() != QProcess::NotRunning) {
        result.timedOut = true;
        process.kill();
        process.waitForFinished(-1);
    }
    result.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}
