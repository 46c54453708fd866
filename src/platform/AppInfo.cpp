#include "AppInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef ORLIN_VERSION
#define ORLIN_VERSION "0.0.0"
#endif

namespace {

#ifndef Q_OS_MACOS
QString environmentPath(const char* name, const QString& fallbackBelowHome) {
    const QString value = qEnvironmentVariable(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
        return QDir::cleanPath(value);
    }
    return QDir::homePath() + QLatin1Char('/') + fallbackBelowHome;
}
#endif

}  // namespace

QString AppInfo::processName() {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return name.isEmpty() ? QStringLiteral("orlin-agent") : name;
}

QString AppInfo::bundleIdentifier() {
    return QStringLiteral("com.halvex.Orlin");
}

QString AppInfo::shortVersionString() {
    return QStringLiteral(ORLIN_VERSION);
}

QString AppInfo::applicationPath() {
    const QString executable = QCoreApplication::applicationFilePath();
#ifdef Q_OS_MACOS
    // …/Orlin.app/Contents/MacOS/Orlin: the login items and the about window name the bundle.
    QDir dir = QFileInfo(executable).absoluteDir();
    if (dir.cdUp() && dir.cdUp() && dir.absolutePath().endsWith(QLatin1String(".app"))) {
        return dir.absolutePath();
    }
#endif
    return executable;
}

QString AppInfo::applicationSupportDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') +
           bundleIdentifier();
}

QString AppInfo::libraryDirectory() {
    return QDir::homePath() + QStringLiteral("/Library");
}

QString AppInfo::logsDirectory() {
#ifdef Q_OS_MACOS
    return QDir::homePath() + QStringLiteral("/Library/Logs/") + processName();
#else
    return environmentPath("XDG_STATE_HOME", QStringLiteral(".local/state")) + QLatin1Char('/') +
           processName() + QStringLiteral("/logs");
#endif
}
