#pragma once

#include <QTimer>

#include "RepeatingTimer.h"

// The run loop's timer. Coarse: a poll every few minutes has no use for precision, and a coarse timer
// lets the system batch wake-ups. It does not fire inside a modal: a tick that falls due while one is
// open waits, and however many fell due, one tick runs once the last modal has closed.
class QtRepeatingTimer final : public RepeatingTimer {
public:
    // Calls `fellDue` each time an interval has passed. Tests pass their own clock here, so the rules
    // about modals run on the timer a launch uses without waiting for real intervals.
    using TickSource = std::function<void(std::chrono::milliseconds interval, std::function<void()> fellDue)>;

    // Without a source, the run loop's coarse timer.
    explicit QtRepeatingTimer(TickSource ticks = {});

    void schedule(std::chrono::milliseconds interval, std::function<void()> action) override;
    void fire() override;

private:
    void tickFellDue();
    void fireHeldTick();

    QTimer timer_;
    TickSource ticks_;
    std::function<void()> action_;
    bool tickHeld_ = false;
};
