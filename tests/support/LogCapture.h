#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

#include "BRSLog.h"
#include "BRSLogger.h"

// Keeps every line the process's logging facade delivers while it lives, for tests that check what the
// agent writes into its log.
class LogCapture final {
public:
    LogCapture() { BRSLog::sharedInstance().addLogger(logger_); }
    ~LogCapture() { BRSLog::sharedInstance().removeLogger(logger_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The lines delivered so far, each as "<flag> <message>", the flag as "error", "warning" and so on.
    [[nodiscard]] QStringList lines() {
        BRSLog::sharedInstance().flushLog();
        return logger_->lines();
    }

private:
    class Logger final : public BRSLogger {
    public:
        Logger() : BRSLogger("capture") {}
        ~Logger() override { stopQueue(); }
        void logMessage(const BRSLogMessage& message) override {
            const std::lock_guard lock(mutex_);
            lines_.append(flagName(message.flag) + QLatin1Char(' ') + message.message);
        }
        QStringList lines() {
            const std::lock_guard lock(mutex_);
            return lines_;
        }

    private:
        static QString flagName(BRSLogFlag flag) {
            switch (flag) {
                case BRSLogFlag::Error:
                    return QStringLiteral("error");
                case BRSLogFlag::Warning:
                    return QStringLiteral("warning");
                case BRSLogFlag::Info:
                    return QStringLiteral("info");
                case BRSLogFlag::Debug:
                    return QStringLiteral("debug");
                case BRSLogFlag::Verbose:
                    break;
            }
            return QStringLiteral("verbose");
        }

        std::mutex mutex_;
        QStringList lines_;
    };

    std::shared_ptr<Logger> logger_ = std::make_shared<Logger>();
};
