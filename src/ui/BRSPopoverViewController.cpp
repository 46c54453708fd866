#include "BRSPopoverViewController.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <QWindow>

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
    } else {
        qApp->removeEventFilter(this);
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
