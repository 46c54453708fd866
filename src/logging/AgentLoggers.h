#pragma once

// The loggers the agent runs with: the console, and a file rolled daily and kept for a week. One place,
// so that what a benchmark measures is what the agent pays.
class AgentLoggers final {
public:
    AgentLoggers() = delete;

    // Attaches both to the process's logging facade.
    static void attach();
};
