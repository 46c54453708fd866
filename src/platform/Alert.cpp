#include "Alert.h"

#include "Error.h"
#include "ModalSession.h"

AlertPresenter::~AlertPresenter() = default;

AlertResponse AlertPresenter::runModal(const Alert& alert) {
    const ModalSession session;
    return present(alert);
}

Alert Alert::fromError(const Error& error) {
    Alert alert;
    alert.messageText = error.localizedDescription;
    return alert;
}

QStringList Alert::effectiveButtonTitles() const {
    return buttonTitles.isEmpty() ? QStringList{QStringLiteral("OK")} : buttonTitles;
}
