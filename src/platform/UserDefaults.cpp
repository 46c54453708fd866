#include "UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include "AppInfo.h"
#include "PropertyList.h"
#include "XdgDirectories.h"

#ifdef Q_OS_MACOS
#include <pwd.h>
#include <unistd.h>

#include <QSettings>
#include <memory>
#endif

namespace {

#ifdef Q_OS_MACOS

// The system's own preferences store, which caches the domain and shares it with the defaults tool.
std::unique_ptr<QSettings> applicationSettings(const QString& suite) {
    // Qt names the domain after the organisation's reversed domain and the application: "com.halvex" and
    // "Orlin" give "com.halvex.Orlin", and a suite keeps its own suffix.
    const QString application = suite.mid(QStringLiteral("com.halvex.").size());
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("halvex.com"), application);
    settings->setFallbacksEnabled(false);
    return settings;
}

QVariantMap readUserDomain(const QString& path, const QString& suite) {
    if (suite.isEmpty()) {
        return PropertyList::readDictionary(path).value_or(QVariantMap());
    }
    const auto settings = applicationSettings(suite);
    settings->sync();
    QVariantMap domain;
    for (const QString& key : settings->allKeys()) {
        domain.insert(key, settings->value(key));
    }
    return domain;
}

bool writeUserDomainFile(const QString& path, const QVariantMap& domain);

bool writeUserDomain(const QString& path, const QString& suite, const QVariantMap& domain,
                     const QVariantMap& changes) {
    if (suite.isEmpty()) {
        return writeUserDomainFile(path, domain);
    }
    const auto settings = applicationSettings(suite);
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        if (it->isValid()) {
            settings->setValue(it.key(), *it);
        } else {
            settings->remove(it.key());
        }
    }
    settings->sync();
    return settings->status() == QSettings::NoError;
}

#else

QVariantMap readUserDomain(const QString& path, const QString& /*suite*/) {
    return PropertyList::readDictionary(path).value_or(QVariantMap());
}

bool writeUserDomainFile(const QString& path, const QVariantMap& domain);

bool writeUserDomain(const QString& path, const QString& /*suite*/, const QVariantMap& domain,
                     const QVariantMap& /*changes*/) {
    return writeUserDomainFile(path, domain);
}

#endif

bool writeUserDomainFile(const QString& path, const QVariantMap& domain) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    return PropertyList::writeDictionary(path, domain).ok();
}

QVariantMap readManagedDomain(const QStringList& paths) {
    QVariantMap managed;
    for (const QString& path : paths) {
        const QVariantMap layer = PropertyList::readDictionary(path).value_or(QVariantMap());
        for (auto it = layer.cbegin(); it != layer.cend(); ++it) {
            if (!managed.contains(it.key())) {
                managed.insert(it.key(), *it);
            }
        }
    }
    return managed;
}

void synchronizePendingChangesAtExit() {
    UserDefaults::standardUserDefaults().synchronize();
}

}  // namespace

UserDefaults& UserDefaults::standardUserDefaults() {
    static UserDefaults defaults;
    return defaults;
}

UserDefaults::UserDefaults() : suite_(AppInfo::bundleIdentifier()) {
    reloadLocked();
    // A setting changed shortly before the user quits must not be lost; this instance outlives the
    // application object, so its last write happens as that goes away.
    qAddPostRoutine(synchronizePendingChangesAtExit);
}

UserDefaults::UserDefaults(Locations locations) : fixed_(std::move(locations)) {
    suite_ = fixed_->suite;
    reloadLocked();
}

UserDefaults::~UserDefaults() {
    QMutexLocker lock(&mutex_);
    if (fixed_ && !pendingChanges_.isEmpty()) {
        synchronizeLocked();
    }
}

QString UserDefaults::suiteName() const {
    QMutexLocker lock(&mutex_);
    return suite_;
}

void UserDefaults::useSuite(const QString& suiteName, bool readsManagedLayer) {
    QMutexLocker lock(&mutex_);
    suite_ = suiteName;
    readsManagedLayer_ = readsManagedLayer;
    if (fixed_) {
        fixed_->suite = suiteName;
        fixed_->userDomainPath = QFileInfo(fixed_->userDomainPath).absolutePath() + QLatin1Char('/') +
                                 suiteName + QStringLiteral(".plist");
    }
    pendingChanges_.clear();
    userDomain_.clear();
    reloadLocked();
}

QString UserDefaults::userDomainPath() const {
    QMutexLocker lock(&mutex_);
    return userDomainPathLocked();
}

QStringList UserDefaults::managedDomainPaths() const {
    QMutexLocker lock(&mutex_);
    return managedDomainPathsLocked();
}

QString UserDefaults::userDomainPathLocked() const {
    if (fixed_) {
        return fixed_->userDomainPath;
    }
#ifdef Q_OS_MACOS
    return QDir::homePath() + QStringLiteral("/Library/Preferences/") + suite_ + QStringLiteral(".plist");
#else
    return XdgDirectories().configHome() + QLatin1Char('/') + suite_ + QStringLiteral(".plist");
#endif
}

