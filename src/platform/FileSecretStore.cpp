#include "FileSecretStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <optional>

#include "AtomicFile.h"

namespace {

constexpr mode_t kOwnerOnlyFile = 0600;
constexpr QFileDevice::Permissions kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// {service: {account: Base64 of the secret}}. Nothing when the file exists but cannot be read or
// understood: writing over it would lose every other item in it.
std::optional<QJsonObject> readItems(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return QJsonObject();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

bool writeItems(const QString& path, const QJsonObject& items) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return false;
    }
    // Also tightens a folder someone widened since it was made.
    if (!QFile::setPermissions(folder, kOwnerOnlyFolder)) {
        return false;
    }
    // A secret is always the owner's alone, whatever mode someone gave the file since.
    return AtomicFile::write(path, QJsonDocument(items).toJson(QJsonDocument::Compact),
                             {.newFileMode = kOwnerOnlyFile, .keepExistingMode = false})
        .ok();
}

std::optional<QByteArray> secretOf(const QJsonObject& items, const QString& service, const QString& account) {
    const QJsonValue value = items.value(service).toObject().value(account);
    if (!value.isString()) {
        return std::nullopt;
    }
    return QByteArray::fromBase64(value.toString().toLatin1());
}

}  // namespace

FileSecretStore::FileSecretStore(QString path) : path_(std::move(path)) {}

QString FileSecretStore::pathIn(const QString& applicationSupportFolder) {
    return applicationSupportFolder + QStringLiteral("/Secrets/secrets.json");
}

SecretStore::FindResult FileSecretStore::find(const QString& service, const QString& account) {
    const std::optional<QJsonObject> items = readItems(path_);
    if (!items) {
        return {Status::Failure, {}};
    }
    if (std::optional<QByteArray> secret = secretOf(*items, service, account)) {
        return {Status::Success, std::move(*secret)};
    }
    return {Status::NotFound, {}};
}

SecretStore::Status FileSecretStore::add(const QString& service, const QString& account,
                                         const QByteArray& secret) {
    return change(Change::Add, service, account, secret);
}

SecretStore::Status FileSecretStore::replace(const QString& service, const QString& account,
                                             const QByteArray& secret) {
    return change(Change::Replace, service, account, secret);
}

SecretStore::Status FileSecretStore::remove(const QString& service, const QString& account) {
    return change(Change::Remove, service, account, {});
}

SecretStore::Status FileSecretStore::change(Change kind, const QString& service, const QString& account,
                                            const QByteArray& secret) {
    std::optional<QJsonObject> items = readItems(path_);
    if (!items) {
        return Status::Failure;
    }
    const bool exists = secretOf(*items, service, account).has_value();
    if (kind == Change::Add && exists) {
        return Status::Failure;
    }
    if (kind != Change::Add && !exists) {
        return Status::NotFound;
    }
    QJsonObject accounts = items->value(service).toObject();
    if (kind == Change::Remove) {
        accounts.remove(account);
    } else {
        accounts.insert(account, QString::fromLatin1(secret.toBase64()));
    }
    if (accounts.isEmpty()) {
        items->remove(service);
    } else {
        items->insert(service, accounts);
    }
    return writeItems(path_, *items) ? Status::Success : Status::Failure;
}
