// The popover on a real X server: a virtual one started by this program on a free display, so the test
// needs no desktop and never touches the user's own session.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QStandardPaths>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "BRSPopoverViewController.h"
#include "BRSStatusView.h"

extern char** environ;

namespace {

// Generous: the CI machine is small and busy.
constexpr int kStartTimeoutMs = 60'000;
constexpr int kExposeTimeoutMs = 30'000;
constexpr int kCloseTimeoutMs = 5'000;

class VirtualXServer final {
public:
    VirtualXServer() = default;
    VirtualXServer(const VirtualXServer&) = delete;
    VirtualXServer& operator=(const VirtualXServer&) = delete;

    ~VirtualXServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

    // The display's name (":N"), or an empty string when the server did not come up.
    std::string start() {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) {
            return {};
        }
        // The server writes its display number to this descriptor once it accepts connections.
        const std::string fd = std::to_string(ready[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ready[1], ready[1]);
        const char* argv[] = {"Xvfb",      "-displayfd", fd.c_str(), "-screen",   "0",    "1280x800x24",
                              "-nolisten", "tcp",        "-noreset", "-nocursor", nullptr};
        const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        if (spawned != 0) {
            pid_ = -1;
            close(ready[0]);
            return {};
        }
        std::string display;
        pollfd wait{ready[0], POLLIN, 0};
        const QDeadlineTimer deadline(kStartTimeoutMs);
        char c = 0;
        while (!deadline.hasExpired() && poll(&wait, 1, static_cast<int>(deadline.remainingTime())) > 0 &&
               read(ready[0], &c, 1) == 1 && c != '\n') {
            display.push_back(c);
        }
        close(ready[0]);
        return c == '\n' && !display.empty() ? ":" + display : std::string();
    }

private:
    pid_t pid_ = -1;
};

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Every request Qt has made so far has reached the server and been carried out.
void syncWithServer() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* connection = x11->connection();
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

// Another X client, as a terminal or an editor the user is typing in would be.
class OtherClient final {
public:
    OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {}
    ~OtherClient() { xcb_disconnect(connection_); }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    [[nodiscard]] bool isConnected() const { return xcb_connection_has_error(connection_) == 0; }

    std::optional<uint8_t> grabKeyboard() {
        std::unique_ptr<xcb_grab_keyboard_reply_t, decltype(&free)> reply(
            xcb_grab_keyboard_reply(connection_,
                                    xcb_grab_keyboard(connection_, 0, root(), XCB_CURRENT_TIME,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                    nullptr),
            &free);
        if (!reply) {
            return std::nullopt;
        }
        xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
        return reply->status;
    }

    std::optional<uint8_t> grabPointer() {
        std::unique_ptr<xcb_grab_pointer_reply_t, decltype(&free)> reply(
            xcb_grab_pointer_reply(
                connection_,
                xcb_grab_pointer(connection_, 0, root(), XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                                 XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                nullptr),
            &free);
        if (!reply) {
            return std::nullopt;
        }
        xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
        return reply->status;
    }

    // As the user's hand would: through the server's input devices, not an event sent to one window.
    void clickAt(int16_t x, int16_t y) {
        xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root(), x, y, 0);
        xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(connection_);
    }

    // What a window manager does when the user switches to another window.
    void announceActiveWindow() {
        const xcb_window_t window = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root(), 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, 18, "_NET_ACTIVE_WINDOW"),
                                  nullptr),
            &free);
        ASSERT_NE(atom, nullptr);
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root(), atom->atom, XCB_ATOM_WINDOW, 32, 1,
                            &window);
        xcb_flush(connection_);
    }

private:
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root; }

    xcb_connection_t* connection_;
};

// There is no panel on this server; the item sits where one at the top right would put it.
BRSStatusView::Tray trayWithTheItemAtTheTopRight() {
    return {[] { return true; }, [](const QSystemTrayIcon&) { return QRect(1200, 0, 24, 24); }};
}

