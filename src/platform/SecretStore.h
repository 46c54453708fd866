#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class UserDefaults;

// The user's store of generic-password items, each named by a service and an account, holding secret
// bytes: the keychain on macOS, the Secret Service on Linux, or a private file where neither is wanted.
// Implementations are called from one thread at a time.
class SecretStore {
public:
    enum class Status {
        Success,
        // The store answered and holds no such item.
        NotFound,
        // The store could not be asked, refused, or did not answer in time.
        Failure,
    };

    struct FindResult {
        Status status = Status::Failure;
        QByteArray secret;
    };

    // The defaults key that chooses the file store with the value "file".
    static inline const QString kStoreKey = QStringLiteral("secretStore");
    static inline const QString kFileStoreValue = QStringLiteral("file");

    virtual ~SecretStore();

    [[nodiscard]] virtual FindResult find(const QString& service, const QString& account) = 0;
    // May fail when the item exists already.
    [[nodiscard]] virtual Status add(const QString& service, const QString& account,
                                     const QByteArray& secret) = 0;
    // Replaces the secret of an item that exists.
    [[nodiscard]] virtual Status replace(const QString& service, const QString& account,
                                         const QByteArray& secret) = 0;
    // NotFound when there was no such item.
    [[nodiscard]] virtual Status remove(const QString& service, const QString& account) = 0;

    // The store this platform keeps secrets in, unless the defaults ask for the file store at
    // `fileStorePath`.
    [[nodiscard]] static std::unique_ptr<SecretStore> make(const UserDefaults& defaults,
                                                           const QString& fileStorePath);
};
