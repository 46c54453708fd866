#include "AgentOptions.h"

#include "UserDefaults.h"

namespace {

// "--name value" or "--name=value"; advances the index past the value.
bool takeValue(const QStringList& arguments, qsizetype& index, const QString& name, QString* value,
               QString* error) {
    const QString& argument = arguments.at(index);
    if (argument.startsWith(name + QLatin1Char('='))) {
        *value = argument.mid(name.size() + 1);
        return true;
    }
    if (index + 1 >= arguments.size()) {
        *error = QStringLiteral("option %1 needs a value").arg(name);
        return false;
    }
    *value = arguments.at(++index);
    return true;
}

bool isOption(const QString& argument, const QString& name) {
    return argument == name || argument.startsWith(name + QLatin1Char('='));
}

}  // namespace

AgentOptions AgentOptions::parse(const QStringList& arguments, Demo demo) {
    AgentOptions options;
    QStringList rest;
    options.argumentDomain = UserDefaults::argumentDomainFromArguments(arguments, &rest);

    // Two actions on one command line would leave one of them silently undone.
    const auto setAction = [&options](Action action) {
        if (options.action != Action::Run && options.action != Action::Help && options.action != action) {
            options.error = QStringLiteral("--diagnose and --enter-token cannot be combined");
        } else if (options.action != Action::Help) {
            options.action = action;
        }
    };
    for (qsizetype i = 0; i < rest.size() && options.error.isEmpty(); ++i) {
        const QString& argument = rest.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.action = Action::Help;
        } else if (argument == QLatin1String("--headless")) {
            options.headless = true;
        } else if (argument == QLatin1String("--once")) {
            options.once = true;
        } else if (argument == QLatin1String("--update")) {
            options.update = true;
        } else if (argument == QLatin1String("--demo")) {
            if (demo == Demo::Offered) {
                options.demo = true;
            } else {
                options.error =
                    QStringLiteral("--demo is not available: this agent was built without the demo");
            }
        } else if (argument == QLatin1String("--diagnose")) {
            setAction(Action::Diagnose);
        } else if (argument == QLatin1String("--online")) {
            options.online = true;
        } else if (isOption(argument, QStringLiteral("--answer"))) {
            QString answer;
            options.answerGiven = true;
            if (takeValue(rest, i, QStringLiteral("--answer"), &answer, &options.error)) {
                if (answer == QLatin1String("continue")) {
                    options.answer = ConsoleAlertPresenter::Answer::Continue;
                } else if (answer == QLatin1String("cancel")) {
                    options.answer = ConsoleAlertPresenter::Answer::Cancel;
                } else {
                    options.error =
                        QStringLiteral("--answer takes continue or cancel, not \"%1\"").arg(answer);
                }
            }
        } else if (isOption(argument, QStringLiteral("--enter-token"))) {
            setAction(Action::EnterToken);
            takeValue(rest, i, QStringLiteral("--enter-token"), &options.token, &options.error);
        } else {
            options.error = QStringLiteral("unknown option \"%1\"").arg(argument);
        }
    }
    // A diagnosis changes nothing, so it takes no option that would run or store something.
    if (options.error.isEmpty() && options.action != Action::Help) {
        const bool diagnose = options.action == Action::Diagnose;
        if (options.online && !diagnose) {
            options.error = QStringLiteral("--online goes with --diagnose");
        } else if (diagnose && (options.once || options.update)) {
            options.error = demo == Demo::Offered
                                ? QStringLiteral("--diagnose runs alone (with --demo or --online)")
                                : QStringLiteral("--diagnose runs alone (with --online)");
        }
    }
    // Help wins over everything but a malformed command line.
    return options;
}

QString AgentOptions::usage(Demo demo) {
    const bool withDemo = demo == Demo::Offered;
    QString text = QStringLiteral(
        "Usage: orlin-agent [options] [-key value ...]\n"
        "\n"
        "Keeps your e-mail signatures from the Orlin service installed in Outlook and Apple Mail.\n"
        "\n"
        "Options:\n"
        "  --headless                 Run without a status item: every status change is printed as one "
        "line.\n"
        "                             Chosen by itself when there is no display.\n"
        "  --once                     Run one check (and the update it starts), then exit:\n"
        "                             0 when the check succeeded and nothing failed, 1 otherwise.\n"
        "  --update                   Install every signature once, right after the start, as the menu's\n"
        "                             update item does (with --once: exit when it has ended).\n");
    if (withDemo) {
        text += QStringLiteral(
            "  --demo                     Run against a demo Orlin service built into the agent, in a folder "
            "of\n"
            "                             its own ($XDG_DATA_HOME/com.halvex.Orlin/demo), with Outlook and\n"
            "                             Apple Mail simulated. With --once: one check and one update, then\n"
            "                             where each signature was installed.\n"
            "  --answer continue|cancel   How headless runs answer questions (default: cancel; continue "
            "with\n"
            "                             --demo).\n");
    } else {
        text += QStringLiteral(
            "  --answer continue|cancel   How headless runs answer questions (default: cancel).\n");
    }
    text += QStringLiteral(
        "  --enter-token TOKEN        Store an access code, as the token window does, and exit.\n"
        "                             Use - to read it from standard input.\n"
        "  --diagnose                 Print one line per finding about this installation (folders, stores,\n"
        "                             services, Outlook and Apple Mail), then exit: 0 when nothing is "
        "wrong,\n"
        "                             1 otherwise. Sends nothing to the service unless --online is given.\n");
    if (withDemo) {
        text += QStringLiteral("                             With --demo it describes the demo's sandbox.\n");
    }
    text += QStringLiteral(
        "  --online                   With --diagnose: also run one check against the service.\n"
        "  --help                     Show this text.\n"
        "\n"
        "Any \"-key value\" pair sets that defaults key for this run only, for example\n"
        "  -updateSignaturesAutomatically YES\n"
        "\n"
        "Only one agent runs on the same data: a second one exits with status 3.\n");
    return text;
}
