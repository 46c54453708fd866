#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "ConsoleAlertPresenter.h"

// The agent's command line. "-key value" pairs are not options: they form the defaults' argument domain,
// exactly as on macOS, and are collected apart.
struct AgentOptions {
    enum class Action { Run, Help, EnterToken, Diagnose };
    // Whether this agent was built with the demo (a build option): without it, --demo is refused.
    enum class Demo { Offered, NotBuilt };

    Action action = Action::Run;
    bool headless = false;
    bool once = false;
    // Start one update cycle right after the launch, as the menu's update item does.
    bool update = false;
    // Run against the embedded demo service, in a sandbox of its own.
    bool demo = false;
    // For Diagnose: also ask the service, which a plain diagnosis never does.
    bool online = false;
    ConsoleAlertPresenter::Answer answer = ConsoleAlertPresenter::Answer::Cancel;
    // Whether --answer was given; the demo answers "continue" otherwise.
    bool answerGiven = false;
    // For EnterToken: the token, or "-" to read it from standard input (keeps it out of the process list).
    QString token;
    QVariantMap argumentDomain;
    // Set when the command line could not be read; the message says why.
    QString error;

    [[nodiscard]] static AgentOptions parse(const QStringList& arguments, Demo demo = Demo::Offered);
    [[nodiscard]] static QString usage(Demo demo = Demo::Offered);
};
