#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

// An Orlin service of its own for the demo: every endpoint the agent calls, on 127.0.0.1 at a random port,
// answering from the profile kept in one file. It issues its own tokens and only accepts those, so the
// demo behaves like the real service when a token is wrong. Serves on threads of its own from
// construction until destruction.
class DemoService final {
public:
    // The refresh token a fresh demo is given, as if the user had pasted it from an invitation e-mail.
    static inline const QString kInitialToken = QStringLiteral("demo-refresh-welcome");
    // What the token window's user name and password form accepts.
    static inline const QString kUserName = QStringLiteral("ann.example@demo.orlin.example");
    static inline const QString kPassword = QStringLiteral("demo");
    // What an administrator's managed domain token would be.
    static inline const QString kDomainToken = QStringLiteral("demo-domain-token");

    // `profilePath` holds the profile between runs; a missing or unreadable file starts a fresh profile.
    // The signatures carry the image host's address, port included, so a run that gets the port of the
    // previous one (`preferredPort`, when it is free) finds the installed signatures unchanged. Otherwise
    // any free port.
    explicit DemoService(QString profilePath, int preferredPort = 0);
    ~DemoService();
    DemoService(const DemoService&) = delete;
    DemoService& operator=(const DemoService&) = delete;

    // False when no port could be bound; the demo cannot run then.
    [[nodiscard]] bool isRunning() const;
    [[nodiscard]] int port() const;
    // "http://127.0.0.1:<port>/".
    [[nodiscard]] QString baseUrl() const;
    // The four service addresses, as the defaults keys name them.
    [[nodiscard]] QString authBaseUrl() const;
    [[nodiscard]] QString euAppBaseUrl() const;
    [[nodiscard]] QString appBaseUrl() const;
    [[nodiscard]] QString imageHostUrl() const;

    // The names of the signatures the next signatures answer holds, in its order.
    [[nodiscard]] QStringList signatureNames() const;

    // A small picture drawn for the first profile: the logo of the demo's company.
    [[nodiscard]] static QByteArray drawLogo();

private:
    struct State;
    std::unique_ptr<State> state_;
};
