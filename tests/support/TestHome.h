#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

// Moves every folder the agent reads or writes (HOME, the XDG folders, the runtime folder) below `path`,
// so that no test touches the user's own files. Call before the application object is made.
inline void moveHomeTo(const QString& path) {
    const QByteArray root = QFile::encodeName(path);
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_STATE_HOME", root + "/state");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    QDir().mkpath(path + QStringLiteral("/runtime"));
    QFile::setPermissions(path + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QStandardPaths::setTestModeEnabled(true);
}
