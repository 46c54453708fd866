#include "BRSViewState.h"

#include <algorithm>

BRSViewState::ObservationId BRSViewState::addObserver(const QString& keyPath, Observer observer,
                                                      void* context) {
    const ObservationId id = nextId_++;
    registrations_.push_back({id, keyPath, std::move(observer), context});
    return id;
}

void BRSViewState::removeObserver(ObservationId id) {
    std::erase_if(registrations_, [id](const Registration& r) { return r.id == id; });
}

bool BRSViewState::isRegistered(ObservationId id) const {
    return std::any_of(registrations_.cbegin(), registrations_.cend(),
                       [id](const Registration& r) { return r.id == id; });
}

void BRSViewState::setAreUpdatesAvailable(bool value) {
    areUpdatesAvailable_ = value;
    Q_EMIT areUpdatesAvailableChanged(value);
    notifyObservers(kAreUpdatesAvailable);
}

void BRSViewState::setIsUpdating(bool value) {
    isUpdating_ = value;
    Q_EMIT isUpdatingChanged(value);
    notifyObservers(kIsUpdating);
}

void BRSViewState::setHasError(bool value) {
    hasError_ = value;
    Q_EMIT hasErrorChanged(value);
    notifyObservers(kHasError);
}

void BRSViewState::setNotifyAfterUpdate(bool value) {
    notifyAfterUpdate_ = value;
    Q_EMIT notifyAfterUpdateChanged(value);
    notifyObservers(kNotifyAfterUpdate);
}

void BRSViewState::setNotifyBeforeShuttingDownMail(bool value) {
    notifyBeforeShuttingDownMail_ = value;
    Q_EMIT notifyBeforeShuttingDownMailChanged(value);
    notifyObservers(kNotifyBeforeShuttingDownMail);
}

void BRSViewState::setHarIndtastetToken(bool value) {
    harIndtastetToken_ = value;
    Q_EMIT harIndtastetTokenChanged(value);
    notifyObservers(kHarIndtastetToken);
}

void BRSViewState::notifyObservers(const QString& keyPath) {
    // Observers may set other flags, register or remove observers while they run; work on a copy of the
    // matching registrations and skip any that were removed in the meantime.
    std::vector<Registration> matching;
    for (const Registration& registration : registrations_) {
        if (registration.keyPath == keyPath) {
            matching.push_back(registration);
        }
    }
    for (const Registration& registration : matching) {
        if (isRegistered(registration.id)) {
            registration.observer(keyPath, *this, registration.context);
        }
    }
}
