// Builds the object graph and hands control to the event loop.

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include "AgentLoggers.h"
#include "AgentOptions.h"
#include "AppInfo.h"
#include "BRSAppDelegate.h"
#include "BRSCredentialsWindowController.h"
#include "BRSKeychainController.h"
#include "BRSLog.h"
#include "BRSSettingsStorage.h"
#include "ConsoleFrontEnd.h"
#include "ConsoleStatusMenu.h"
#include "Diagnosis.h"
#include "Environment.h"
#include "InstanceLock.h"
#include "InstanceMessenger.h"
#include "MainQueue.h"
#include "OnceRunner.h"
#include "OrlinSyncService.h"
#include "ProcessMemory.h"
#include "QtFrontEnd.h"
#include "QtRepeatingTimer.h"
#include "QtStatusMenu.h"
#include "ServiceConfiguration.h"
#include "SyncBackend.h"
#include "UpdateCycle.h"
#include "UserDefaults.h"

#if ORLIN_WITH_DEMO
#include "DemoOnceRunner.h"
#include "DemoSession.h"
#else
// Built without the demo: no session is ever started, and what would carry one stays null.
class DemoSession {};
class DemoOnceRunner {};
#endif

namespace {

constexpr AgentOptions::Demo kDemo =
    ORLIN_WITH_DEMO ? AgentOptions::Demo::Offered : AgentOptions::Demo::NotBuilt;

void printTo(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

bool hasDisplay() {
#if defined(Q_OS_MACOS) || defined(Q_OS_WIN)
    return true;
#else
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
#endif
}

void configureApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Orlin"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("halvex.com"));
    QCoreApplication::setApplicationVersion(AppInfo::shortVersionString());
}

// Built once the application object exists: the process's own, with the command line in its defaults, or
// the demo's sandbox. The keychain controller is the one part that cannot take it through a constructor,
// so it gets the secret store here.
Environment environmentFor([[maybe_unused]] const DemoSession* demo, const AgentOptions& options) {
    Environment environment;
#if ORLIN_WITH_DEMO
    if (demo) {
        environment = demo->environment(options.argumentDomain);
    }
#endif
    if (!environment.defaultsStore) {
        QStringList problems;
        environment = Environment::fromProcess(options.argumentDomain, &problems);
        for (const QString& problem : std::as_const(problems)) {
            printTo(stderr, QStringLiteral("orlin-agent: %1\n").arg(problem));
        }
        environment.passedOver = problems;
    }
    BRSKeychainController::sharedKeychainController().useSecretStore(environment.secretStore);
    return environment;
}

BRSAppDelegate::Dependencies dependenciesFor(FrontEnd& frontEnd, const Environment& environment) {
    BRSAppDelegate::Dependencies dependencies;
    dependencies.frontEnd = &frontEnd;
    dependencies.defaults = &environment.defaults();
    dependencies.backend = SyncBackend::live(environment);
    dependencies.mailClients = UpdateCycle::MailClients::live(environment);
    dependencies.makeTimer = [] { return std::make_unique<QtRepeatingTimer>(); };
    // The process's facade drains its queue when the event loop returns, so the last lines reach the file.
    dependencies.configureLogging = [logs = environment.folders.logs, clock = environment.clock,
                                     passedOver = environment.passedOver] {
        AgentLoggers::attach(logs, clock);
        for (const QString& problem : passedOver) {
            BRSLogWarn(u"%@", problem);
        }
    };
    return dependencies;
}

constexpr int kAlreadyRunningExitCode = 3;

// One agent per set of user data: a second would interleave the Mail list's read-modify-write and race
// the first over the refresh token. Held until the process ends; otherwise the status to exit with.
// A launch from the desktop first asks the running agent to show itself, so the user sees where it is.
int claimInstance(std::unique_ptr<InstanceLock>& lock, const Environment::Folders& folders, bool asksToShow) {
    lock = std::make_unique<InstanceLock>(folders.applicationSupport);
    QString problem;
    if (lock->tryLock(&problem)) {
        return 0;
    }
    if (!problem.isEmpty()) {
        printTo(stderr, QStringLiteral("orlin-agent: %1\n").arg(problem));
        return 1;
    }
    if (asksToShow && InstanceMessenger(folders.applicationSupport).askToShow(std::chrono::seconds(5))) {
        printTo(stderr, QStringLiteral("orlin-agent: the agent is already running; it shows itself now.\n"));
    } else {
        printTo(stderr, QStringLiteral("orlin-agent: the agent is already running.\n"));
    }
    return kAlreadyRunningExitCode;
}

// Posted: the first tick can end inside the launch, before the event loop runs.
void exitSoon(int code) {
    MainQueue::post([code] { QCoreApplication::exit(code); });
}

// With --once, ends the process after the first tick and the updates it waits for. The demo's own run
// starts its update itself, once the check is done.
struct OnceRun {
    std::unique_ptr<OnceRunner> agent;
    std::unique_ptr<DemoOnceRunner> demo;

