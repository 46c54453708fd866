#pragma once

#include <QHash>

#include "SecretStore.h"

// The keychain as the windows see it, in memory, keyed by account.
class MemorySecretStore final : public SecretStore {
public:
    FindResult find(const QString& /*service*/, const QString& account) override {
        const auto it = items.constFind(account);
        return it == items.cend() ? FindResult{Status::NotFound, {}} : FindResult{Status::Success, *it};
    }
    Status add(const QString& /*service*/, const QString& account, const QByteArray& secret) override {
        if (items.contains(account)) {
            return Status::Failure;
        }
        items.insert(account, secret);
        ++writes;
        return Status::Success;
    }
    Status replace(const QString& /*service*/, const QString& account, const QByteArray& secret) override {
        if (!items.contains(account)) {
            return Status::NotFound;
        }
        items.insert(account, secret);
        ++writes;
        return Status::Success;
    }
    Status remove(const QString& /*service*/, const QString& account) override {
        ++writes;
        return items.remove(account) ? Status::Success : Status::NotFound;
    }

    QHash<QString, QByteArray> items;
    int writes = 0;
};
