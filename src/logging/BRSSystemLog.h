#pragma once

#include <QString>
#include <functional>

// Where the logging facility reports its own failures. It cannot log them through itself: the failure
// may be the very file it would write to. Reports go to syslog and to standard error.
class BRSSystemLog final {
public:
    using Sink = std::function<void(const QString&)>;

    BRSSystemLog() = delete;

    static void report(const QString& text);
    // Tests read the reports here instead of the system log; an empty sink restores the system log.
    static void setSink(Sink sink);
};
