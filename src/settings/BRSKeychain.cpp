#include "BRSKeychain.h"

#include "BRSKeychainController.h"

BRSKeychain& BRSKeychain::sharedKeychain() {
    return BRSKeychainController::sharedKeychainController().keychain();
}

BRSKeychain::Text BRSKeychain::objectForKey(const QString& key) const {
    return BRSKeychainController::sharedKeychainController().valueForKeyPath(
        BRSKeychainController::kValuesPrefix + key);
}

BRSKeychain::Text BRSKeychain::stringForKey(const QString& key) const {
    return objectForKey(key);
}

void BRSKeychain::setObject(const Text& value, const QString& key) {
    BRSKeychainController::sharedKeychainController().setValue(value,
                                                               BRSKeychainController::kValuesPrefix + key);
}

void BRSKeychain::setString(const Text& value, const QString& key) {
    setObject(value, key);
}

void BRSKeychain::removeObjectForKey(const QString& key) {
    setObject(std::nullopt, key);
}
