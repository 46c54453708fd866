#pragma once

#include <QTimer>

#include "RepeatingTimer.h"

// The run loop's timer. Coarse: a poll every few minutes has no use for precision, and a coarse timer
// lets the system batch wake-ups.
class QtRepeatingTimer final : public RepeatingTimer {
public:
    QtRepeatingTimer();

    void schedule(std::chrono::milliseconds interval, std::function<void()> action) override;
    void fire() override;

private:
    QTimer timer_;
    std::function<void()> action_;
};
