#pragma once

#include <QObject>
#include <atomic>

// The flags that drive the status icon, the menus and the alert options. Each flag has its own signal,
// emitted on every setter call, also when the value did not change: a setter call is an event
// ("re-evaluate"), not only a change of state. Receivers hear it in the order they connected.
class BRSViewState final : public QObject {
    Q_OBJECT

public:
    BRSViewState() = default;

    [[nodiscard]] bool areUpdatesAvailable() const { return areUpdatesAvailable_; }
    [[nodiscard]] bool isUpdating() const { return isUpdating_; }
    [[nodiscard]] bool hasError() const { return hasError_; }
    [[nodiscard]] bool notifyAfterUpdate() const { return notifyAfterUpdate_; }
    [[nodiscard]] bool notifyBeforeShuttingDownMail() const { return notifyBeforeShuttingDownMail_; }
    [[nodiscard]] bool harIndtastetToken() const { return harIndtastetToken_; }

    void setAreUpdatesAvailable(bool value);
    void setIsUpdating(bool value);
    void setHasError(bool value);
    void setNotifyAfterUpdate(bool value);
    void setNotifyBeforeShuttingDownMail(bool value);
    void setHarIndtastetToken(bool value);

Q_SIGNALS:
    void areUpdatesAvailableChanged(bool value);
    void isUpdatingChanged(bool value);
    void hasErrorChanged(bool value);
    void notifyAfterUpdateChanged(bool value);
    void notifyBeforeShuttingDownMailChanged(bool value);
    void harIndtastetTokenChanged(bool value);

private:
    std::atomic<bool> areUpdatesAvailable_{false};
    std::atomic<bool> isUpdating_{false};
    std::atomic<bool> hasError_{false};
    std::atomic<bool> notifyAfterUpdate_{false};
    std::atomic<bool> notifyBeforeShuttingDownMail_{false};
    std::atomic<bool> harIndtastetToken_{false};
};
