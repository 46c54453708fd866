#pragma once

#include <chrono>
#include <functional>

// A timer that repeats until the process ends. Injected, so tests fire ticks by hand instead of waiting.
class RepeatingTimer {
public:
    virtual ~RepeatingTimer();

    virtual void schedule(std::chrono::milliseconds interval, std::function<void()> action) = 0;
    // Runs the action now, without moving the schedule.
    virtual void fire() = 0;
};
