#pragma once

#include "SecretStore.h"

// Secrets in one file that only the user may read or write, for machines without a secret service (the
// headless demo, tests, containers). The file is replaced atomically on each change, so a crash leaves
// either the old or the new set of items, never a torn one.
class FileSecretStore final : public SecretStore {
public:
    explicit FileSecretStore(QString path);

    // Inside the application-support folder, in a folder of its own that only the user may enter.
    [[nodiscard]] static QString pathIn(const QString& applicationSupportFolder);

    [[nodiscard]] FindResult find(const QString& service, const QString& account) override;
    [[nodiscard]] Status add(const QString& service, const QString& account,
                             const QByteArray& secret) override;
    [[nodiscard]] Status replace(const QString& service, const QString& account,
                                 const QByteArray& secret) override;
    [[nodiscard]] Status remove(const QString& service, const QString& account) override;

private:
    enum class Change { Add, Replace, Remove };

    Status change(Change kind, const QString& service, const QString& account, const QByteArray& secret);

    QString path_;
};
