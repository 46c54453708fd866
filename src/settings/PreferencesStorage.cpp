#include "PreferencesStorage.h"

#include <QVariantMap>

#include "BRSLog.h"
#include "UserDefaults.h"

namespace {

const QString kHideInfobox = QStringLiteral("hideInfobox");
const QString kHideQuitMailInfobox = QStringLiteral("hideQuitMailInfobox");
const QString kUpdateSignaturesAutomatically = QStringLiteral("updateSignaturesAutomatically");
const QString kUpdateSignaturesForOutlook = QStringLiteral("updateSignaturesForOutlook");
const QString kUpdateSignaturesForMail = QStringLiteral("updateSignaturesForMail");
const QString kIsUsingICloudDrive = QStringLiteral("isUsingICloudDrive");
const QString kRepairInstalledSignatures = QStringLiteral("repairInstalledSignatures");
const QString kUserName = QStringLiteral("userName");
const QString kDomainToken = QStringLiteral("domainToken");

// A value that is not a boolean counts as absent: only this application writes these keys, and always
// as booleans, so anything else is a broken deployment rather than a choice.
bool boolOrDefault(const QVariantMap& merged, const QString& key, bool fallback) {
    const auto it = merged.constFind(key);
    if (it == merged.cend()) {
        return fallback;
    }
    return UserDefaults::boolFromValue(*it).value_or(fallback);
}

std::optional<QString> textValue(const QVariantMap& merged, const QString& key) {
    const auto it = merged.constFind(key);
    if (it == merged.cend() || it->typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return it->toString();
}

// Callers go on with the values in memory either way; only the log learns that they did not reach disk.
void synchronizeOrLog(UserDefaults& defaults) {
    if (!defaults.synchronize()) {
        BRSLogWarn(u"The preferences could not be written to \"%@\".", defaults.userDomainPath());
    }
}

}  // namespace

PreferencesStorage::PreferencesStorage(UserDefaults& userDefaults) : userDefaults_(userDefaults) {}

void PreferencesStorage::synchronize() {
    synchronizeOrLog(userDefaults_);
}

Preferences PreferencesStorage::getPreferences() {
    synchronizeOrLog(userDefaults_);
    const QVariantMap merged = userDefaults_.dictionaryRepresentation();
    Preferences preferences;
    preferences.hideInfobox_ = boolOrDefault(merged, kHideInfobox, false);
    preferences.hideQuitMailInfobox_ = boolOrDefault(merged, kHideQuitMailInfobox, false);
    preferences.updateSignaturesAutomatically_ = boolOrDefault(merged, kUpdateSignaturesAutomatically, false);
    preferences.updateSignaturesForOutlook_ = boolOrDefault(merged, kUpdateSignaturesForOutlook, true);
    preferences.updateSignaturesForMail_ = boolOrDefault(merged, kUpdateSignaturesForMail, false);
    preferences.isUsingICloudDrive_ = boolOrDefault(merged, kIsUsingICloudDrive, true);
    preferences.repairInstalledSignatures_ = boolOrDefault(merged, kRepairInstalledSignatures, true);
    return preferences;
}

std::optional<DomainTokenSettings> PreferencesStorage::getDomainTokenSetting() {
    synchronizeOrLog(userDefaults_);
    const QVariantMap merged = userDefaults_.dictionaryRepresentation();
    std::optional<QString> userName = textValue(merged, kUserName);
    if (!userName) {
        return std::nullopt;
    }
    std::optional<QString> domainToken = textValue(merged, kDomainToken);
    if (!domainToken) {
        return std::nullopt;
    }
    return DomainTokenSettings(std::move(*userName), std::move(*domainToken));
}

void PreferencesStorage::setHideInfobox(bool value) {
    userDefaults_.setBool(value, kHideInfobox);
}

void PreferencesStorage::setHideQuitMailInfobox(bool value) {
    userDefaults_.setBool(value, kHideQuitMailInfobox);
}

void PreferencesStorage::setUpdateSignaturesAutomatically(bool value) {
    userDefaults_.setBool(value, kUpdateSignaturesAutomatically);
}

void PreferencesStorage::setUpdateSignaturesForOutlook(bool value) {
    userDefaults_.setBool(value, kUpdateSignaturesForOutlook);
}

void PreferencesStorage::setUpdateSignaturesForMail(bool value) {
    userDefaults_.setBool(value, kUpdateSignaturesForMail);
}

void PreferencesStorage::setIsUsingICloudDrive(bool value) {
    userDefaults_.setBool(value, kIsUsingICloudDrive);
}
