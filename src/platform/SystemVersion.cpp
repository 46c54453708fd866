#include "SystemVersion.h"

#include <QVariant>
#include <QVersionNumber>
#include <QtGlobal>

#ifdef Q_OS_MACOS
#include <sys/sysctl.h>

#include <QByteArray>
#include <QOperatingSystemVersion>
#include <QVariantMap>
#include <optional>

#include "PropertyList.h"
#else
#include "UserDefaults.h"
#endif

namespace {

#ifdef Q_OS_MACOS
// Unlike NSProcessInfo and Qt, the kernel's product version ignores the SDK the process was built with.
// There since macOS 10.13.4.
std::optional<QString> kernelProductVersion() {
    std::size_t size = 0;
    if (sysctlbyname("kern.osproductversion", nullptr, &size, nullptr, 0) != 0 || size == 0) {
        return std::nullopt;
    }
    QByteArray text(qsizetype(size), '\0');
    if (sysctlbyname("kern.osproductversion", text.data(), &size, nullptr, 0) != 0) {
        return std::nullopt;
    }
    // The kernel counts the terminating NUL.
    text.truncate(qsizetype(qstrnlen(text.constData(), size)));
    return QString::fromUtf8(text);
}

// Older systems have no such sysctl; they predate the compatibility version too, so their file is honest.
std::optional<QString> systemVersionFileProductVersion() {
    const std::optional<QVariantMap> file =
        PropertyList::readDictionary(QStringLiteral("/System/Library/CoreServices/SystemVersion.plist"));
    if (!file) {
        return std::nullopt;
    }
    return file->value(QStringLiteral("ProductVersion")).toString();
}
#endif

}  // namespace

SystemVersion SystemVersion::fromText(const QString& text) {
    const QString trimmed = text.trimmed();
    qsizetype suffixIndex = 0;
    const QVersionNumber version = QVersionNumber::fromString(trimmed, &suffixIndex);
    if (version.isNull() || suffixIndex != trimmed.size()) {
        return {};
    }
    return SystemVersion{version.majorVersion(), version.minorVersion(), version.microVersion()};
}

SystemVersion SystemVersion::operatingSystemVersion([[maybe_unused]] const UserDefaults& defaults) {
#ifdef Q_OS_MACOS
    if (const std::optional<QString> text = kernelProductVersion()) {
        if (const SystemVersion version = fromText(*text); version.majorVersion != 0) {
            return version;
        }
    }
    if (const std::optional<QString> text = systemVersionFileProductVersion()) {
        if (const SystemVersion version = fromText(*text); version.majorVersion != 0) {
            return version;
        }
    }
    const QOperatingSystemVersion current = QOperatingSystemVersion::current();
    return SystemVersion{current.majorVersion(), current.minorVersion(), qMax(current.microVersion(), 0)};
#else
    const QVariant value = defaults.objectForKey(QStringLiteral("simulatedSystemVersion"));
    // Text only: a number would read 10.10 as 10.1.
    if (value.typeId() != QMetaType::QString) {
        return {};
    }
    return fromText(value.toString());
#endif
}
