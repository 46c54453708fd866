#include "QtAlertPresenter.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace {

// A Mac shows the application's icon for the plain styles and adds the caution sign only for a critical
// alert; a caution triangle on every success would teach users to ignore the one that matters.
QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
        case AlertStyle::Critical:
            return QMessageBox::Warning;
        case AlertStyle::Informational:
        case AlertStyle::Warning:
            break;
    }
    return QMessageBox::Information;
}

}  // namespace

AlertResponse QtAlertPresenter::present(const Alert& alert) {
    QMessageBox box;
    box.setIcon(iconFor(alert.style));
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);

    const QStringList titles = alert.effectiveButtonTitles();
    QList<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        QPushButton* button =
            box.addButton(titles.at(i), i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        if (i == 0) {
            box.setDefaultButton(button);
        }
        buttons.append(button);
    }
    QCheckBox* suppression = nullptr;
    if (alert.showsSuppressionButton) {
        suppression = new QCheckBox(alert.suppressionButtonTitle, &box);
        box.setCheckBox(suppression);
    }

    box.exec();

    AlertResponse response;
    const qsizetype clicked = buttons.indexOf(box.clickedButton());
    // Closing the box without a button (Escape with no cancel button) counts as the default button.
    response.buttonIndex = static_cast<int>(clicked >= 0 ? clicked : 0);
    response.suppressionChecked = suppression && suppression->isChecked();
    return response;
}
