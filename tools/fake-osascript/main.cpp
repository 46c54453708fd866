// A stand-in for `osascript` that plays Outlook, Mail and System Preferences, for the tests and the demo:
// it reads a script on standard input, answers the way the real tool does (the result on standard output,
// an error line on standard error and exit status 1), and keeps what the applications would remember in
// the state file (see SimulatorState.h).

#include <QFile>
#include <csignal>
#include <cstdio>

#include <unistd.h>

#include "Simulator.h"
#include "SimulatorState.h"

int main() {
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        return 1;
    }
    const QString source = QString::fromUtf8(input.readAll());

    SimulatorState state = SimulatorState::load();
    if (state.processFailure == QLatin1String("killed")) {
        std::raise(SIGKILL);
    }
    if (state.processFailure == QLatin1String("silent")) {
        return 1;
    }
    // An application that never answers its Apple event.
    if (state.processFailure == QLatin1String("hang")) {
        for (;;) {
            pause();
        }
    }
    const Simulator::Outcome outcome = Simulator(state).run(source);
    if (!state.save()) {
        std::fputs("osascript: cannot write the simulator's state file\n", stderr);
        return 1;
    }
    if (!outcome.errorLine.isEmpty()) {
        const QByteArray line = (outcome.errorLine + QLatin1Char('\n')).toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        return 1;
    }
    if (outcome.result) {
        const QByteArray result = (*outcome.result + QLatin1Char('\n')).toUtf8();
        std::fwrite(result.constData(), 1, static_cast<size_t>(result.size()), stdout);
    }
    return 0;
}
