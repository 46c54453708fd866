#pragma once

#include <QList>
#include <QString>
#include <optional>

// The programs the user's session starts at login, one file per entry in a folder: XDG autostart entries
// on Linux (~/.config/autostart/*.desktop), launch agents on macOS (~/Library/LaunchAgents/*.plist).
// Entries are listed in file-name order (plain code-point order), which is the list's order.
class AutostartList final {
public:
    enum class Format { DesktopEntries, LaunchAgents };

    struct Entry {
        QString filePath;
        // The application the entry starts, with symbolic links resolved (on macOS the .app bundle);
        // nothing when the entry starts nothing that exists, or is switched off.
        std::optional<QString> target;
    };

    AutostartList(QString folder, Format format);
    // The current user's list on this platform.
    [[nodiscard]] static AutostartList forCurrentUser();

    // The form of `path` that targets are compared in.
    [[nodiscard]] static QString resolvedApplicationPath(const QString& path);

    [[nodiscard]] QList<Entry> entries() const;
    // Adds an entry after every existing one; nothing when it could not be written.
    std::optional<Entry> append(const QString& applicationPath);
    bool remove(const Entry& entry);

private:
    [[nodiscard]] QString suffix() const;

    QString folder_;
    Format format_;
};
