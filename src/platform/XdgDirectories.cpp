#include "XdgDirectories.h"

#include <utility>

XdgDirectories::XdgDirectories(QProcessEnvironment variables, QString home)
    : variables_(std::move(variables)), home_(std::move(home)) {}

QString XdgDirectories::baseDirectory(const QString& variable, const QString& fallbackBelowHome) const {
    const QString value = variables_.value(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
        return QDir::cleanPath(value);
    }
    return home_ + QLatin1Char('/') + fallbackBelowHome;
}

QString XdgDirectories::configHome() const {
    return baseDirectory(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral(".config"));
}

QString XdgDirectories::dataHome() const {
    return baseDirectory(QStringLiteral("XDG_DATA_HOME"), QStringLiteral(".local/share"));
}

QString XdgDirectories::stateHome() const {
    return baseDirectory(QStringLiteral("XDG_STATE_HOME"), QStringLiteral(".local/state"));
}

QStringList XdgDirectories::configDirs() const {
    QStringList folders;
    for (const QString& folder :
         variables_.value(QStringLiteral("XDG_CONFIG_DIRS")).split(QLatin1Char(':'))) {
        if (!folder.isEmpty() && QDir::isAbsolutePath(folder)) {
            folders.append(QDir::cleanPath(folder));
        }
    }
    if (folders.isEmpty()) {
        folders.append(QStringLiteral("/etc/xdg"));
    }
    return folders;
}
