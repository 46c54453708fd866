#pragma once

#include <QString>

// The system's own login item for this application (ServiceManagement's main-app service, macOS 13 and
// later), which the user also sees and switches in System Settings › General › Login Items. It always
// stands for the running bundle. macOS only: built only there, and callers guard their calls.
class MacLoginItem final {
public:
    enum class Status {
        NotRegistered,
        Enabled,
        // Registered, but the user has to allow it in System Settings before it starts anything; also how
        // an item the user switched off there can read.
        RequiresApproval,
        NotFound,
    };

    MacLoginItem() = delete;

    // False before macOS 13, and in a build made with an SDK that predates it.
    [[nodiscard]] static bool isAvailable();
    // NotFound when unavailable.
    [[nodiscard]] static Status status();
    // The system's description of a failure goes to `error` (may be null).
    [[nodiscard]] static bool setEnabled(bool enabled, QString* error);
};
