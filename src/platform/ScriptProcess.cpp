#include "ScriptProcess.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "ModalSession.h"

namespace {

enum class Ending { Finished, TimedOut, Interrupted };

// Waits in a nested event loop. The loop also ends when the application is told to quit (Qt ends every
// loop of the main thread then, and any started afterwards returns at once): the script is then given up.
Ending awaitInEventLoop(QProcess& process, std::chrono::milliseconds timeout) {
    const ModalSession modal;
    QEventLoop loop;
    bool timedOut = false;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    deadline.start(timeout);
    if (process.state() != QProcess::NotRunning) {
        loop.exec();
    }
    if (process.state() == QProcess::NotRunning) {
        return Ending::Finished;
    }
    return timedOut ? Ending::TimedOut : Ending::Interrupted;
}

Ending awaitBlocking(QProcess& process, std::chrono::milliseconds timeout) {
    const bool finished = process.waitForFinished(static_cast<int>(timeout.count()));
    return finished || process.state() == QProcess::NotRunning ? Ending::Finished : Ending::TimedOut;
}

bool canRunEventLoop() {
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

}  // namespace

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
    const Ending ending = canRunEventLoop() ? awaitInEventLoop(process, settings_.timeout)
                                            : awaitBlocking(process, settings_.timeout);
    if (ending != Ending::Finished) {
        result.timedOut = ending == Ending::TimedOut;
        result.interrupted = ending == Ending::Interrupted;
        process.kill();
        process.waitForFinished(-1);
    }
    result.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}
