#pragma once

#include "Alert.h"

// Alerts as message boxes, with the suppression check box under the text.
class QtAlertPresenter final : public AlertPresenter {
private:
    AlertResponse present(const Alert& alert) override;
};
