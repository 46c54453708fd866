#pragma once

#include <QString>
#include <optional>

// The keychain as the rest of the agent sees it: text values by key. Holds nothing itself; every call goes
// to the shared controller.
class BRSKeychain final {
public:
    using Text = std::optional<QString>;

    [[nodiscard]] static BRSKeychain& sharedKeychain();

    [[nodiscard]] Text objectForKey(const QString& key) const;
    [[nodiscard]] Text stringForKey(const QString& key) const;
    // An absent value deletes the item.
    void setObject(const Text& value, const QString& key);
    void setString(const Text& value, const QString& key);
    void removeObjectForKey(const QString& key);

private:
    friend class BRSKeychainController;
    BRSKeychain() = default;
};
