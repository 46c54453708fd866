#pragma once

#include <QString>
#include <optional>

#include "AutostartList.h"

struct Environment;

// Whether the agent starts when the user logs in, kept only in the session's autostart list. The agent
// counts as "on" exactly when an entry starts this very copy of it; an entry for a copy elsewhere is
// someone else's. Stateless apart from what it was made with: make one per use.
class BRSLoginItemsService final {
public:
    // This installation in the list of the environment's user.
    explicit BRSLoginItemsService(const Environment& environment);
    BRSLoginItemsService(AutostartList list, QString applicationPath);

    [[nodiscard]] bool isLaunchAtStartup() const;
    // Removes the first entry for this application; otherwise switches its first switched-off entry back
    // on, or adds one at the end. A refused change is silent; ask isLaunchAtStartup again to learn the
    // outcome.
    void toggleLaunchAtStartup();
    // The first entry that starts this application.
    [[nodiscard]] std::optional<AutostartList::Entry> itemRefInLoginItems() const;

private:
    AutostartList list_;
    QString applicationPath_;
};
