#pragma once

#include <QString>
#include <chrono>

#include "BRSLogFlag.h"

// One logged message, built on the caller's thread at the moment of logging and handed unchanged to
// every logger. File, function and tag point at string literals of the call site, which live as long as
// the program, so copying a record never copies them.
struct BRSLogMessage {
    QString message;
    BRSLogLevel level = BRSLogLevel::Off;
    BRSLogFlag flag = BRSLogFlag::Verbose;
    int context = 0;
    const char* file = "";
    const char* function = "";
    int line = 0;
    const char* tag = nullptr;
    unsigned options = 0;
    std::chrono::system_clock::time_point timestamp;
    QString threadID;
    QString threadName;
    QString queueLabel;

    // Fills in the time and the calling thread's identity.
    [[nodiscard]] static BRSLogMessage make(QString message, BRSLogLevel level, BRSLogFlag flag, int context,
                                            const char* file, const char* function, int line,
                                            const char* tag);
};
