#include "BRSLogger.h"

BRSLogger::BRSLogger(std::string name)
    : name_(std::move(name)), queue_(std::make_unique<SerialQueue>(name_)) {}

BRSLogger::~BRSLogger() = default;

void BRSLogger::logMessages(std::span<const BRSLogMessage> messages, BRSLogLevel level) {
    for (const BRSLogMessage& message : messages) {
        if (levelHasFlag(level, message.flag)) {
            logMessage(message);
        }
    }
}

void BRSLogger::didAddToLog(BRSLog& log) {
    log_ = &log;
}

void BRSLogger::willRemoveFromLog() {
    log_ = nullptr;
}
