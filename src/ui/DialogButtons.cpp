#include "DialogButtons.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

QDialogButtonBox* DialogButtons::addClose(QDialog& window, QBoxLayout& layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::close);
    layout.addWidget(buttons);
    return buttons;
}

QDialogButtonBox* DialogButtons::addSaveAndClose(QDialog& window, QBoxLayout& layout,
                                                 std::function<void()> save, std::function<void()> close) {
    auto* buttons = new QDialogButtonBox(&window);
    QPushButton* saveButton = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    saveButton->setDefault(true);
    layout.addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, std::move(save));
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, std::move(close));
    return buttons;
}
