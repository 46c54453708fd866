#pragma once

#include <QString>

// What the bundle tells on macOS: identifier, version and where the application lives, plus the folders
// the agent keeps its files in. Every folder honours the usual XDG variables on Linux, so tests and the
// demo can move them by setting the environment.
class AppInfo final {
public:
    AppInfo() = delete;

    [[nodiscard]] static QString bundleIdentifier();
    [[nodiscard]] static QString shortVersionString();
    // The path that identifies this installation: the .app bundle on macOS, the executable elsewhere.
    [[nodiscard]] static QString applicationPath();

    // Where the signature cache lives (Application Support / $XDG_DATA_HOME, plus the bundle identifier).
    [[nodiscard]] static QString applicationSupportDirectory();
    // The user's Library folder, in which Apple Mail keeps its signatures.
    [[nodiscard]] static QString libraryDirectory();
    // The folder for rolling log files.
    [[nodiscard]] static QString logsDirectory();
    // The executable's file name, which names the log folder.
    [[nodiscard]] static QString processName();
};
