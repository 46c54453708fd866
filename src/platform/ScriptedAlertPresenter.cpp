#include "ScriptedAlertPresenter.h"

void ScriptedAlertPresenter::enqueueAnswer(AlertResponse response) {
    answers_.push_back(response);
}

AlertResponse ScriptedAlertPresenter::runModal(const Alert& alert) {
    shown_.append(alert);
    if (answers_.empty()) {
        return {};
    }
    AlertResponse response = answers_.front();
    answers_.pop_front();
    return response;
}