bool isUp(BRSPopoverViewController* popover) {
    return popover->isVisible() && popover->windowHandle() && popover->windowHandle()->isExposed();
}

TEST(BRSPopoverViewControllerX11Test, AnotherClientCanGrabKeyboardAndPointerWhileTheMessageIsUp) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    BRSStatusView view(trayWithTheItemAtTheTopRight());
    view.showPopoverWithText(QStringLiteral("Updates are available."));
    BRSPopoverViewController* popover = view.popover();
    ASSERT_NE(popover, nullptr);
    ASSERT_TRUE(waitUntil([&] { return isUp(popover); }, kExposeTimeoutMs))
        << "the message never reached the screen";
    syncWithServer();
    EXPECT_NE(QGuiApplication::focusWindow(), popover->windowHandle());

    OtherClient other;
    ASSERT_TRUE(other.isConnected());
    EXPECT_EQ(other.grabKeyboard(), std::optional<uint8_t>(XCB_GRAB_STATUS_SUCCESS))
        << "the message holds the keyboard of the whole display";
    EXPECT_EQ(other.grabPointer(), std::optional<uint8_t>(XCB_GRAB_STATUS_SUCCESS))
        << "the message holds the pointer of the whole display";
    EXPECT_TRUE(popover->isVisible());

    // The message that replaces it takes nothing either.
    view.showPopoverWithText(QStringLiteral("Second."));
    ASSERT_TRUE(waitUntil([&] { return view.popover()->windowHandle()->isExposed(); }, kExposeTimeoutMs));
    syncWithServer();
    EXPECT_EQ(other.grabKeyboard(), std::optional<uint8_t>(XCB_GRAB_STATUS_SUCCESS));
    view.hidePopover();
}

TEST(BRSPopoverViewControllerX11Test, AClickAnywhereOrAnotherActiveWindowClosesTheMessage) {
    BRSStatusView view(trayWithTheItemAtTheTopRight());
    OtherClient other;
    ASSERT_TRUE(other.isConnected());

    view.showPopoverWithText(QStringLiteral("Updates are available."));
    ASSERT_TRUE(waitUntil([&] { return isUp(view.popover()); }, kExposeTimeoutMs));
    syncWithServer();
    other.clickAt(100, 600);
    EXPECT_TRUE(waitUntil([&] { return !view.popover()->isVisible(); }, kCloseTimeoutMs))
        << "a click on another part of the screen";

    view.showPopoverWithText(QStringLiteral("Updates are available."));
    ASSERT_TRUE(waitUntil([&] { return isUp(view.popover()); }, kExposeTimeoutMs));
    syncWithServer();
    const QPoint inside = view.popover()->geometry().center();
    other.clickAt(static_cast<int16_t>(inside.x()), static_cast<int16_t>(inside.y()));
    EXPECT_TRUE(waitUntil([&] { return !view.popover()->isVisible(); }, kCloseTimeoutMs))
        << "a click on the message";

    view.showPopoverWithText(QStringLiteral("Updates are available."));
    ASSERT_TRUE(waitUntil([&] { return isUp(view.popover()); }, kExposeTimeoutMs));
    syncWithServer();
    other.announceActiveWindow();
    EXPECT_TRUE(waitUntil([&] { return !view.popover()->isVisible(); }, kCloseTimeoutMs))
        << "the user switched to another window";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);

    VirtualXServer server;
    const std::string display = server.start();
    if (display.empty()) {
        std::fputs("cannot start Xvfb (scripts/install-deps installs it)\n", stderr);
        return 1;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(display));
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");

    // Whatever Qt itself keeps (its caches and settings) goes to a folder of its own, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    // Without a session bus, a program on an X display has D-Bus launch one and note it in the user's
    // home; the popover needs none.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/orlin-test-bus");

    // Gone before the server is: Qt treats a vanished display as fatal.
    int result = 1;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
