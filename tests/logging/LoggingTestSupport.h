#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "BRSLogger.h"

// Waits for something another thread does, without a deadline that a slow sanitizer build could miss.
inline bool eventually(const std::function<bool()>& condition) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The message texts of the lines of a log file, without the time in front.
inline QStringList messagesIn(const QString& path) {
    QStringList messages;
    for (const QByteArray& line : readAll(path).split('\n')) {
        if (!line.isEmpty()) {
            messages.append(QString::fromUtf8(line.mid(line.indexOf("  ") + 2)));
        }
    }
    return messages;
}

// Keeps what it is given; its gate, when closed, holds each message until the test lets one through.
class RecordingLogger final : public BRSLogger {
public:
    explicit RecordingLogger(std::string name = "test") : BRSLogger(std::move(name)) {}
    ~RecordingLogger() override {
        open();
        stopQueue();
    }

    void logMessage(const BRSLogMessage& message) override {
        std::unique_lock lock(mutex_);
        ++entered_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return gateOpen_ || permits_ > 0; });
        if (!gateOpen_) {
            --permits_;
        }
        messages_.push_back(message);
    }
    void flush() override {
        std::lock_guard lock(mutex_);
        ++flushes_;
    }

    void close() {
        std::lock_guard lock(mutex_);
        gateOpen_ = false;
    }
    void open() {
        std::lock_guard lock(mutex_);
        gateOpen_ = true;
        changed_.notify_all();
    }
    void letThrough(int count) {
        std::lock_guard lock(mutex_);
        permits_ += count;
        changed_.notify_all();
    }
    [[nodiscard]] int entered() {
        std::lock_guard lock(mutex_);
        return entered_;
    }
    [[nodiscard]] int flushes() {
        std::lock_guard lock(mutex_);
        return flushes_;
    }
    [[nodiscard]] std::vector<BRSLogMessage> messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    [[nodiscard]] QStringList texts() {
        QStringList texts;
        for (const BRSLogMessage& message : messages()) {
            texts.append(message.message);
        }
        return texts;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool gateOpen_ = true;
    int permits_ = 0;
    int entered_ = 0;
    int flushes_ = 0;
    std::vector<BRSLogMessage> messages_;
};
