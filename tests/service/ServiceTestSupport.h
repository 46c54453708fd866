#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <functional>

#include "MockOrlinService.h"
#include "RunUntil.h"
#include "ServiceConfiguration.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

namespace servicetest {

using ::runUntil;

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
    testDefaults().setArgumentDomain({
        {ServiceConfiguration::kAuthBaseUrlKey, mock.baseUrl() + QStringLiteral("auth/")},
        {ServiceConfiguration::kEuAppBaseUrlKey, mock.baseUrl() + QStringLiteral("eu/")},
        {ServiceConfiguration::kAppBaseUrlKey, mock.baseUrl() + QStringLiteral("app/")},
    });
}

}  // namespace servicetest
