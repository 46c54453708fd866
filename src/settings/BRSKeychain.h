#pragma once

#include <QString>
#include <optional>

// The keychain as the rest of the agent sees it: text values by key. Holds nothing itself; every call goes
// to the shared controller.
class BRSKeychain final {
public:
    using Text = std::optional<QString>;

    // Shared because it is the shared controller's facade and holds nothing of its own.
    [[nodiscard]] static BRSKeychain& sharedKeychain();

    [[nodiscard]] Text objectForKey(const QString& key) const;
    [[nodiscard]] Text stringForKey(const QString& key) const;
    // An absent value deletes the item. False when the secret store refused the write; the value is
    // still kept in this process's buffer then.
    bool setObject(const Text& value, const QString& key);
    bool setString(const Text& value, const QString& key);
    bool removeObjectForKey(const QString& key);

private:
    friend class BRSKeychainController;
    BRSKeychain() = default;
};
