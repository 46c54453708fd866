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

bool BRSKeychain::setObject(const Text& value, const QString& key) {
    return BRSKeychainController::sharedKeychainController().setValue(
        value, BRSKeychainController::kValuesPrefix + key);
}

bool BRSKeychain::setString(const Text& value, const QString& key) {
    return setObject(value, key);
}

bool BRSKeychain::removeObjectForKey(const QString& key) {
    return setObject(std::nullopt, key);
}
