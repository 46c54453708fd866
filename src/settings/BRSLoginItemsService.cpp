#include "BRSLoginItemsService.h"

#include "BRSLog.h"
#include "Environment.h"

BRSLoginItemsService::BRSLoginItemsService(const Environment& environment)
    : BRSLoginItemsService(AutostartList::forUser(environment.folders.home, environment.folders.config),
                           environment.applicationPath) {}

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
    // The preferences window shows no failure here; the log says which file could not be changed.
    if (const std::optional<AutostartList::Entry> entry = itemRefInLoginItems()) {
        if (!list_.remove(*entry)) {
            BRSLogWarn(u"The login item \"%@\" could not be removed.", entry->filePath);
        }
        return;
    }
    // An entry of the agent that the user switched off in the desktop's settings is switched back on: a
    // second file would leave two entries, one of them still off, to confuse those settings.
    const QString application = AutostartList::resolvedApplicationPath(applicationPath_);
    for (const AutostartList::Entry& entry : list_.entries()) {
        if (entry.switchedOffTarget == application) {
            if (!list_.switchOn(entry)) {
                BRSLogWarn(u"The login item \"%@\" could not be switched on.", entry.filePath);
            }
            return;
        }
    }
    if (!list_.append(applicationPath_)) {
        BRSLogWarn(u"No login item for \"%@\" could be written.", applicationPath_);
    }
}
