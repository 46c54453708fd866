#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

// The loggers the agent runs with: the console, and a file rolled daily and kept for a week. One place,
// so that what a benchmark measures is what the agent pays.
class AgentLoggers final {
public:
    AgentLoggers() = delete;

    // Attaches both to the process's logging facade, and sends Qt's own messages the same way. The files
    // go to `logsFolder` and roll by `clock`.
    static void attach(const QString& logsFolder, std::function<QDateTime()> clock);
    // Delivers what is queued and lets the loggers go; Qt's messages reach standard error again, so a
    // warning raised while the process tears down is still seen.
    static void detach();

    // Sends Qt's messages (qWarning and the like, from Qt itself or from us) to the logging facade, so
    // that a user's log holds them beside the agent's own lines. Idempotent.
    static void forwardQtMessages();
    static void stopForwardingQtMessages();
};
