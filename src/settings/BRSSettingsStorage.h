#pragma once

#include <QString>
#include <optional>

#include "BRSLoginCredentials.h"

class UserDefaults;

// Decides which credentials apply, and stores a renewed token. Stateless: make one per use.
class BRSSettingsStorage final {
public:
    // The defaults are where an administrator deploys a domain token.
    explicit BRSSettingsStorage(UserDefaults& userDefaults);

    // Keychain accounts.
    static inline const QString kRefreshTokenKey = QStringLiteral("refreshToken");
    static inline const QString kUserNameKey = QStringLiteral("userName");
    static inline const QString kDomainTokenKey = QStringLiteral("domainToken");
    static inline const QString kUserNameStringKey = QStringLiteral("userNameString");
    static inline const QString kPasswordStringKey = QStringLiteral("passwordString");

    // Always a record, in this order of precedence: the domain token an administrator deployed in the
    // defaults, a domain token in the keychain, the stored token, then user name and password (which may
    // both be absent, leaving a record that is good for nothing).
    [[nodiscard]] BRSLoginCredentials getCredentials();
    // Stores both in the keychain; an absent value deletes its item. True when the secret store kept the
    // token, which is what signing in depends on.
    bool setToken(const std::optional<QString>& token, const std::optional<QString>& userName);
    // For a token the user entered and is told about: false, with the secret store's reason, when the
    // store did not keep it; then nothing of it is kept, not even for the rest of this run.
    bool storeEnteredToken(const QString& token, const std::optional<QString>& userName, QString* reason);

private:
    UserDefaults& userDefaults_;
};
