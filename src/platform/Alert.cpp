#include "Alert.h"

#include "Error.h"

AlertPresenter::~AlertPresenter() = default;

Alert Alert::fromError(const Error& error) {
    Alert alert;
    alert.messageText = error.localizedDescription;
    return alert;
}

QStringList Alert::effectiveButtonTitles() const {
    return buttonTitles.isEmpty() ? QStringList{QStringLiteral("OK")} : buttonTitles;
}