    [[nodiscard]] bool startsUpdateItself() const { return demo != nullptr; }
};

OnceRun startOnce(BRSAppDelegate& controller, const AgentOptions& options,
                  [[maybe_unused]] const DemoSession* demo) {
    OnceRun run;
    if (!options.once) {
        return run;
    }
#if ORLIN_WITH_DEMO
    if (demo) {
        run.demo = demo->startOnce(controller, exitSoon);
        return run;
    }
#endif
    run.agent = std::make_unique<OnceRunner>(controller, exitSoon);
    if (options.update) {
        run.agent->expectUpdate();
    }
    return run;
}

// Drains the log while Qt's own data is still there: the facade's drain at exit comes after Qt has torn
// down the date and locale data the file logger needs to name a file, and the lines still queued then
// crashed the process on its way out.
int runEventLoop() {
    const int code = QCoreApplication::exec();
    AgentLoggers::detach();
    return code;
}

int enterToken(int argc, char** argv, const AgentOptions& options) {
    QCoreApplication app(argc, argv);
    configureApplication();
    const Environment environment = environmentFor(nullptr, options);
    QString token = options.token;
    if (token == QLatin1String("-")) {
        std::string line;
        std::getline(std::cin, line);
        token = QString::fromStdString(line);
    }
    if (token.isEmpty()) {
        printTo(stderr, QStringLiteral("Enter access code: %1\n")
                            .arg(BRSCredentialsWindowController::emptyCodeMessage()));
        return 1;
    }
    // Spent at once, as the token window does: a code may be good for one use only, so what is stored is
    // the token the service handed back for it.
    const OrlinSyncService service(ServiceConfiguration::fromDefaults(environment.defaults()));
    std::optional<Result<OrlinSyncService::SignIn>> answer;
    QEventLoop loop;
    service.signInWithRefreshToken(token, [&answer, &loop](Result<OrlinSyncService::SignIn> signIn) {
        answer.emplace(std::move(signIn));
        loop.quit();
    });
    if (!answer) {
        loop.exec();
    }
    const bool unreachable = !answer->ok() && OrlinSyncService::isUnreachable(answer->error());
    if (!answer->ok() && !unreachable) {
        printTo(stderr, BRSCredentialsWindowController::refusedMessage(answer->error().localizedDescription) +
                            QLatin1Char('\n'));
        return 1;
    }
    // Unreachable, the code is kept as typed, with an empty user name, for the agent's checks to try.
    const QString stored = answer->ok() ? answer->value().refreshToken.value_or(token) : token;
    const std::optional<QString> userName = answer->ok() ? answer->value().userName : QString();
    QString reason;
    if (!BRSSettingsStorage(environment.defaults()).storeEnteredToken(stored, userName, &reason)) {
        printTo(stderr, BRSCredentialsWindowController::notSavedMessage(reason) + QLatin1Char('\n'));
        return 1;
    }
    if (unreachable) {
        printTo(stderr, BRSCredentialsWindowController::unreachableMessage() + QLatin1Char('\n'));
    }
    return 0;
}

// Needs no display and takes no instance lock: it reads what a running agent uses, beside it.
int diagnose(int argc, char** argv, const AgentOptions& options, const DemoSession* demo) {
    QCoreApplication app(argc, argv);
    configureApplication();
    const Environment environment = environmentFor(demo, options);
    const QList<Diagnosis::Finding> findings = Diagnosis::gather(environment, options.online);
    printTo(stdout, Diagnosis::format(findings));
    environment.defaults().synchronize();
    return Diagnosis::hasProblems(findings) ? 1 : 0;
}

// Everything a run shares. The caller makes the application object and the front end, which are all that
// differ between a desktop and a console; `connectMenus` hands the controller the front end's menus, which
// outlive the controller.
int runAgent(FrontEnd& frontEnd, const std::function<void(BRSAppDelegate&)>& connectMenus,
             const AgentOptions& options, const DemoSession* demo, const Environment& environment) {
    std::unique_ptr<InstanceLock> instance;
    // Only a desktop launch has an application object with widgets; one from a script or ssh stays quiet.
    const bool fromDesktop = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    if (const int refused = claimInstance(instance, environment.folders, fromDesktop); refused != 0) {
        return refused;
    }
#if ORLIN_WITH_DEMO
    if (demo) {
        demo->prepareStores(environment.defaults());
    }
#endif
    BRSAppDelegate controller(dependenciesFor(frontEnd, environment));
    connectMenus(controller);

    const OnceRun once = startOnce(controller, options, demo);
    controller.applicationDidFinishLaunching();
    // Listens only now that the log is set up, and for as long as the lock is held.
    InstanceMessenger messenger(environment.folders.applicationSupport);
    QString listenProblem;
    if (!messenger.listen([&controller] { controller.statusPresenter().showAlreadyRunning(); },
                          &listenProblem)) {
        BRSLogWarn(u"A second launch of Orlin cannot reach this agent to show it: %@", listenProblem);
    }
    if (options.update && !once.startsUpdateItself()) {
        controller.updateSignatures(false);
    }
    return runEventLoop();
}

int runHeadless(int argc, char** argv, const AgentOptions& options, const DemoSession* demo) {
    QCoreApplication app(argc, argv);
    configureApplication();
    const Environment environment = environmentFor(demo, options);
    ConsoleFrontEnd frontEnd(options.answer);
    ConsoleStatusMenu menu;
    return runAgent(
        frontEnd, [&menu](BRSAppDelegate& controller) { controller.statusPresenter().connectMenu(menu); },
        options, demo, environment);
}

int runDesktop(int argc, char** argv, const AgentOptions& options, const DemoSession* demo) {
    QApplication app(argc, argv);
    configureApplication();
    // An agent: closing its last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    const Environment environment = environmentFor(demo, options);
    QtFrontEnd frontEnd(environment);
    // Their actions call the controller, so they are made once it exists.
    std::optional<QtStatusMenu> menu;
    // The Mac menu bar's copy: its About, Preferences… and Quit land in the application menu and must work.
    std::optional<QtStatusMenu> dummyMenu;
    const auto connectMenus = [&menu, &dummyMenu](BRSAppDelegate& controller) {
        const QtStatusMenu::Actions actions{
            .updateAllSignatures = [&controller] { controller.updateAllSignatures(); },
            .showProfile = [&controller] { controller.showProfile(); },
            .showPreferences = [&controller] { controller.showPreferences(); },
            .showEnterToken = [&controller] { controller.showEnterToken(); },
            .showAbout = [&controller] { controller.showAbout(); },
            .quit = [] { QCoreApplication::quit(); },
        };
        menu.emplace(actions);
        dummyMenu.emplace(actions, QtStatusMenu::Placement::ApplicationMenu);
        controller.statusPresenter().connectMenu(*menu);
        controller.setDummyMenu(&*dummyMenu);
    };
    return runAgent(frontEnd, connectMenus, options, demo, environment);
}

}  // namespace

