#include "BRSLoginItemsService.h"

#include <QDir>

#include "AppInfo.h"
#include "BRSLog.h"
#include "Environment.h"

namespace {

std::optional<BRSLoginItemsService::SystemLoginItem> systemLoginItemFor(
    [[maybe_unused]] const Environment& environment) {
#ifdef Q_OS_MACOS
    // The system's item always stands for the running bundle and the logged-in user, so an environment
    // for anything else (a test's binary, the demo's sandbox home) keeps to its own autostart list.
    if (MacLoginItem::isAvailable() && environment.applicationPath.endsWith(QLatin1String(".app")) &&
        environment.applicationPath == AppInfo::applicationPath() &&
        environment.folders.home == QDir::homePath()) {
        return BRSLoginItemsService::SystemLoginItem{&MacLoginItem::status, &MacLoginItem::setEnabled};
    }
#endif
    return std::nullopt;
}

}  // namespace

BRSLoginItemsService::BRSLoginItemsService(const Environment& environment)
    : BRSLoginItemsService(AutostartList::forUser(environment.folders.home, environment.folders.config),
                           environment.applicationPath, systemLoginItemFor(environment)) {}

BRSLoginItemsService::BRSLoginItemsService(AutostartList list, QString applicationPath,
                                           std::optional<SystemLoginItem> systemLoginItem)
    : list_(std::move(list)),
      applicationPath_(std::move(applicationPath)),
      systemLoginItem_(std::move(systemLoginItem)) {}

bool BRSLoginItemsService::isTranslocated(const QString& path) {
    return QDir::cleanPath(path).contains(QLatin1String("/AppTranslocation/"));
}

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
    if (systemLoginItem_) {
        return systemLoginItem_->status() == MacLoginItem::Status::Enabled;
    }
    return itemRefInLoginItems().has_value();
}

BRSLoginItemsService::Outcome BRSLoginItemsService::toggleLaunchAtStartup() {
    return systemLoginItem_ ? toggleSystemLoginItem() : toggleAutostartList();
}

BRSLoginItemsService::Outcome BRSLoginItemsService::toggleSystemLoginItem() {
    const bool enable = !isLaunchAtStartup();
    // Registered from there, the item would point at a copy that is gone at the next login.
    if (enable && isTranslocated(applicationPath_)) {
        BRSLogWarn(u"Start at login refused: Orlin runs from a temporary location (%@).", applicationPath_);
        return Outcome::Translocated;
    }
    QString error;
    // The call's answer is not the whole story (registering an item the user has yet to allow fails with
    // the item registered all the same), so the status afterwards decides.
    static_cast<void>(systemLoginItem_->setEnabled(enable, &error));
    const MacLoginItem::Status status = systemLoginItem_->status();
    if (enable && status == MacLoginItem::Status::RequiresApproval) {
        return Outcome::AwaitingApproval;
    }
    if ((status == MacLoginItem::Status::Enabled) != enable) {
        BRSLogWarn(u"The login item could not be %@: %@",
                   enable ? QStringLiteral("registered") : QStringLiteral("unregistered"),
                   error.isEmpty() ? QStringLiteral("the system kept it as it was") : error);
        return Outcome::Failed;
    }
    // A launch agent left from an older macOS would start a second agent, or start it when switched off.
    removeOwnAutostartEntries();
    return Outcome::Changed;
}

void BRSLoginItemsService::removeOwnAutostartEntries() {
    const QString application = AutostartList::resolvedApplicationPath(applicationPath_);
    for (const AutostartList::Entry& entry : list_.entries()) {
        if ((entry.target == application || entry.switchedOffTarget == application) && !list_.remove(entry)) {
            BRSLogWarn(u"The old login item \"%@\" could not be removed.", entry.filePath);
        }
    }
}

BRSLoginItemsService::Outcome BRSLoginItemsService::toggleAutostartList() {
    if (const std::optional<AutostartList::Entry> entry = itemRefInLoginItems()) {
        if (!list_.remove(*entry)) {
            BRSLogWarn(u"The login item \"%@\" could not be removed.", entry->filePath);
            return Outcome::Failed;
        }
        return Outcome::Changed;
    }
    // The entry would name a copy that is gone at the next login. Only macOS makes such copies.
    if (isTranslocated(applicationPath_)) {
        BRSLogWarn(u"Start at login refused: Orlin runs from a temporary location (%@).", applicationPath_);
        return Outcome::Translocated;
    }
    // An entry of the agent that the user switched off in the desktop's settings is switched back on: a
    // second file would leave two entries, one of them still off, to confuse those settings.
    const QString application = AutostartList::resolvedApplicationPath(applicationPath_);
    for (const AutostartList::Entry& entry : list_.entries()) {
        if (entry.switchedOffTarget == application) {
            if (!list_.switchOn(entry)) {
                BRSLogWarn(u"The login item \"%@\" could not be switched on.", entry.filePath);
                return Outcome::Failed;
            }
            return Outcome::Changed;
        }
    }
    if (!list_.append(applicationPath_)) {
        BRSLogWarn(u"No login item for \"%@\" could be written.", applicationPath_);
        return Outcome::Failed;
    }
    return Outcome::Changed;
}
