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
        // The application a switched-off entry would start once switched back on; nothing otherwise.
        std::optional<QString> switchedOffTarget;
    };

    AutostartList(QString folder, Format format);
    // The list of the user whose home and configuration folder these are, on this platform.
    [[nodiscard]] static AutostartList forUser(const QString& home, const QString& configFolder);

    // The label of the launch agent the agent writes for itself.
    [[nodiscard]] static QString launchAgentLabel();
    // The form of `path` that targets are compared in.
    [[nodiscard]] static QString resolvedApplicationPath(const QString& path);

    [[nodiscard]] QList<Entry> entries() const;
    // Adds an entry after every existing one; nothing when it could not be written.
    std::optional<Entry> append(const QString& applicationPath);
    bool remove(const Entry& entry);
    // Lets the session start a switched-off entry again, keeping the rest of the file as it is. The entry
    // as it reads afterwards; nothing when it could not be rewritten.
    std::optional<Entry> switchOn(const Entry& entry);

private:
    [[nodiscard]] QString suffix() const;
    [[nodiscard]] Entry read(const QString& filePath) const;

    QString folder_;
    Format format_;
};
