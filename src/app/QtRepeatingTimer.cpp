#include "QtRepeatingTimer.h"

#include "ModalSession.h"

QtRepeatingTimer::QtRepeatingTimer(TickSource ticks) : ticks_(std::move(ticks)) {
    // Qt turns a coarse timer of minutes into a whole-second one by itself; short intervals stay usable.
    timer_.setTimerType(Qt::CoarseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { tickFellDue(); });
    ModalSession::whenAllClosed(&timer_, [this] {
        if (tickHeld_) {
            // Not from inside the closing modal: whoever opened it still has its work to finish.
            QTimer::singleShot(0, &timer_, [this] { fireHeldTick(); });
        }
    });
}

void QtRepeatingTimer::schedule(std::chrono::milliseconds interval, std::function<void()> action) {
    action_ = std::move(action);
    if (ticks_) {
        ticks_(interval, [this] { tickFellDue(); });
    } else {
        timer_.start(interval);
    }
}

void QtRepeatingTimer::fire() {
    if (action_) {
        action_();
    }
}

void QtRepeatingTimer::tickFellDue() {
    if (ModalSession::depth() > 0) {
        tickHeld_ = true;
        return;
    }
    tickHeld_ = false;
    fire();
}

void QtRepeatingTimer::fireHeldTick() {
    // A tick of the schedule may have run first, or another modal opened before the loop came round; that
    // modal's close brings the held tick back.
    if (!tickHeld_ || ModalSession::depth() > 0) {
        return;
    }
    tickHeld_ = false;
    fire();
}
