#include "BRSPopoverViewController.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QWindow>

#ifdef ORLIN_X11_DISPLAY_WATCH
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <functional>

#include "BRSLog.h"
#endif

namespace {
constexpr int kWidth = 280;
constexpr int kMargin = 14;

bool isPress(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
        case QEvent::KeyPress:
            return true;
        default:
            return false;
    }
}

#ifdef ORLIN_X11_DISPLAY_WATCH
// What X tells any client that asks, without a grab: a button pressed anywhere on the display (raw events
// on the root window reach every client that selected them, whoever holds the pointer) and the window
// manager's record of the active window.
class DisplayWatch final : public QAbstractNativeEventFilter {
public:
    explicit DisplayWatch(std::function<void()> userMovedOn) : userMovedOn_(std::move(userMovedOn)) {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        // Other platforms (and the offscreen one, which answers with no connection) report nothing here.
        if (!x11 || !x11->connection()) {
            return;
        }
        connection_ = x11->connection();
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(connection_, &xcb_input_id);
        if (xinput && xinput->present) {
            xinputOpcode_ = xinput->major_opcode;
            selectRawPresses(XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS);
        } else {
            static const bool logged =
                (BRSLogWarn(u"%@",
                            QStringLiteral("The X server has no XInput; a click elsewhere leaves messages "
                                           "up until they are clicked.")),
                 true);
            (void)logged;
        }
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, 18, "_NET_ACTIVE_WINDOW"),
                                  nullptr),
            &free);
        activeWindowAtom_ = atom ? atom->atom : XCB_NONE;
        watchRootProperties();
        activeAtStart_ = activeWindow();
        xcb_flush(connection_);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~DisplayWatch() override {
        if (!connection_) {
            return;
        }
        QCoreApplication::instance()->removeNativeEventFilter(this);
        if (xinputOpcode_ != 0) {
            selectRawPresses(0);
            xcb_flush(connection_);
        }
    }

    DisplayWatch(const DisplayWatch&) = delete;
    DisplayWatch& operator=(const DisplayWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const uint8_t type = event->response_type & ~0x80;
        bool movedOn = false;
        if (type == XCB_GE_GENERIC && xinputOpcode_ != 0) {
            const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            movedOn =
                generic->extension == xinputOpcode_ && generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS;
        } else if (type == XCB_PROPERTY_NOTIFY && activeWindowAtom_ != XCB_NONE) {
            const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            movedOn = property->window == root_ && property->atom == activeWindowAtom_ &&
                      activeWindow() != activeAtStart_;
        }
        if (movedOn) {
            // Closing may end this watch; the event is Qt's to handle either way.
            QMetaObject::invokeMethod(qApp, userMovedOn_, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void selectRawPresses(uint32_t mask) {
        struct {
            xcb_input_event_mask_t head;
            uint32_t mask;
        } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, mask};
        xcb_input_xi_select_events(connection_, root_, 1, &selection.head);
    }

    // Qt already listens to the root window's properties; this keeps its mask and makes sure of ours.
    void watchRootProperties() {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attributes(
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, root_),
                                            nullptr),
            &free);
        if (!attributes || (attributes->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE) != 0) {
            return;
        }
        const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    }

    [[nodiscard]] xcb_window_t activeWindow() const {
        if (activeWindowAtom_ == XCB_NONE) {
            return XCB_NONE;
        }
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
            xcb_get_property_reply(
                connection_,
                xcb_get_property(connection_, 0, root_, activeWindowAtom_, XCB_ATOM_WINDOW, 0, 1), nullptr),
            &free);
        if (!reply || xcb_get_property_value_length(reply.get()) < static_cast<int>(sizeof(xcb_window_t))) {
            return XCB_NONE;
        }
        return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    }

    std::function<void()> userMovedOn_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    uint8_t xinputOpcode_ = 0;
    xcb_atom_t activeWindowAtom_ = XCB_NONE;
    xcb_window_t activeAtStart_ = XCB_NONE;
};
#endif
}  // namespace

// A popup window would be simpler, but on X11 it grabs the keyboard and pointer of the whole display:
// whatever the user typed in another application would land here. A tool window that refuses focus and
// bypasses the window manager (which would otherwise place and activate it) takes nothing from anyone.
BRSPopoverViewController::BRSPopoverViewController(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint),
      text_(new QLabel(this)) {
    setObjectName(QStringLiteral("BRSPopoverViewController"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    text_->setObjectName(QStringLiteral("text"));
    text_->setWordWrap(true);
    text_->setTextFormat(Qt::PlainText);
    text_->setFixedWidth(kWidth - 2 * kMargin);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    // The text arrives after the popover is on screen; a fixed-size layout lets it grow to fit.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(text_);

    // Without a grab, a click in another application's window tells us nothing; what the platform does
    // report is that the user moved on from one of our windows.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive) {
            close();
        }
    });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focus) {
        if (focus && focus != windowHandle()) {
            close();
        }
    });
}

BRSPopoverViewController::~BRSPopoverViewController() {
    watchApplication(false);
}

void BRSPopoverViewController::showEvent(QShowEvent* event) {
    watchApplication(true);
    QWidget::showEvent(event);
}

void BRSPopoverViewController::hideEvent(QHideEvent* event) {
    watchApplication(false);
    QWidget::hideEvent(event);
}

void BRSPopoverViewController::watchApplication(bool watch) {
    if (watch == watching_) {
        return;
    }
    watching_ = watch;
    if (watch) {
        qApp->installEventFilter(this);
#ifdef ORLIN_X11_DISPLAY_WATCH
        QPointer<BRSPopoverViewController> self(this);
        displayWatch_ = std::make_unique<DisplayWatch>([self] {
            if (self) {
                self->close();
            }
        });
#endif
    } else {
        qApp->removeEventFilter(this);
        displayWatch_.reset();
    }
}

bool BRSPopoverViewController::eventFilter(QObject* watched, QEvent* event) {
    // A press anywhere in the application closes the message, a press on the message too: where clicks in
    // other applications go unreported, clicking the message is the one sure way to dismiss it. The press
    // still goes where it was aimed.
    if (isPress(event->type()) && isVisible()) {
        close();
    }
    return QWidget::eventFilter(watched, event);
}
