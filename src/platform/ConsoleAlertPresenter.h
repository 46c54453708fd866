#pragma once

#include "Alert.h"
#include "ConsoleWriter.h"

// The headless front end's alerts: each one is printed as "alert <message> | <informative text>" and
// answered at once, the same way every time, as chosen on the command line.
class ConsoleAlertPresenter final : public AlertPresenter {
public:
    enum class Answer { Continue, Cancel };

    explicit ConsoleAlertPresenter(Answer answer, ConsoleWriter writer = ConsoleWriter());

private:
    AlertResponse present(const Alert& alert) override;

    Answer answer_;
    ConsoleWriter writer_;
};
