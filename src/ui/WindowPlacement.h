#pragma once

class QWidget;

// Where the agent's windows appear: it has no main window to open them over, so each comes up in the
// middle of the screen the user is working on.
class WindowPlacement final {
public:
    WindowPlacement() = delete;

    static void centerOnScreen(QWidget& window);
    // Shows the window and takes the keyboard, as a menu-bar app must after a click in the status menu.
    static void bringToFront(QWidget& window);
};
