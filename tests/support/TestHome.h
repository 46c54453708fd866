#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>

// A home is named twice: Qt and POSIX code follow HOME, while Apple's frameworks (the preferences,
// NSHomeDirectory and the standard folders built on it) ignore HOME and follow CFFIXED_USER_HOME. Naming
// only one would leave a Mac test or agent half in the user's real home; elsewhere the second is unused.
inline constexpr const char* kHomeVariables[] = {"HOME", "CFFIXED_USER_HOME"};

inline void setHome(QProcessEnvironment& environment, const QString& path) {
    for (const char* name : kHomeVariables) {
        environment.insert(QString::fromLatin1(name), path);
    }
}

// Moves every folder the agent reads or writes (the home, the XDG folders, the runtime folder) below
// `path`, so that no test touches the user's own files. Call before the application object is made.
inline void moveHomeTo(const QString& path) {
    const QByteArray root = QFile::encodeName(path);
    for (const char* name : kHomeVariables) {
        qputenv(name, root);
    }
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
