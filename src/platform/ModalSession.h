#pragma once

#include <functional>

class QObject;

// One modal question, alert or panel for as long as it is open. A modal runs a nested event loop that
// holds the whole run loop, whoever opened it, so the count is process-wide on purpose, as the run loop's
// modal mode is on the Mac: anything that must not run inside a modal (the poll) asks here. Sessions nest;
// closing the last one tells the listeners.
class ModalSession final {
public:
    ModalSession();
    ~ModalSession();
    ModalSession(const ModalSession&) = delete;
    ModalSession& operator=(const ModalSession&) = delete;

    // How many modals are open now; 0 when none is.
    [[nodiscard]] static int depth();
    // Calls the listener each time the last open modal closes, for as long as the context lives.
    static void whenAllClosed(QObject* context, std::function<void()> listener);
};
