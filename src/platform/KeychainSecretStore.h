#pragma once

#include "SecretStore.h"

// Generic-password items in the user's default keychain and search list.
class KeychainSecretStore final : public SecretStore {
public:
    [[nodiscard]] FindResult find(const QString& service, const QString& account) override;
    [[nodiscard]] Status add(const QString& service, const QString& account,
                             const QByteArray& secret) override;
    [[nodiscard]] Status replace(const QString& service, const QString& account,
                                 const QByteArray& secret) override;
    [[nodiscard]] Status remove(const QString& service, const QString& account) override;
};
