#include "WindowPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

void WindowPlacement::centerOnScreen(QWidget& window) {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (!screen) {
        return;
    }
    window.adjustSize();
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

QPoint WindowPlacement::popupPosition(const QRect& anchor, const QSize& size, const QRect& available) {
    const int roomBelow = available.bottom() - anchor.bottom();
    const int roomAbove = anchor.top() - available.top();
    // Below is where the eye looks first; above only when below would cut the popup off and above would not
    // (or cut off less).
    const bool above = roomBelow < size.height() && roomAbove > roomBelow;
    int y = above ? anchor.top() - size.height() : anchor.bottom() + 1;
    y = std::max(available.top(), std::min(y, available.bottom() + 1 - size.height()));
    int x = anchor.center().x() - size.width() / 2;
    x = std::max(available.left(), std::min(x, available.right() + 1 - size.width()));
    return {x, y};
}

void WindowPlacement::bringToFront(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}
