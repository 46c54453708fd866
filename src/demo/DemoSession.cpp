#include "DemoSession.h"

#include <cstdio>

#include "BRSKeychainController.h"
#include "BRSSettingsStorage.h"
#include "DemoOnceRunner.h"

DemoSession::DemoSession(DemoSandbox sandbox, QString scriptProgram)
    : sandbox_(std::move(sandbox)), scriptProgram_(std::move(scriptProgram)) {}

std::unique_ptr<DemoSession> DemoSession::start(const QString& root, const char* argv0, QString* error) {
    const std::optional<QString> simulator =
        DemoSandbox::findSimulator(DemoSandbox::executableDirectory(argv0));
    // Without the simulator the scripts would reach the real Outlook and Mail, if there are any.
    if (!simulator) {
        *error = QStringLiteral("the Outlook and Mail simulator (osascript) was not found next to the agent");
        return nullptr;
    }
    std::unique_ptr<DemoSession> session(
        new DemoSession(DemoSandbox(root), *simulator + QStringLiteral("/osascript")));
    if (!session->sandbox_.enter(error)) {
        return nullptr;
    }
    session->service_ =
        std::make_unique<DemoService>(session->sandbox_.profilePath(), session->sandbox_.storedPort());
    if (!session->service_->isRunning()) {
        *error = QStringLiteral("the demo service could not listen on 127.0.0.1");
        return nullptr;
    }
    session->sandbox_.storePort(session->service_->port());
    return session;
}

QVariantMap DemoSession::argumentDomain(QVariantMap commandLine) const {
    const QVariantMap own = DemoSandbox::argumentDomain(service_->authBaseUrl(), service_->euAppBaseUrl(),
                                                        service_->appBaseUrl(), service_->imageHostUrl());
    for (auto it = own.cbegin(); it != own.cend(); ++it) {
        commandLine.insert(it.key(), it.value());
    }
    return commandLine;
}

Environment DemoSession::environment(const QVariantMap& commandLine) const {
    return sandbox_.environment(scriptProgram_, argumentDomain(commandLine));
}

void DemoSession::prepareStores(UserDefaults& defaults) const {
    sandbox_.seed(defaults);
    // Only when there is none: a token the service renewed, or one the user typed, stays.
    const std::optional<QString> stored =
        BRSKeychainController::sharedKeychainController().stringForKey(QStringLiteral("refreshToken"));
    if (!stored || stored->isEmpty()) {
        BRSSettingsStorage(defaults).setToken(DemoService::kInitialToken, QString());
    }
}

std::unique_ptr<DemoOnceRunner> DemoSession::startOnce(BRSAppDelegate& controller,
                                                       std::function<void(int)> exit) const {
    return std::make_unique<DemoOnceRunner>(
        controller, sandbox_, *service_,
        [](const QString& line) {
            const QByteArray bytes = (line + QLatin1Char('\n')).toLocal8Bit();
            std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
            std::fflush(stdout);
        },
        std::move(exit));
}
