#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where the agent's windows appear: it has no main window to open them over, so each comes up in the
// middle of the screen the user is working on.
class WindowPlacement final {
public:
    WindowPlacement() = delete;

    static void centerOnScreen(QWidget& window);
    // Where a popup of `size` goes beside `anchor` (both global) on a screen of which `available` is free:
    // under it, centred, when it fits there; above it when only that has room; kept inside the screen.
    [[nodiscard]] static QPoint popupPosition(const QRect& anchor, const QSize& size, const QRect& available);
    // Shows the window and takes the keyboard, as a menu-bar app must after a click in the status menu.
    static void bringToFront(QWidget& window);
};
