#include "BRSSettingsStorage.h"

#include "PreferencesStorage.h"

BRSLoginCredentials BRSSettingsStorage::getCredentials() {
    if (const std::optional<DomainTokenSettings> deployed = PreferencesStorage().getDomainTokenSetting()) {
        return BRSLoginCredentials::initWithDomainToken(deployed->domainToken(), deployed->userName());
    }
    return BRSLoginCredentials::initWithUserName(std::nullopt, std::nullopt);
}

void BRSSettingsStorage::setToken(const std::optional<QString>& /*token*/,
                                  const std::optional<QString>& /*userName*/) {}
