#pragma once

#include <atomic>
#include <memory>
#include <span>
#include <string>

#include "BRSLogFlag.h"
#include "BRSLogMessage.h"
#include "SerialQueue.h"

class BRSLog;

// Something that writes messages somewhere. Each logger has a serial queue of its own; the facade calls
// logMessages, flush and the add/remove notices only on that queue, so a logger's state needs no locks.
class BRSLogger : public std::enable_shared_from_this<BRSLogger> {
public:
    explicit BRSLogger(std::string name);
    virtual ~BRSLogger();

    BRSLogger(const BRSLogger&) = delete;
    BRSLogger& operator=(const BRSLogger&) = delete;

    [[nodiscard]] const std::string& loggerName() const { return name_; }
    [[nodiscard]] SerialQueue& loggerQueue() { return *queue_; }

    virtual void logMessage(const BRSLogMessage& message) = 0;
    // The facade hands over messages in runs; a logger that can write a run at once overrides this.
    virtual void logMessages(std::span<const BRSLogMessage> messages, BRSLogLevel level);
    virtual void flush() {}
    virtual void didAddToLog(BRSLog& log);
    virtual void willRemoveFromLog();

protected:
    // The facade this logger was added to, or null.
    [[nodiscard]] BRSLog* owningLog() const { return log_.load(); }
    // Derived destructors call this first: work still queued may touch their members.
    void stopQueue() { queue_.reset(); }

private:
    const std::string name_;
    std::atomic<BRSLog*> log_ = nullptr;
    std::unique_ptr<SerialQueue> queue_;
};
