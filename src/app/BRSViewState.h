#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <vector>

// The flags that drive the status icon, the menus and the alert options. Observers register for one key
// path and hear about every setter call for it, in the order they registered, also when the value did not
// change: a setter call is an event ("re-evaluate"), not only a change of state.
class BRSViewState final {
public:
    static inline const QString kAreUpdatesAvailable = QStringLiteral("areUpdatesAvailable");
    static inline const QString kIsUpdating = QStringLiteral("isUpdating");
    static inline const QString kHasError = QStringLiteral("hasError");
    static inline const QString kNotifyAfterUpdate = QStringLiteral("notifyAfterUpdate");
    static inline const QString kNotifyBeforeShuttingDownMail =
        QStringLiteral("notifyBeforeShuttingDownMail");
    static inline const QString kHarIndtastetToken = QStringLiteral("harIndtastetToken");

    using Observer = std::function<void(const QString& keyPath, BRSViewState& object, void* context)>;
    using ObservationId = std::uint64_t;

    BRSViewState() = default;
    BRSViewState(const BRSViewState&) = delete;
    BRSViewState& operator=(const BRSViewState&) = delete;

    ObservationId addObserver(const QString& keyPath, Observer observer, void* context = nullptr);
    void removeObserver(ObservationId id);

    [[nodiscard]] bool areUpdatesAvailable() const { return areUpdatesAvailable_; }
    [[nodiscard]] bool isUpdating() const { return isUpdating_; }
    [[nodiscard]] bool hasError() const { return hasError_; }
    [[nodiscard]] bool notifyAfterUpdate() const { return notifyAfterUpdate_; }
    [[nodiscard]] bool notifyBeforeShuttingDownMail() const { return notifyBeforeShuttingDownMail_; }
    [[nodiscard]] bool harIndtastetToken() const { return harIndtastetToken_; }

    void setAreUpdatesAvailable(bool value) { set(areUpdatesAvailable_, value, kAreUpdatesAvailable); }
    void setIsUpdating(bool value) { set(isUpdating_, value, kIsUpdating); }
    void setHasError(bool value) { set(hasError_, value, kHasError); }
    void setNotifyAfterUpdate(bool value) { set(notifyAfterUpdate_, value, kNotifyAfterUpdate); }
    void setNotifyBeforeShuttingDownMail(bool value) {
        set(notifyBeforeShuttingDownMail_, value, kNotifyBeforeShuttingDownMail);
    }
    void setHarIndtastetToken(bool value) { set(harIndtastetToken_, value, kHarIndtastetToken); }

private:
    struct Registration {
        ObservationId id;
        QString keyPath;
        Observer observer;
        void* context;
    };

    void set(std::atomic<bool>& flag, bool value, const QString& keyPath);
    [[nodiscard]] bool isRegistered(ObservationId id) const;

    std::atomic<bool> areUpdatesAvailable_{false};
    std::atomic<bool> isUpdating_{false};
    std::atomic<bool> hasError_{false};
    std::atomic<bool> notifyAfterUpdate_{false};
    std::atomic<bool> notifyBeforeShuttingDownMail_{false};
    std::atomic<bool> harIndtastetToken_{false};

    std::vector<Registration> registrations_;
    ObservationId nextId_ = 1;
};
