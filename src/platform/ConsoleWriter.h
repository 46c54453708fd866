#pragma once

#include <QString>
#include <cstdio>

// Writes whole lines to a stream for the headless front end: one line per event, flushed at once so a
// script reading the agent's output sees each event as it happens. Line breaks inside a value are escaped,
// so every event stays exactly one line.
class ConsoleWriter final {
public:
    explicit ConsoleWriter(std::FILE* stream = stdout) : stream_(stream) {}

    void writeLine(const QString& line) const;

    [[nodiscard]] static QString escapeLineBreaks(const QString& text);

private:
    std::FILE* stream_;
};
