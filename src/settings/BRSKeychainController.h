#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <memory>
#include <optional>

class BRSKeychain;
class SecretStore;

// A small key/value store over the user's secret store: each key is one item of the application (service =
// the bundle identifier, account = the key), the value is the item's secret as UTF-8 text.
//
// Every value read or written in this process is also kept in a buffer, so that a value stays readable for
// the rest of the run when the secret store refuses to keep it; the store's item wins whenever there is one.
// Values are reached through key paths "values.<key>", as the rest of the agent asks for them.
class BRSKeychainController final {
public:
    using Text = std::optional<QString>;

    static inline const QString kValuesPrefix = QStringLiteral("values.");

    // A singleton because the agent's behaviour names one shared controller, whose buffer every part sees.
    [[nodiscard]] static BRSKeychainController& sharedKeychainController();

    // Makes the facade (and the buffer) on first use.
    [[nodiscard]] BRSKeychain& keychain();
    // A copy of the buffer.
    [[nodiscard]] QHash<QString, QString> values();
    [[nodiscard]] QString serviceName() const;

    // Straight to the secret store, without the buffer.
    [[nodiscard]] Text stringForKey(const QString& key);
    // Adds, replaces or (for an absent value) deletes the item; true when the store did so.
    bool storeString(const Text& value, const QString& key);

    // Key paths that do not begin with "values." name nothing: reads answer nothing, writes are dropped
    // (and fail). A write is true when the store holds the value afterwards, whatever the buffer took.
    [[nodiscard]] Text valueForKeyPath(const QString& keyPath);
    bool setValue(const Text& value, const QString& keyPath);
    // For a value the user is told about: a refusal comes back with the store's reason, and the refused
    // value is not buffered either, so nothing goes on using what the user was told was not saved.
    bool setValueOrExplain(const Text& value, const QString& keyPath, QString* reason);

    // The store every later call goes to; set once at launch. Until then, and with none, the store
    // answers nothing and keeps nothing.
    void useSecretStore(std::shared_ptr<SecretStore> store);
    // For tests: puts `store` in place of the one in use, and empties the buffer.
    void resetForTesting(std::shared_ptr<SecretStore> store);

private:
    BRSKeychainController();
    ~BRSKeychainController();

    [[nodiscard]] SecretStore* secretStoreLocked();
    Text stringForKeyLocked(const QString& key);
    bool storeStringLocked(const Text& value, const QString& key, QString* reason = nullptr);
    bool setValueLocked(const Text& value, const QString& key, bool bufferRefused, QString* reason);

    // The buffer and the secret store are used from whichever thread asks, so they are used under one lock.
    QMutex mutex_;
    std::unique_ptr<BRSKeychain> keychain_;
    std::optional<QHash<QString, QString>> valueBuffer_;
    std::shared_ptr<SecretStore> secretStore_;
};
