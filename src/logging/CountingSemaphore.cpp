#include "CountingSemaphore.h"

void CountingSemaphore::acquire() {
    std::unique_lock lock(mutex_);
    if (count_ == 0) {
        ++waiting_;
        available_.wait(lock, [this] { return count_ > 0; });
        --waiting_;
    }
    --count_;
}

void CountingSemaphore::release(std::size_t count) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        count_ += count;
        wake = waiting_ > 0;
    }
    if (wake) {
        available_.notify_all();
    }
}

std::size_t CountingSemaphore::available() const {
    std::lock_guard lock(mutex_);
    return count_;
}

std::size_t CountingSemaphore::waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_;
}
