#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <functional>

#include "MockOrlinService.h"
#include "ServiceConfiguration.h"
#include "UserDefaults.h"

namespace servicetest {

// Runs the event loop until `done` holds, then lets whatever is already posted run too, so that a second
// call of a completion would be seen. The cap only keeps a broken build from hanging the suite.
inline void runUntil(const std::function<bool()>& done) {
    if (!done()) {
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(2);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done()) {
                loop.quit();
            }
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        poll.start();
        loop.exec();
    }
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// A port on 127.0.0.1 that nothing listens on.
inline quint16 closedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

inline bool onMainThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Points the three service bases at the mock, each under a path of its own so a test can tell them apart.
inline void useMock(const MockOrlinService& mock) {
    UserDefaults::standardUserDefaults().setArgumentDomain({
        {ServiceConfiguration::kAuthBaseUrlKey, mock.baseUrl() + QStringLiteral("auth/")},
        {ServiceConfiguration::kEuAppBaseUrlKey, mock.baseUrl() + QStringLiteral("eu/")},
        {ServiceConfiguration::kAppBaseUrlKey, mock.baseUrl() + QStringLiteral("app/")},
    });
}

}  // namespace servicetest
