#include "ScriptedAlertPresenter.h"

void ScriptedAlertPresenter::enqueueAnswer(AlertResponse response) {
    answers_.push_back(response);
}

AlertResponse ScriptedAlertPresenter::present(const Alert& alert) {
    shown_.append(alert);
    if (whileOpen_) {
        whileOpen_(alert);
    }
    if (answers_.empty()) {
        return {};
    }
    AlertResponse response = answers_.front();
    answers_.pop_front();
    return response;
}
