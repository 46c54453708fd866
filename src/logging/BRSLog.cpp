#include "BRSLog.h"

#include <cstdlib>
#include <future>
#include <latch>
#include <thread>

namespace {

void drainSharedLogAtExit() {
    // exit() called from one of the logging threads would wait here for itself.
    if (!SerialQueue::currentLabel().empty()) {
        return;
    }
    BRSLog::sharedInstance().flushLog();
}

}  // namespace

BRSLog::BRSLog() : concurrentDelivery_(std::thread::hardware_concurrency() > 1) {}

BRSLog::~BRSLog() {
    flushLog();
    runOnLoggingQueue([this] { removeAllLoggers(); }, true);
}

BRSLog& BRSLog::sharedInstance() {
    // Never destroyed: loggers may still be in use by static destructors and exit handlers of others.
    static BRSLog* const shared = [] {
        auto* log = new BRSLog;
        std::atexit(drainSharedLogAtExit);
        return log;
    }();
    return *shared;
}

void BRSLog::addLogger(std::shared_ptr<BRSLogger> logger, BRSLogLevel level) {
    if (!logger) {
        return;
    }
    runOnLoggingQueue(
        [this, logger = std::move(logger), level] {
            logger->loggerQueue().sync([this, &logger] { logger->didAddToLog(*this); });
            registry_.push_back({logger, level});
        },
        false);
}

void BRSLog::removeLogger(const std::shared_ptr<BRSLogger>& logger) {
    runOnLoggingQueue(
        [this, logger] {
            for (auto it = registry_.begin(); it != registry_.end(); ++it) {
                if (it->logger == logger) {
                    logger->loggerQueue().sync([&logger] { logger->willRemoveFromLog(); });
                    registry_.erase(it);
                    return;
                }
            }
        },
        true);
}

void BRSLog::removeAllLoggers() {
    const auto removeAll = [this] {
        for (const Registered& entry : registry_) {
            entry.logger->loggerQueue().sync([&entry] { entry.logger->willRemoveFromLog(); });
        }
        registry_.clear();
    };
    if (isOnLoggingQueue()) {
        removeAll();
    } else {
        runOnLoggingQueue(removeAll, true);
    }
}

void BRSLog::log(bool asynchronous, BRSLogLevel level, BRSLogFlag flag, int context, const char* file,
                 const char* function, int line, const char* tag, QString message) {
    if (!levelHasFlag(level, flag)) {
        return;
    }
    BRSLogMessage record =
        BRSLogMessage::make(std::move(message), level, flag, context, file, function, line, tag);
    semaphore_.acquire();
    enqueue(std::move(record));
    if (!asynchronous) {
        runOnLoggingQueue([] {}, true);
    }
}

void BRSLog::flushLog() {
    runOnLoggingQueue([this] { flushLoggers(); }, true);
}

void BRSLog::runOnLoggingQueue(std::function<void()> work, bool wait) {
    if (!wait) {
        enqueue(std::move(work));
        return;
    }
    if (isOnLoggingQueue()) {
        work();
        return;
    }
    std::promise<void> done;
    enqueue(std::function<void()>([&work, &done] {
        work();
        done.set_value();
    }));
    done.get_future().wait();
}

void BRSLog::enqueue(Item item) {
    bool schedule = false;
    {
        std::lock_guard lock(pendingMutex_);
        pending_.push_back(std::move(item));
        schedule = !drainScheduled_;
        drainScheduled_ = true;
    }
    // One drain takes everything that arrived meanwhile, so a burst of messages costs the logging queue
    // one wake-up instead of one per message.
    if (schedule) {
        queue_.async([this] { drain(); });
    }
}

void BRSLog::drain() {
    std::vector<Item> items;
    std::vector<BRSLogMessage> run;
    for (;;) {
        {
            std::lock_guard lock(pendingMutex_);
            if (pending_.empty()) {
                drainScheduled_ = false;
                return;
            }
            items.swap(pending_);
        }
        // Work items keep their place between the messages: a logger added after a message never sees it.
        for (Item& item : items) {
            if (auto* message = std::get_if<BRSLogMessage>(&item)) {
                run.push_back(std::move(*message));
                continue;
            }
            if (!run.empty()) {
                deliver(run);
                run.clear();
            }
            std::get<std::function<void()>>(item)();
        }
        if (!run.empty()) {
            deliver(run);
            run.clear();
        }
        items.clear();
    }
}

void BRSLog::deliver(std::span<const BRSLogMessage> messages) {
    std::vector<Registered*> targets;
    for (Registered& entry : registry_) {
        for (const BRSLogMessage& message : messages) {
            if (levelHasFlag(entry.level, message.flag)) {
                targets.push_back(&entry);
                break;
            }
        }
    }
    if (!concurrentDelivery_ || targets.size() < 2) {
        for (Registered* entry : targets) {
            entry->logger->loggerQueue().sync(
                [entry, messages] { entry->logger->logMessages(messages, entry->level); });
        }
    } else {
        std::latch delivered(static_cast<std::ptrdiff_t>(targets.size()));
        for (Registered* entry : targets) {
            entry->logger->loggerQueue().async([entry, messages, &delivered] {
                entry->logger->logMessages(messages, entry->level);
                delivered.count_down();
            });
        }
        delivered.wait();
    }
    semaphore_.release(messages.size());
}

void BRSLog::flushLoggers() {
    if (registry_.empty()) {
        return;
    }
    std::latch flushed(static_cast<std::ptrdiff_t>(registry_.size()));
    for (Registered& entry : registry_) {
        entry.logger->loggerQueue().async([&entry, &flushed] {
            entry.logger->flush();
            flushed.count_down();
        });
    }
    flushed.wait();
}
