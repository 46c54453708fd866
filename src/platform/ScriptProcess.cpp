#include "ScriptProcess.h"

#include <QMutex>
#include <QProcess>
#include <QStandardPaths>

namespace {

QMutex programMutex;
QString configuredProgram;

}  // namespace

void ScriptProcess::setProgram(const QString& program) {
    const QMutexLocker lock(&programMutex);
    configuredProgram = program;
}

QString ScriptProcess::program() {
    const QMutexLocker lock(&programMutex);
    return configuredProgram;
}

QString ScriptProcess::systemProgram() {
#ifdef Q_OS_MACOS
    return QStringLiteral("/usr/bin/osascript");
#else
    return QStandardPaths::findExecutable(QStringLiteral("osascript"));
#endif
}

ScriptProcess::Result ScriptProcess::run(const QString& source, std::chrono::milliseconds timeout) {
    Result result;
    const QString executable = program();
    if (executable.isEmpty()) {
        return result;
    }
    QProcess process;
    process.start(executable, {});
    if (!process.waitForStarted(-1)) {
        return result;
    }
    result.started = true;
    // A script that fails to compile may end before it has read all of its source; what it prints then
    // still tells why, so a short write is not a failure of its own.
    process.write(source.toUtf8());
    process.closeWriteChannel();
    if (!process.waitForFinished(static_cast<int>(timeout.count())) &&
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
