#include "OpenPanel.h"

#include <QFileDialog>
#include <QFileInfo>

#include "ModalSession.h"

QString OpenPanel::nameFilter() const {
    if (allowedFileTypes.isEmpty()) {
        return {};
    }
    QStringList patterns;
    for (const QString& type : allowedFileTypes) {
        patterns.append(QStringLiteral("*.") + type);
    }
    return QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' ')));
}

bool OpenPanel::allows(const QString& path) const {
    if (allowedFileTypes.isEmpty()) {
        return true;
    }
    return allowedFileTypes.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

std::optional<QString> OpenPanel::runModal(const OpenPanel& panel, QWidget* parent) {
    QFileDialog dialog(parent, panel.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A folder is never a picture, so the dialog opens folders to look inside them rather than
    // returning them; the user can still make a new one.
    dialog.setFileMode(panel.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                     : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, !panel.canCreateDirectories);
    dialog.setSizeGripEnabled(panel.showsResizeIndicator);
    QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs;
    if (panel.showsHiddenFiles) {
        filters |= QDir::Hidden;
    }
    dialog.setFilter(filters);
    if (const QString filter = panel.nameFilter(); !filter.isEmpty()) {
        dialog.setNameFilter(filter);
    }
    const ModalSession modal;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}
