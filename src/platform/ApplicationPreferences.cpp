#include "ApplicationPreferences.h"

#include <QDir>

#include "PropertyList.h"
#include "UserDefaults.h"

#ifdef Q_OS_MACOS
#include <CoreFoundation/CoreFoundation.h>
#endif

namespace {

#ifdef Q_OS_MACOS
QVariant variantFromPropertyList(CFPropertyListRef value) {
    if (!value) {
        return {};
    }
    const CFTypeID type = CFGetTypeID(value);
    if (type == CFBooleanGetTypeID()) {
        return QVariant(CFBooleanGetValue(static_cast<CFBooleanRef>(value)) != 0);
    }
    if (type == CFNumberGetTypeID()) {
        double number = 0;
        CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, &number);
        return QVariant(number);
    }
    if (type == CFStringGetTypeID()) {
        return QVariant(QString::fromCFString(static_cast<CFStringRef>(value)));
    }
    // No key this agent reads holds anything else.
    return {};
}
#endif

}  // namespace

ApplicationPreferences::ApplicationPreferences(QString applicationId, QString configFolder,
                                               QString libraryFolder)
    : applicationId_(std::move(applicationId)),
      configFolder_(std::move(configFolder)),
      libraryFolder_(std::move(libraryFolder)) {}

QString ApplicationPreferences::standInPath() const {
    return QDir::cleanPath(configFolder_) + QLatin1Char('/') + applicationId_ + QStringLiteral(".plist");
}

QString ApplicationPreferences::containerPath() const {
    return QDir::cleanPath(libraryFolder_) + QStringLiteral("/Containers/") + applicationId_ +
           QStringLiteral("/Data/Library/Preferences/") + applicationId_ + QStringLiteral(".plist");
}

QVariant ApplicationPreferences::objectForKey(const QString& key) const {
    if (!libraryFolder_.isEmpty()) {
        if (const std::optional<QVariantMap> container = PropertyList::readDictionary(containerPath())) {
            if (const QVariant value = container->value(key); value.isValid()) {
                return value;
            }
        }
    }
    return domainObjectForKey(key);
}

QVariant ApplicationPreferences::domainObjectForKey(const QString& key) const {
#ifdef Q_OS_MACOS
    const CFStringRef cfKey = key.toCFString();
    const CFStringRef cfApplication = applicationId_.toCFString();
    const CFPropertyListRef value = CFPreferencesCopyAppValue(cfKey, cfApplication);
    QVariant result = variantFromPropertyList(value);
    if (value) {
        CFRelease(value);
    }
    CFRelease(cfApplication);
    CFRelease(cfKey);
    return result;
#else
    return PropertyList::readDictionary(standInPath()).value_or(QVariantMap()).value(key);
#endif
}

std::optional<bool> ApplicationPreferences::boolForKey(const QString& key) const {
    const QVariant value = objectForKey(key);
    if (!value.isValid()) {
        return std::nullopt;
    }
    return UserDefaults::boolFromValue(value);
}
