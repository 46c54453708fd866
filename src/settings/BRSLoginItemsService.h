#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "AutostartList.h"
#include "MacLoginItem.h"

struct Environment;

// Whether the agent starts when the user logs in. On macOS 13 and later that is the system's own login
// item for the running bundle, so that switching Orlin off in System Settings shows here as off; before
// that, and on Linux, it is the session's autostart list, where the agent counts as "on" exactly when an
// entry starts this very copy of it (an entry for a copy elsewhere is someone else's). Stateless apart
// from what it was made with: make one per use.
class BRSLoginItemsService final {
public:
    // The system's login item; real on macOS, a fake in tests.
    struct SystemLoginItem {
        std::function<MacLoginItem::Status()> status;
        std::function<bool(bool enabled, QString* error)> setEnabled;
    };

    // What a toggle came to, beyond what isLaunchAtStartup reads afterwards.
    enum class Outcome {
        Changed,
        // Logged; the state is what it was.
        Failed,
        // Refused: macOS runs this copy from a temporary, read-only place that is gone at the next login.
        Translocated,
        // Registered, but nothing starts until the user allows Orlin in System Settings › Login Items.
        AwaitingApproval,
    };

    // This installation, for the environment's user: the system's login item when the environment is the
    // running bundle's own and the system has one, the autostart list otherwise.
    explicit BRSLoginItemsService(const Environment& environment);
    BRSLoginItemsService(AutostartList list, QString applicationPath,
                         std::optional<SystemLoginItem> systemLoginItem = std::nullopt);

    // A login item that merely awaits the user's approval starts nothing, so it reads as off.
    [[nodiscard]] bool isLaunchAtStartup() const;
    // With the system's login item, registers or unregisters it, and removes this copy's own entries
    // from the autostart list that it replaces. Otherwise removes the first entry for this application,
    // or switches its first switched-off entry back on, or adds one at the end.
    Outcome toggleLaunchAtStartup();
    // The first entry of the autostart list that starts this application.
    [[nodiscard]] std::optional<AutostartList::Entry> itemRefInLoginItems() const;

    // Whether `path` lies inside the temporary copy macOS runs a quarantined application from when it was
    // opened where it was downloaded (App Translocation).
    [[nodiscard]] static bool isTranslocated(const QString& path);

private:
    Outcome toggleSystemLoginItem();
    Outcome toggleAutostartList();
    void removeOwnAutostartEntries();

    AutostartList list_;
    QString applicationPath_;
    std::optional<SystemLoginItem> systemLoginItem_;
};
