#include "BRSKeychainController.h"

#include <QMutexLocker>
#include <QStringDecoder>

#include "AppInfo.h"
#include "BRSKeychain.h"
#include "BRSLog.h"
#include "SecretStore.h"

namespace {

// Invalid UTF-8 reads as nothing rather than as text with replacement characters, which would then be
// sent to the service as if it were the stored token.
std::optional<QString> textFromUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

BRSKeychainController& BRSKeychainController::sharedKeychainController() {
    // Function-local statics are initialised once, also when several threads ask first.
    static BRSKeychainController controller;
    return controller;
}

BRSKeychainController::BRSKeychainController() = default;
BRSKeychainController::~BRSKeychainController() = default;

BRSKeychain& BRSKeychainController::keychain() {
    QMutexLocker lock(&mutex_);
    if (!keychain_) {
        keychain_.reset(new BRSKeychain());
    }
    if (!valueBuffer_) {
        valueBuffer_.emplace();
    }
    return *keychain_;
}

QHash<QString, QString> BRSKeychainController::values() {
    QMutexLocker lock(&mutex_);
    if (!valueBuffer_) {
        valueBuffer_.emplace();
    }
    return *valueBuffer_;
}

QString BRSKeychainController::serviceName() const {
    return AppInfo::bundleIdentifier();
}

SecretStore* BRSKeychainController::secretStoreLocked() {
    if (!secretStore_) {
        BRSLogError(u"No secret store is set up; the item cannot be reached.");
    }
    return secretStore_.get();
}

void BRSKeychainController::useSecretStore(std::shared_ptr<SecretStore> store) {
    QMutexLocker lock(&mutex_);
    secretStore_ = std::move(store);
}

BRSKeychainController::Text BRSKeychainController::stringForKey(const QString& key) {
    QMutexLocker lock(&mutex_);
    return stringForKeyLocked(key);
}

BRSKeychainController::Text BRSKeychainController::stringForKeyLocked(const QString& key) {
    SecretStore* store = secretStoreLocked();
    const SecretStore::FindResult found =
        store ? store->find(serviceName(), key) : SecretStore::FindResult{SecretStore::Status::Failure, {}};
    if (found.status == SecretStore::Status::Failure) {
        BRSLogWarn(u"The secret store could not be read for the item \"%@\" of %@; it counts as absent.", key,
                   serviceName());
    }
    if (found.status != SecretStore::Status::Success) {
        return std::nullopt;
    }
    std::optional<QString> text = textFromUtf8(found.secret);
    if (!text) {
        BRSLogWarn(u"The item \"%@\" of %@ in the secret store is not UTF-8 text; it counts as absent.", key,
                   serviceName());
    }
    return text;
}

bool BRSKeychainController::storeString(const Text& value, const QString& key) {
    QMutexLocker lock(&mutex_);
    return storeStringLocked(value, key);
}

bool BRSKeychainController::storeStringLocked(const Text& value, const QString& key, QString* reason) {
    // Which item and which step failed are known here alone, so the log line is written here. The store
    // tells no more than that it failed: refused, cancelled at its prompt or silent are one answer to us.
    const auto fail = [this, &key, reason](const char* step) {
        BRSLogWarn(u"The secret store did not %@ the item \"%@\" of %@.", QString::fromLatin1(step), key,
                   serviceName());
        if (reason) {
            *reason =
                QStringLiteral(
                    "the secret store did not %1 it (it refused, its prompt was cancelled, or it did not "
                    "answer)")
                    .arg(QString::fromLatin1(step));
        }
        return false;
    };
    SecretStore* found = secretStoreLocked();
    if (!found) {
        if (reason) {
            *reason = QStringLiteral("no secret store is set up on this computer");
        }
        return false;
    }
    SecretStore& store = *found;
    const QString service = serviceName();
    const SecretStore::Status existing = store.find(service, key).status;
    if (value) {
        const QByteArray secret = value->toUtf8();
        const bool replacing = existing == SecretStore::Status::Success;
        const SecretStore::Status stored =
            replacing ? store.replace(service, key, secret) : store.add(service, key, secret);
        return stored == SecretStore::Status::Success || fail(replacing ? "replace" : "add");
    }
    switch (existing) {
        case SecretStore::Status::Success:
            return store.remove(service, key) != SecretStore::Status::Failure || fail("delete");
        case SecretStore::Status::NotFound:
            return true;
        case SecretStore::Status::Failure:
            // The item may well still be there: a store that could not be asked has deleted nothing.
            return fail("delete");
    }
    return false;
}

BRSKeychainController::Text BRSKeychainController::valueForKeyPath(const QString& keyPath) {
    if (!keyPath.startsWith(kValuesPrefix)) {
        return std::nullopt;
    }
    const QString key = keyPath.mid(kValuesPrefix.size());
    QMutexLocker lock(&mutex_);
    if (!valueBuffer_) {
        valueBuffer_.emplace();
    }
    if (const Text current = stringForKeyLocked(key)) {
        valueBuffer_->insert(key, *current);
    }
    const auto it = valueBuffer_->constFind(key);
    if (it == valueBuffer_->cend()) {
        return std::nullopt;
    }
    return *it;
}

bool BRSKeychainController::setValue(const Text& value, const QString& keyPath) {
    if (!keyPath.startsWith(kValuesPrefix)) {
        return false;
    }
    QMutexLocker lock(&mutex_);
    return setValueLocked(value, keyPath.mid(kValuesPrefix.size()), true, nullptr);
}

bool BRSKeychainController::setValueOrExplain(const Text& value, const QString& keyPath, QString* reason) {
    if (!keyPath.startsWith(kValuesPrefix)) {
        if (reason) {
            *reason = QStringLiteral("it has no place in the secret store");
        }
        return false;
    }
    QMutexLocker lock(&mutex_);
    return setValueLocked(value, keyPath.mid(kValuesPrefix.size()), false, reason);
}

bool BRSKeychainController::setValueLocked(const Text& value, const QString& key, bool bufferRefused,
                                           QString* reason) {
    if (!valueBuffer_) {
        valueBuffer_.emplace();
    }
    // Writing what the store holds already would only cost a round trip (and, on some desktops, a prompt).
    const Text current = stringForKeyLocked(key);
    const bool stored = (current && current == value) || storeStringLocked(value, key, reason);
    if (!stored && !bufferRefused) {
        return false;
    }
    // Otherwise the buffer takes the value even when the store refused it, so the rest of this run has it.
    if (value) {
        valueBuffer_->insert(key, *value);
    } else {
        valueBuffer_->remove(key);
    }
    return stored;
}

void BRSKeychainController::resetForTesting(std::shared_ptr<SecretStore> store) {
    QMutexLocker lock(&mutex_);
    secretStore_ = std::move(store);
    valueBuffer_.reset();
}
