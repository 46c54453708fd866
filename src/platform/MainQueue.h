#pragma once

#include <functional>

// Runs work on the main thread's event loop, after whatever is running now has returned. Safe to call from
// any thread; the work runs in the order it was posted.
class MainQueue final {
public:
    MainQueue() = delete;

    static void post(std::function<void()> work);
};
