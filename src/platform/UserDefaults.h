#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <optional>

// The application's defaults: a merged read over layered domains, and writes into the user's own domain.
// The argument domain comes from "-key value" pairs on the command line and outranks the user's domain,
// as on macOS, so a script or the demo can set any key for one run without touching stored settings.
//
// The user domain lives in memory for now: values written in this process are read back by every later
// read in it, but are not stored across runs.
class UserDefaults final {
public:
    // The one defaults object of the process.
    [[nodiscard]] static UserDefaults& standardUserDefaults();

    // Collects the "-key value" pairs of a command line, in order (a later pair wins). Returns the
    // arguments that are not such pairs in `rest`. A "-key" without a value is left in `rest`.
    [[nodiscard]] static QVariantMap argumentDomainFromArguments(const QStringList& arguments,
                                                                 QStringList* rest = nullptr);
    // A value read as a boolean the way the defaults system does: booleans and numbers, and the texts
    // "YES"/"NO"/"true"/"false"/"1"/"0" (any case). Anything else is not a boolean.
    [[nodiscard]] static std::optional<bool> boolFromValue(const QVariant& value);

    void setArgumentDomain(const QVariantMap& domain);

    // Writes pending changes and picks up changes made elsewhere; false when that failed.
    bool synchronize();

    [[nodiscard]] QVariantMap dictionaryRepresentation() const;
    [[nodiscard]] QVariant objectForKey(const QString& key) const;

    void setObject(const QVariant& value, const QString& key);
    void setBool(bool value, const QString& key);
    void removeObjectForKey(const QString& key);

    // Forgets the user's domain and the argument domain; for tests that need a clean slate.
    void resetForTesting();

private:
    UserDefaults() = default;

    mutable QMutex mutex_;
    QVariantMap argumentDomain_;
    QVariantMap userDomain_;
};
