#include "SecretStore.h"

#include "FileSecretStore.h"
#include "UserDefaults.h"

#if defined(Q_OS_MACOS) || defined(__APPLE__)
#include "KeychainSecretStore.h"
#else
#include "SecretServiceStore.h"
#endif

SecretStore::~SecretStore() = default;

std::unique_ptr<SecretStore> SecretStore::make(const UserDefaults& defaults, const QString& fileStorePath) {
    const QVariant choice = defaults.objectForKey(kStoreKey);
    if (choice.typeId() == QMetaType::QString && choice.toString() == kFileStoreValue) {
        return std::make_unique<FileSecretStore>(fileStorePath);
    }
#if defined(Q_OS_MACOS) || defined(__APPLE__)
    return std::make_unique<KeychainSecretStore>();
#else
    return std::make_unique<SecretServiceStore>();
#endif
}
