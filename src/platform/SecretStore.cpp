#include "SecretStore.h"

#include "FileSecretStore.h"
#include "UserDefaults.h"

#if defined(Q_OS_MACOS) || defined(__APPLE__)
#include "KeychainSecretStore.h"
#else
#include "SecretServiceStore.h"
#endif

SecretStore::~SecretStore() = default;

std::unique_ptr<SecretStore> SecretStore::makeDefault() {
    const QVariant choice = UserDefaults::standardUserDefaults().objectForKey(kStoreKey);
    if (choice.typeId() == QMetaType::QString && choice.toString() == kFileStoreValue) {
        return std::make_unique<FileSecretStore>(FileSecretStore::defaultPath());
    }
#if defined(Q_OS_MACOS) || defined(__APPLE__)
    return std::make_unique<KeychainSecretStore>();
#else
    return std::make_unique<SecretServiceStore>();
#endif
}
