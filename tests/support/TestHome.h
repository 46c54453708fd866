#pragma once

#include <QProcessEnvironment>
#include <QString>

// A home is named twice: Qt and POSIX code follow HOME, while Apple's frameworks (the preferences,
// NSHomeDirectory and the standard folders built on it) ignore HOME and follow CFFIXED_USER_HOME. Naming
// only one would leave a Mac agent that a test starts half in the user's real home; elsewhere the second
// is unused.
inline constexpr const char* kHomeVariables[] = {"HOME", "CFFIXED_USER_HOME"};

inline void setHome(QProcessEnvironment& environment, const QString& path) {
    for (const char* name : kHomeVariables) {
        environment.insert(QString::fromLatin1(name), path);
    }
}
