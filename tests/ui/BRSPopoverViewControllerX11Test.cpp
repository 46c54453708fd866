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
#include "TestHome.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
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

private:
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root; }

    xcb_connection_t* connection_;
};

TEST(BRSPopoverViewControllerX11Test, AnotherClientCanGrabKeyboardAndPointerWhileTheMessageIsUp) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    BRSStatusView view;
    view.showPopoverWithText(QStringLiteral("Updates are available."));
    BRSPopoverViewController* popover = view.popover();
    ASSERT_NE(popover, nullptr);
    ASSERT_TRUE(waitUntil([&] { return popover->windowHandle() && popover->windowHandle()->isExposed(); },
                          kExposeTimeoutMs))
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

    QTemporaryDir home;
    if (!home.isValid()) {
        return 1;
    }
    moveHomeTo(home.path());

    // Gone before the server is: Qt treats a vanished display as fatal.
    int result = 1;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
