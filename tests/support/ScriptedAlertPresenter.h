#pragma once

#include <QList>
#include <deque>
#include <functional>

#include "Alert.h"

// Answers alerts without a screen: each alert is recorded, and the answer comes from a queue filled in
// advance. With the queue empty the default button is pressed and the suppression box stays unticked.
class ScriptedAlertPresenter final : public AlertPresenter {
public:
    void enqueueAnswer(AlertResponse response);
    // Runs inside each alert before it is answered: the time a person spends reading it.
    void setWhileOpen(std::function<void(const Alert&)> action) { whileOpen_ = std::move(action); }

    [[nodiscard]] const QList<Alert>& shownAlerts() const { return shown_; }
    [[nodiscard]] std::size_t pendingAnswers() const { return answers_.size(); }

private:
    AlertResponse present(const Alert& alert) override;

    std::function<void(const Alert&)> whileOpen_;
    QList<Alert> shown_;
    std::deque<AlertResponse> answers_;
};