QStringList UserDefaults::managedDomainPathsLocked() const {
    QStringList paths;
    if (!readsManagedLayer_) {
        return paths;
    }
    if (fixed_) {
        return fixed_->managedDomainPaths;
    }
#ifdef Q_OS_MACOS
    // The per-user profile outranks the computer-wide one.
    if (const passwd* user = getpwuid(getuid()); user && user->pw_name) {
        paths.append(QStringLiteral("/Library/Managed Preferences/") + QString::fromLocal8Bit(user->pw_name) +
                     QLatin1Char('/') + AppInfo::bundleIdentifier() + QStringLiteral(".plist"));
    }
    paths.append(QStringLiteral("/Library/Managed Preferences/") + AppInfo::bundleIdentifier() +
                 QStringLiteral(".plist"));
#else
    for (const QString& folder : XdgDirectories().configDirs()) {
        paths.append(folder + QLatin1Char('/') + AppInfo::bundleIdentifier() +
                     QStringLiteral("/managed.plist"));
    }
#endif
    return paths;
}

QVariantMap UserDefaults::argumentDomainFromArguments(const QStringList& arguments, QStringList* rest) {
    QVariantMap domain;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const bool isKey = argument.size() > 1 && argument.startsWith(QLatin1Char('-')) &&
                           !argument.startsWith(QLatin1String("--"));
        if (isKey && i + 1 < arguments.size()) {
            domain.insert(argument.mid(1), arguments.at(i + 1));
            ++i;
        } else if (rest) {
            rest->append(argument);
        }
    }
    return domain;
}

std::optional<bool> UserDefaults::boolFromValue(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool();
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
            return value.toDouble() != 0.0;
        case QMetaType::QString: {
            const QString text = value.toString().trimmed().toLower();
            if (text == QLatin1String("yes") || text == QLatin1String("true") || text == QLatin1String("1")) {
                return true;
            }
            if (text == QLatin1String("no") || text == QLatin1String("false") || text == QLatin1String("0")) {
                return false;
            }
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

void UserDefaults::setArgumentDomain(const QVariantMap& domain) {
    QMutexLocker lock(&mutex_);
    argumentDomain_ = domain;
}

void UserDefaults::reloadLocked() {
    userDomain_ = readUserDomain(userDomainPathLocked(), suite_);
    for (auto it = pendingChanges_.cbegin(); it != pendingChanges_.cend(); ++it) {
        if (it->isValid()) {
            userDomain_.insert(it.key(), *it);
        } else {
            userDomain_.remove(it.key());
        }
    }
    managedDomain_ = readManagedDomain(managedDomainPathsLocked());
}

bool UserDefaults::synchronize() {
    QMutexLocker lock(&mutex_);
    return synchronizeLocked();
}

bool UserDefaults::synchronizeLocked() {
    synchronizeScheduled_ = false;
    // Read first, so a key another process wrote since our last look survives our write.
    reloadLocked();
    if (pendingChanges_.isEmpty()) {
        return true;
    }
    if (!writeUserDomain(userDomainPathLocked(), suite_, userDomain_, pendingChanges_)) {
        return false;
    }
    pendingChanges_.clear();
    return true;
}

QVariantMap UserDefaults::dictionaryRepresentation() const {
    QMutexLocker lock(&mutex_);
    QVariantMap merged = userDomain_;
    merged.insert(argumentDomain_);
    merged.insert(managedDomain_);
    return merged;
}

QVariant UserDefaults::objectForKey(const QString& key) const {
    QMutexLocker lock(&mutex_);
    for (const QVariantMap* domain : {&managedDomain_, &argumentDomain_, &userDomain_}) {
        if (const auto it = domain->constFind(key); it != domain->cend()) {
            return *it;
        }
    }
    return {};
}

bool UserDefaults::objectIsForcedForKey(const QString& key) const {
    QMutexLocker lock(&mutex_);
    return managedDomain_.contains(key);
}

void UserDefaults::setObject(const QVariant& value, const QString& key) {
    QMutexLocker lock(&mutex_);
    if (value.isValid()) {
        userDomain_.insert(key, value);
    } else {
        userDomain_.remove(key);
    }
    pendingChanges_.insert(key, value);
    scheduleSynchronizeLocked();
}

void UserDefaults::setBool(bool value, const QString& key) {
    setObject(QVariant(value), key);
}

void UserDefaults::removeObjectForKey(const QString& key) {
    setObject(QVariant(), key);
}

void UserDefaults::scheduleSynchronizeLocked() {
    QCoreApplication* application = QCoreApplication::instance();
    if (synchronizeScheduled_ || !application) {
        return;
    }
    synchronizeScheduled_ = true;
    if (!synchronizeContext_) {
        synchronizeContext_ = std::make_unique<QObject>();
        synchronizeContext_->moveToThread(application->thread());
    }
    QMetaObject::invokeMethod(
        synchronizeContext_.get(), [this] { synchronize(); }, Qt::QueuedConnection);
}

void UserDefaults::resetForTesting() {
    QMutexLocker lock(&mutex_);
    argumentDomain_.clear();
    pendingChanges_.clear();
#ifdef Q_OS_MACOS
    if (!suite_.isEmpty()) {
        const auto settings = applicationSettings(suite_);
        settings->clear();
        settings->sync();
        reloadLocked();
        return;
    }
#endif
    QFile::remove(userDomainPathLocked());
    reloadLocked();
}
