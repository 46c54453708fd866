#include "BRSSettingsStorage.h"

#include "BRSKeychain.h"
#include "BRSKeychainController.h"
#include "PreferencesStorage.h"

BRSSettingsStorage::BRSSettingsStorage(UserDefaults& userDefaults) : userDefaults_(userDefaults) {}

BRSLoginCredentials BRSSettingsStorage::getCredentials() {
    // A deployed setting is the administrator's decision, even with an empty token: the keychain must not
    // override it with whatever the user once entered.
    if (const std::optional<DomainTokenSettings> deployed =
            PreferencesStorage(userDefaults_).getDomainTokenSetting()) {
        return BRSLoginCredentials::initWithDomainToken(deployed->domainToken(), deployed->userName());
    }
    BRSKeychain& keychain = BRSKeychain::sharedKeychain();
    if (const auto domainToken = keychain.stringForKey(kDomainTokenKey);
        domainToken && !domainToken->isEmpty()) {
        return BRSLoginCredentials::initWithDomainToken(domainToken, keychain.stringForKey(kUserNameKey));
    }
    if (const auto token = keychain.stringForKey(kRefreshTokenKey); token && !token->isEmpty()) {
        return BRSLoginCredentials::initWithToken(token);
    }
    return BRSLoginCredentials::initWithUserName(keychain.stringForKey(kUserNameStringKey),
                                                 keychain.stringForKey(kPasswordStringKey));
}

bool BRSSettingsStorage::setToken(const std::optional<QString>& token,
                                  const std::optional<QString>& userName) {
    BRSKeychain& keychain = BRSKeychain::sharedKeychain();
    const bool tokenStored = keychain.setObject(token, kRefreshTokenKey);
    keychain.setObject(userName, kUserNameKey);
    return tokenStored;
}

bool BRSSettingsStorage::storeEnteredToken(const QString& token, const std::optional<QString>& userName,
                                           QString* reason) {
    BRSKeychainController& controller = BRSKeychainController::sharedKeychainController();
    if (!controller.setValueOrExplain(token, BRSKeychainController::kValuesPrefix + kRefreshTokenKey,
                                      reason)) {
        return false;
    }
    // The name only labels the sign-in; a store that keeps the token but not the name has logged why.
    BRSKeychain::sharedKeychain().setObject(userName, kUserNameKey);
    return true;
}
