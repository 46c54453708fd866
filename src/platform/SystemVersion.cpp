#include "SystemVersion.h"

#include <QtGlobal>

#ifdef Q_OS_MACOS
#include <QOperatingSystemVersion>
#else
#include <QString>
#include <QVariant>
#include <QVersionNumber>

#include "UserDefaults.h"
#endif

SystemVersion SystemVersion::operatingSystemVersion([[maybe_unused]] const UserDefaults& defaults) {
#ifdef Q_OS_MACOS
    const QOperatingSystemVersion current = QOperatingSystemVersion::current();
    return SystemVersion{current.majorVersion(), current.minorVersion(), qMax(current.microVersion(), 0)};
#else
    const QVariant value = defaults.objectForKey(QStringLiteral("simulatedSystemVersion"));
    // Text only: a number would read 10.10 as 10.1.
    if (value.typeId() != QMetaType::QString) {
        return {};
    }
    qsizetype suffixIndex = 0;
    const QString text = value.toString().trimmed();
    const QVersionNumber version = QVersionNumber::fromString(text, &suffixIndex);
    if (version.isNull() || suffixIndex != text.size()) {
        return {};
    }
    return SystemVersion{version.majorVersion(), version.minorVersion(), version.microVersion()};
#endif
}
