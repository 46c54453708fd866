#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <memory>
#include <optional>

class QObject;

// The application's defaults: a merged read over layered domains, and writes into the user's own domain.
// Precedence, as on macOS: values an administrator forces (the managed layer) > "-key value" pairs from the
// command line (the argument domain) > the user's own domain. So a script or the demo can set any key for
// one run without touching stored settings, and nothing the user does overrides a managed value.
//
// Linux keeps the user's domain in $XDG_CONFIG_HOME/com.halvex.Orlin.plist and reads the managed layer from
// com.halvex.Orlin/managed.plist in each folder of $XDG_CONFIG_DIRS (the first folder that holds a key
// wins). macOS keeps the user's domain in the system's preferences and reads the managed profiles the
// system installs.
//
// Writes land in memory at once and reach the disk at the next synchronize, which the event loop runs soon
// after a write and the application runs once more as it quits.
class UserDefaults final {
public:
    // Where an instance keeps and finds its layers, fixed when it is made.
    struct Locations {
        // The user's domain. Linux reads and writes this file; macOS keeps the domain in the system's
        // preferences under `suite` and only reports the file, unless `suite` is empty: then the file is
        // the domain there too, for defaults that must stay out of the user's real preferences.
        QString userDomainPath;
        QString suite;
        // The administrator's layer, the first file that holds a key wins; none reads no managed layer.
        QStringList managedDomainPaths;
    };

    // Defaults kept in the given places, for a run that must not use the process's own (the demo).
    // Pending changes are written when the instance goes away.
    explicit UserDefaults(Locations locations);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The process's own defaults, read from the folders its environment names. One per process because
    // the live agent's environment and the tests share it, and it writes its last changes as the
    // application object goes away, after everything that holds it.
    [[nodiscard]] static UserDefaults& standardUserDefaults();

    // Collects the "-key value" pairs of a command line, in order (a later pair wins). Returns the
    // arguments that are not such pairs in `rest`. A "-key" without a value is left in `rest`.
    [[nodiscard]] static QVariantMap argumentDomainFromArguments(const QStringList& arguments,
                                                                 QStringList* rest = nullptr);
    // A value read as a boolean the way the defaults system does: booleans and numbers, and the texts
    // "YES"/"NO"/"true"/"false"/"1"/"0" (any case). Anything else is not a boolean.
    [[nodiscard]] static std::optional<bool> boolFromValue(const QVariant& value);

    // Where the two stored layers live.
    [[nodiscard]] QString userDomainPath() const;
    [[nodiscard]] QStringList managedDomainPaths() const;

    void setArgumentDomain(const QVariantMap& domain);

    // Moves the user's domain to a suite of its own (a name beside the bundle identifier, such as
    // "com.halvex.Orlin.tests") and, unless told otherwise, stops reading the managed layer, then reads
    // everything again. For the tests on macOS, whose preferences system ignores HOME: they must never
    // read or write the user's real settings, nor act on an administrator's.
    void useSuite(const QString& suiteName, bool readsManagedLayer = false);
    [[nodiscard]] QString suiteName() const;

    // Writes pending changes and picks up changes made elsewhere (by another process or an administrator);
    // false when the pending changes could not be written. They stay pending and are tried again.
    bool synchronize();

    [[nodiscard]] QVariantMap dictionaryRepresentation() const;
    [[nodiscard]] QVariant objectForKey(const QString& key) const;
    // True when the managed layer decides the key, so a setter cannot change what a read yields.
    [[nodiscard]] bool objectIsForcedForKey(const QString& key) const;

    void setObject(const QVariant& value, const QString& key);
    void setBool(bool value, const QString& key);
    void removeObjectForKey(const QString& key);

    // A clean slate for tests that run in a temporary home: forgets the argument domain, removes the
    // user's domain (pending changes and the stored file) and reads the managed layer again.
    void resetForTesting();

private:
    UserDefaults();

    [[nodiscard]] QString userDomainPathLocked() const;
    [[nodiscard]] QStringList managedDomainPathsLocked() const;
    void reloadLocked();
    bool synchronizeLocked();
    void scheduleSynchronizeLocked();

    mutable QMutex mutex_;
    // Nothing for the process's own defaults, which follow its environment as it changes.
    std::optional<Locations> fixed_;
    QString suite_;
    bool readsManagedLayer_ = true;
    // Carries the queued synchronize; going with the instance, it takes an unrun one along.
    std::unique_ptr<QObject> synchronizeContext_;
    QVariantMap managedDomain_;
    QVariantMap argumentDomain_;
    QVariantMap userDomain_;
    // Written in this process and not stored yet; an invalid value stands for a removal.
    QVariantMap pendingChanges_;
    bool synchronizeScheduled_ = false;
};
