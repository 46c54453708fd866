#include "KeychainSecretStore.h"

#if defined(Q_OS_MACOS) || defined(__APPLE__)

#include <Security/Security.h>

// The generic-password calls are deprecated in favour of SecItem, but they address exactly the items that
// the `security` tool shows and creates, which is how an administrator provides the prepared credentials.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"

namespace {

// Every text goes in as UTF-8 with its byte length and no terminating zero.
struct Utf8 {
    explicit Utf8(const QString& text) : bytes(text.toUtf8()) {}
    [[nodiscard]] UInt32 length() const { return static_cast<UInt32>(bytes.size()); }
    [[nodiscard]] const char* data() const { return bytes.constData(); }
    QByteArray bytes;
};

SecretStore::Status statusOf(OSStatus status) {
    if (status == errSecSuccess) {
        return SecretStore::Status::Success;
    }
    return status == errSecItemNotFound ? SecretStore::Status::NotFound : SecretStore::Status::Failure;
}

// The item reference, which the caller releases; nothing with the status of the search otherwise.
SecKeychainItemRef findItem(const QString& service, const QString& account, OSStatus* status) {
    const Utf8 serviceName(service);
    const Utf8 accountName(account);
    SecKeychainItemRef item = nullptr;
    *status =
        SecKeychainFindGenericPassword(nullptr, serviceName.length(), serviceName.data(),
                                       accountName.length(), accountName.data(), nullptr, nullptr, &item);
    return *status == errSecSuccess ? item : nullptr;
}

}  // namespace

SecretStore::FindResult KeychainSecretStore::find(const QString& service, const QString& account) {
    const Utf8 serviceName(service);
    const Utf8 accountName(account);
    UInt32 length = 0;
    void* data = nullptr;
    const OSStatus status =
        SecKeychainFindGenericPassword(nullptr, serviceName.length(), serviceName.data(),
                                       accountName.length(), accountName.data(), &length, &data, nullptr);
    if (status != errSecSuccess) {
        return {statusOf(status), {}};
    }
    FindResult result{Status::Success,
                      QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(length))};
    SecKeychainItemFreeContent(nullptr, data);
    return result;
}

SecretStore::Status KeychainSecretStore::add(const QString& service, const QString& account,
                                             const QByteArray& secret) {
    const Utf8 serviceName(service);
    const Utf8 accountName(account);
    return statusOf(SecKeychainAddGenericPassword(
        nullptr, serviceName.length(), serviceName.data(), accountName.length(), accountName.data(),
        static_cast<UInt32>(secret.size()), secret.constData(), nullptr));
}

SecretStore::Status KeychainSecretStore::replace(const QString& service, const QString& account,
                                                 const QByteArray& secret) {
    OSStatus status = errSecSuccess;
    SecKeychainItemRef item = findItem(service, account, &status);
    if (!item) {
        return statusOf(status == errSecSuccess ? errSecItemNotFound : status);
    }
    status = SecKeychainItemModifyAttributesAndData(item, nullptr, static_cast<UInt32>(secret.size()),
                                                    secret.constData());
    CFRelease(item);
    return statusOf(status);
}

SecretStore::Status KeychainSecretStore::remove(const QString& service, const QString& account) {
    OSStatus status = errSecSuccess;
    SecKeychainItemRef item = findItem(service, account, &status);
    if (!item) {
        return statusOf(status == errSecSuccess ? errSecItemNotFound : status);
    }
    status = SecKeychainItemDelete(item);
    CFRelease(item);
    return statusOf(status);
}

#pragma clang diagnostic pop

#endif
