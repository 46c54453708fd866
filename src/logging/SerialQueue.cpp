#include "SerialQueue.h"

#include <pthread.h>

#include <future>

namespace {

thread_local const std::string* currentQueueLabel = nullptr;

void nameThisThread(const std::string& label) {
#ifdef __APPLE__
    pthread_setname_np(label.c_str());
#else
    // Linux keeps 15 characters; the end of the label tells the loggers apart better than its start.
    const std::string shortName = label.size() > 15 ? label.substr(label.size() - 15) : label;
    pthread_setname_np(pthread_self(), shortName.c_str());
#endif
}

}  // namespace

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {
    std::promise<void> started;
    thread_ = std::thread([this, &started] {
        threadId_ = std::this_thread::get_id();
        started.set_value();
        run();
    });
    // isCurrent() reads the id without a lock, so it must be set before anyone can submit work.
    started.get_future().wait();
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void SerialQueue::async(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        work_.push_back(std::move(work));
    }
    wake_.notify_one();
}

void SerialQueue::sync(const std::function<void()>& work) {
    if (isCurrent()) {
        work();
        return;
    }
    std::promise<void> done;
    async([&work, &done] {
        work();
        done.set_value();
    });
    done.get_future().wait();
}

SerialQueue::TimerId SerialQueue::asyncAfter(Clock::duration delay, std::function<void()> work) {
    TimerId id = 0;
    {
        std::lock_guard lock(mutex_);
        id = nextTimer_++;
        timers_.emplace(Clock::now() + delay, std::make_pair(id, std::move(work)));
    }
    wake_.notify_one();
    return id;
}

void SerialQueue::cancel(TimerId timer) {
    std::lock_guard lock(mutex_);
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.first == timer) {
            timers_.erase(it);
            return;
        }
    }
}

const std::string& SerialQueue::currentLabel() {
    static const std::string none;
    return currentQueueLabel ? *currentQueueLabel : none;
}

void SerialQueue::run() {
    currentQueueLabel = &label_;
    nameThisThread(label_);
    std::deque<std::function<void()>> batch;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!work_.empty()) {
            // Taking everything at once keeps the lock away from the submitters while the work runs.
            batch.swap(work_);
            lock.unlock();
            for (auto& work : batch) {
                work();
            }
            batch.clear();
            lock.lock();
            continue;
        }
        if (stopping_) {
            break;
        }
        if (!timers_.empty()) {
            const auto first = timers_.begin();
            if (first->first <= Clock::now()) {
                std::function<void()> work = std::move(first->second.second);
                timers_.erase(first);
                lock.unlock();
                work();
                lock.lock();
                continue;
            }
            // A copy: cancel() may erase the timer while this thread waits for it.
            const Clock::time_point deadline = first->first;
            wake_.wait_until(lock, deadline);
        } else {
            wake_.wait(lock);
        }
    }
    currentQueueLabel = nullptr;
}
