#include "SystemSettings.h"

#include <QProcess>

bool SystemSettings::exists() {
#ifdef Q_OS_MACOS
    return true;
#else
    return false;
#endif
}

bool SystemSettings::open([[maybe_unused]] const QString& url) {
#ifdef Q_OS_MACOS
    return QProcess::startDetached(QStringLiteral("/usr/bin/open"), {url});
#else
    return false;
#endif
}
