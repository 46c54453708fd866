#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

// The back-pressure between the threads that log and the logging queue. Unlike the standard semaphore
// it tells how many callers are blocked, which is what the facade's tests need to see.
class CountingSemaphore final {
public:
    explicit CountingSemaphore(std::size_t count) : count_(count) {}

    void acquire();
    void release(std::size_t count = 1);

    [[nodiscard]] std::size_t available() const;
    [[nodiscard]] std::size_t waiting() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable available_;
    std::size_t count_;
    std::size_t waiting_ = 0;
};
