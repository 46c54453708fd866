#include "PlaceholderWindow.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

PlaceholderWindow::PlaceholderWindow(const QString& title, const QString& message) {
    window_.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&window_);
    auto* label = new QLabel(message, &window_);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &window_);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window_, &QDialog::close);
    layout->addWidget(buttons);
    window_.setMinimumWidth(360);
}

void PlaceholderWindow::centerWindow() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window_.adjustSize();
        QRect frame = window_.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window_.move(frame.topLeft());
    }
}

void PlaceholderWindow::showWindow() {
    window_.show();
    window_.raise();
    window_.activateWindow();
}
