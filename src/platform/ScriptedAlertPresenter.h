#pragma once

#include <QList>
#include <deque>

#include "Alert.h"

// Answers alerts without a screen: each alert is recorded, and the answer comes from a queue filled in
// advance. With the queue empty the default button is pressed and the suppression box stays unticked.
class ScriptedAlertPresenter final : public AlertPresenter {
public:
    void enqueueAnswer(AlertResponse response);
    AlertResponse runModal(const Alert& alert) override;

    [[nodiscard]] const QList<Alert>& shownAlerts() const { return shown_; }
    [[nodiscard]] std::size_t pendingAnswers() const { return answers_.size(); }

private:
    QList<Alert> shown_;
    std::deque<AlertResponse> answers_;
};
