#pragma once

#include <QString>

// The system's settings application, opened at a pane by its `x-apple.systempreferences:` address. Only
// macOS has one; elsewhere nothing offers to open it.
class SystemSettings final {
public:
    [[nodiscard]] static bool exists();
    // Hands the address to the system and returns at once; false when that could not be done.
    [[nodiscard]] static bool open(const QString& url);
};
