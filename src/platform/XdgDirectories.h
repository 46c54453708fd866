#pragma once

#include <QDir>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The base folders of the freedesktop.org layout that a set of environment variables names (the process's
// own unless told otherwise). The variables must hold absolute paths; an empty or relative one is invalid,
// and its documented fallback below the home is taken instead, so a stray "XDG_CONFIG_HOME=config" cannot
// scatter files into the working folder.
class XdgDirectories final {
public:
    explicit XdgDirectories(QProcessEnvironment variables = QProcessEnvironment::systemEnvironment(),
                            QString home = QDir::homePath());

    // $XDG_CONFIG_HOME, or ~/.config.
    [[nodiscard]] QString configHome() const;
    // $XDG_DATA_HOME, or ~/.local/share.
    [[nodiscard]] QString dataHome() const;
    // $XDG_STATE_HOME, or ~/.local/state.
    [[nodiscard]] QString stateHome() const;
    // The absolute folders of $XDG_CONFIG_DIRS in order, or /etc/xdg when it names none.
    [[nodiscard]] QStringList configDirs() const;

private:
    [[nodiscard]] QString baseDirectory(const QString& variable, const QString& fallbackBelowHome) const;

    QProcessEnvironment variables_;
    QString home_;
};
