#include "BRSViewState.h"

// Each flag is stored before its signal goes out, so a receiver that reads the state sees the new value.

void BRSViewState::setAreUpdatesAvailable(bool value) {
    areUpdatesAvailable_ = value;
    Q_EMIT areUpdatesAvailableChanged(value);
}

void BRSViewState::setIsUpdating(bool value) {
    isUpdating_ = value;
    Q_EMIT isUpdatingChanged(value);
}

void BRSViewState::setHasError(bool value) {
    hasError_ = value;
    Q_EMIT hasErrorChanged(value);
}

void BRSViewState::setNotifyAfterUpdate(bool value) {
    notifyAfterUpdate_ = value;
    Q_EMIT notifyAfterUpdateChanged(value);
}

void BRSViewState::setNotifyBeforeShuttingDownMail(bool value) {
    notifyBeforeShuttingDownMail_ = value;
    Q_EMIT notifyBeforeShuttingDownMailChanged(value);
}

void BRSViewState::setHarIndtastetToken(bool value) {
    harIndtastetToken_ = value;
    Q_EMIT harIndtastetTokenChanged(value);
}
