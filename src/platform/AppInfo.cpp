#include "AppInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "XdgDirectories.h"

#ifndef ORLIN_VERSION
#define ORLIN_VERSION "0.0.0"
#endif

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
    return XdgDirectories().stateHome() + QLatin1Char('/') + processName() + QStringLiteral("/logs");
#endif
}
