#include "QtRepeatingTimer.h"

QtRepeatingTimer::QtRepeatingTimer() {
    timer_.setTimerType(Qt::VeryCoarseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { fire(); });
}

void QtRepeatingTimer::schedule(std::chrono::milliseconds interval, std::function<void()> action) {
    action_ = std::move(action);
    timer_.start(interval);
}

void QtRepeatingTimer::fire() {
    if (action_) {
        action_();
    }
}
