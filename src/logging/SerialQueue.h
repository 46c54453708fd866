#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// A queue of work that one thread of its own runs in the order it was submitted, plus one-shot timers
// that run on the same thread. Everything a logger keeps is touched only from its queue, so the logger
// itself needs no locks.
class SerialQueue final {
public:
    using TimerId = std::uint64_t;
    using Clock = std::chrono::steady_clock;

    explicit SerialQueue(std::string label);
    // Runs the work already submitted, drops the timers that have not fired, then joins the thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> work);
    // Waits for the work. From the queue's own thread it runs at once: waiting for itself would never end.
    void sync(const std::function<void()>& work);
    [[nodiscard]] TimerId asyncAfter(Clock::duration delay, std::function<void()> work);
    // A timer that already fired, or is firing, is not affected.
    void cancel(TimerId timer);

    [[nodiscard]] bool isCurrent() const { return std::this_thread::get_id() == threadId_; }
    [[nodiscard]] const std::string& label() const { return label_; }

    // The label of the queue whose thread calls this; empty on threads that are not a queue's.
    [[nodiscard]] static const std::string& currentLabel();

private:
    void run();

    const std::string label_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> work_;
    std::multimap<Clock::time_point, std::pair<TimerId, std::function<void()>>> timers_;
    TimerId nextTimer_ = 1;
    bool stopping_ = false;
    std::thread::id threadId_;
    std::thread thread_;
};
