#include "InstanceMessenger.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

const QByteArray kShowRequest = QByteArrayLiteral("show\n");
const QByteArray kShowAnswer = QByteArrayLiteral("ok\n");
// A Unix socket's path must fit in sockaddr_un, 108 bytes on Linux and 104 on macOS.
constexpr qsizetype kMaximumSocketPath = 100;

QString serverNameFor(const QString& dataFolder) {
    const QString beside = QDir(dataFolder).filePath(QStringLiteral("agent.socket"));
    if (QFile::encodeName(beside).size() <= kMaximumSocketPath) {
        return beside;
    }
    // Too deep a data folder: a name derived from it, in the temporary folder, readable by this user only.
    return QStringLiteral("orlin-agent-") +
           QString::fromLatin1(
               QCryptographicHash::hash(QFile::encodeName(dataFolder), QCryptographicHash::Sha256)
                   .toHex()
                   .left(32));
}

}  // namespace

InstanceMessenger::InstanceMessenger(const QString& dataFolder, QObject* parent)
    : QObject(parent), serverName_(serverNameFor(dataFolder)) {}

InstanceMessenger::~InstanceMessenger() = default;

bool InstanceMessenger::listen(std::function<void()> onShowRequested, QString* problem) {
    onShowRequested_ = std::move(onShowRequested);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // The caller holds the instance lock, so a socket already there was left by an agent that ended.
    QLocalServer::removeServer(serverName_);
    if (!server_->listen(serverName_)) {
        if (problem) {
            *problem = server_->errorString();
        }
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &InstanceMessenger::answer);
    return true;
}

void InstanceMessenger::answer() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto handle = [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            // Anything else is not one of ours and has no effect.
            if (socket->readLine(64) == kShowRequest && onShowRequested_) {
                socket->write(kShowAnswer);
                socket->flush();
                onShowRequested_();
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        // The request may have arrived with the connection.
        handle();
    }
}

bool InstanceMessenger::askToShow(std::chrono::milliseconds timeout) const {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    const int waitMs = static_cast<int>(timeout.count());
    if (!socket.waitForConnected(waitMs)) {
        return false;
    }
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(waitMs)) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(waitMs)) {
            return false;
        }
    }
    return socket.readLine(64) == kShowAnswer;
}
