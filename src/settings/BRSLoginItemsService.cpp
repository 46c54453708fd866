#include "BRSLoginItemsService.h"

#include "AppInfo.h"

BRSLoginItemsService::BRSLoginItemsService()
    : BRSLoginItemsService(AutostartList::forCurrentUser(), AppInfo::applicationPath()) {}

BRSLoginItemsService::BRSLoginItemsService(AutostartList list, QString applicationPath)
    : list_(std::move(list)), applicationPath_(std::move(applicationPath)) {}

std::optional<AutostartList::Entry> BRSLoginItemsService::itemRefInLoginItems() const {
    const QString application = AutostartList::resolvedApplicationPath(applicationPath_);
    for (const AutostartList::Entry& entry : list_.entries()) {
        if (entry.target == application) {
            return entry;
        }
    }
    return std::nullopt;
}

bool BRSLoginItemsService::isLaunchAtStartup() const {
    return itemRefInLoginItems().has_value();
}

void BRSLoginItemsService::toggleLaunchAtStartup() {
    if (const std::optional<AutostartList::Entry> entry = itemRefInLoginItems()) {
        list_.remove(*entry);
        return;
    }
    // An entry of the agent that the user switched off in the desktop's settings is switched back on: a
    // second file would leave two entries, one of them still off, to confuse those settings.
    const QString application = AutostartList::resolvedApplicationPath(applicationPath_);
    for (const AutostartList::Entry& entry : list_.entries()) {
        if (entry.switchedOffTarget == application) {
            (void)list_.switchOn(entry);
            return;
        }
    }
    (void)list_.append(applicationPath_);
}
