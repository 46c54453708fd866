#pragma once

#include <QHash>
#include <QStringList>

#include "SecretStore.h"

// An in-memory secret store that counts what it was asked, and can be told to refuse everything.
class RecordingSecretStore final : public SecretStore {
public:
    FindResult find(const QString& service, const QString& account) override {
        finds.append(account);
        if (failing) {
            return {Status::Failure, {}};
        }
        const auto it = items.constFind(keyOf(service, account));
        return it == items.cend() ? FindResult{Status::NotFound, {}} : FindResult{Status::Success, *it};
    }
    Status add(const QString& service, const QString& account, const QByteArray& secret) override {
        writes.append(QStringLiteral("add ") + account);
        if (failing || items.contains(keyOf(service, account))) {
            return Status::Failure;
        }
        items.insert(keyOf(service, account), secret);
        return Status::Success;
    }
    Status replace(const QString& service, const QString& account, const QByteArray& secret) override {
        writes.append(QStringLiteral("replace ") + account);
        if (failing) {
            return Status::Failure;
        }
        if (!items.contains(keyOf(service, account))) {
            return Status::NotFound;
        }
        items.insert(keyOf(service, account), secret);
        return Status::Success;
    }
    Status remove(const QString& service, const QString& account) override {
        writes.append(QStringLiteral("remove ") + account);
        if (failing) {
            return Status::Failure;
        }
        return items.remove(keyOf(service, account)) ? Status::Success : Status::NotFound;
    }

    // Items of the application's own service, by account.
    void put(const QString& account, const QByteArray& secret) {
        items.insert(keyOf(kService, account), secret);
    }
    [[nodiscard]] bool has(const QString& account) const { return items.contains(keyOf(kService, account)); }
    [[nodiscard]] QByteArray secretOf(const QString& account) const {
        return items.value(keyOf(kService, account));
    }

    static inline const QString kService = QStringLiteral("com.halvex.Orlin");

    QHash<QString, QByteArray> items;
    QStringList finds;
    QStringList writes;
    bool failing = false;

private:
    static QString keyOf(const QString& service, const QString& account) {
        return service + QLatin1Char('\n') + account;
    }
};