int main(int argc, char** argv) {
    // A write past the file size limit then fails with EFBIG and is reported like a full disk, instead of
    // the signal ending the agent halfway through replacing a file.
    std::signal(SIGXFSZ, SIG_IGN);
    ProcessMemory::configure();
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    AgentOptions options = AgentOptions::parse(arguments, kDemo);
    if (!options.error.isEmpty()) {
        printTo(stderr,
                QStringLiteral("orlin-agent: %1\n\n%2").arg(options.error, AgentOptions::usage(kDemo)));
        return 2;
    }
    if (options.action == AgentOptions::Action::Help) {
        printTo(stdout, AgentOptions::usage(kDemo));
        return 0;
    }
    if (options.action == AgentOptions::Action::EnterToken) {
        if (options.demo) {
            printTo(stderr, QStringLiteral("orlin-agent: --demo brings its own access code\n"));
            return 2;
        }
        return enterToken(argc, argv, options);
    }

    std::unique_ptr<DemoSession> demo;
#if ORLIN_WITH_DEMO
    if (options.demo) {
        QString error;
        demo = DemoSession::start(DemoSandbox::defaultRoot(), argc > 0 ? argv[0] : nullptr, &error);
        if (!demo) {
            printTo(stderr, QStringLiteral("orlin-agent: the demo cannot start: %1\n").arg(error));
            return 1;
        }
        if (!options.answerGiven) {
            options.answer = ConsoleAlertPresenter::Answer::Continue;
        }
    }
#endif
    if (options.action == AgentOptions::Action::Diagnose) {
        return diagnose(argc, argv, options, demo.get());
    }
    if (options.headless || !hasDisplay()) {
        return runHeadless(argc, argv, options, demo.get());
    }
    return runDesktop(argc, argv, options, demo.get());
}
