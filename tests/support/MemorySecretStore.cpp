#include "MemorySecretStore.h"

SecretStore::FindResult MemorySecretStore::find(const QString& service, const QString& account) {
    finds.append(account);
    if (failing) {
        return {Status::Failure, {}};
    }
    const auto it = items.constFind(keyOf(service, account));
    return it == items.cend() ? FindResult{Status::NotFound, {}} : FindResult{Status::Success, *it};
}

SecretStore::Status MemorySecretStore::add(const QString& service, const QString& account,
                                           const QByteArray& secret) {
    writes.append(QStringLiteral("add ") + account);
    if (failing || items.contains(keyOf(service, account))) {
        return Status::Failure;
    }
    items.insert(keyOf(service, account), secret);
    return Status::Success;
}

SecretStore::Status MemorySecretStore::replace(const QString& service, const QString& account,
                                               const QByteArray& secret) {
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

SecretStore::Status MemorySecretStore::remove(const QString& service, const QString& account) {
    writes.append(QStringLiteral("remove ") + account);
    if (failing) {
        return Status::Failure;
    }
    return items.remove(keyOf(service, account)) ? Status::Success : Status::NotFound;
}

void MemorySecretStore::put(const QString& account, const QByteArray& secret) {
    items.insert(keyOf(kService, account), secret);
}

bool MemorySecretStore::has(const QString& account) const {
    return items.contains(keyOf(kService, account));
}

QByteArray MemorySecretStore::secretOf(const QString& account) const {
    return items.value(keyOf(kService, account));
}

QString MemorySecretStore::keyOf(const QString& service, const QString& account) {
    return service + QLatin1Char('\n') + account;
}
