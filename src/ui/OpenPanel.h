#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

// What the user is asked to pick a file with. The editor only describes the question; a runner asks it,
// so tests can answer without a dialog on screen.
struct OpenPanel {
    using Runner = std::function<std::optional<QString>(const OpenPanel& panel)>;

    QString title;
    bool showsResizeIndicator = true;
    bool showsHiddenFiles = false;
    bool canChooseDirectories = false;
    bool canCreateDirectories = false;
    bool allowsMultipleSelection = false;
    // Extensions without the dot; empty allows every file.
    QStringList allowedFileTypes;

    // The file dialog's filter: exactly the allowed extensions, in either case.
    [[nodiscard]] QString nameFilter() const;
    // Whether a chosen path carries one of the allowed extensions.
    [[nodiscard]] bool allows(const QString& path) const;
    // Asks with the desktop's file dialog; the chosen path, or nothing when the user cancelled.
    [[nodiscard]] static std::optional<QString> runModal(const OpenPanel& panel, QWidget* parent);
};
