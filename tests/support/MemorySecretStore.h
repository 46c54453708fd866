#pragma once

#include <QHash>
#include <QStringList>

#include "SecretStore.h"

// The user's secret store in memory: it records what it was asked, and can be told to refuse everything.
class MemorySecretStore final : public SecretStore {
public:
    FindResult find(const QString& service, const QString& account) override;
    Status add(const QString& service, const QString& account, const QByteArray& secret) override;
    Status replace(const QString& service, const QString& account, const QByteArray& secret) override;
    Status remove(const QString& service, const QString& account) override;

    // Items of the application's own service, by account.
    void put(const QString& account, const QByteArray& secret);
    [[nodiscard]] bool has(const QString& account) const;
    [[nodiscard]] QByteArray secretOf(const QString& account) const;

    static inline const QString kService = QStringLiteral("com.halvex.Orlin");

    QHash<QString, QByteArray> items;
    // The accounts looked up, and "add account", "replace account" or "remove account" per write.
    QStringList finds;
    QStringList writes;
    bool failing = false;

private:
    [[nodiscard]] static QString keyOf(const QString& service, const QString& account);
};
