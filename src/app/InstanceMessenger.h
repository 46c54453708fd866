#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

class QLocalServer;

// How a second launch on the same data reaches the agent that holds it: the running agent listens on a
// local socket kept beside its instance lock, and a later launch from the desktop asks it to show itself,
// so a user who starts Orlin again sees where it already is instead of nothing.
class InstanceMessenger final : public QObject {
    Q_OBJECT

public:
    explicit InstanceMessenger(const QString& dataFolder, QObject* parent = nullptr);
    ~InstanceMessenger() override;

    // For the agent that holds the instance lock: only it may replace a socket a crashed agent left behind.
    // `onShowRequested` runs on the main thread for every launch that asks.
    [[nodiscard]] bool listen(std::function<void()> onShowRequested, QString* problem = nullptr);
    // For a launch that found the lock held: true once the running agent has taken the request.
    [[nodiscard]] bool askToShow(std::chrono::milliseconds timeout) const;

    [[nodiscard]] QString serverName() const { return serverName_; }

private:
    void answer();

    QString serverName_;
    QLocalServer* server_ = nullptr;
    std::function<void()> onShowRequested_;
};
