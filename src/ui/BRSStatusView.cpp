#include "BRSStatusView.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QScreen>

#include "BRSPopoverViewController.h"
#include "QtStatusMenu.h"

namespace {
// At login the agent may start before the panel that hosts tray icons; keep looking for a minute.
constexpr int kTrayAttempts = 60;
constexpr std::chrono::seconds kTrayRetryInterval{1};
constexpr int kPopoverGap = 4;
}  // namespace

BRSStatusView::BRSStatusView(QObject* parent) : QObject(parent) {
    connect(&statusItem_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    mouseDown();
                }
            });
    trayRetry_.setInterval(kTrayRetryInterval);
    connect(&trayRetry_, &QTimer::timeout, this, &BRSStatusView::showWhenTrayAppears);
    showWhenTrayAppears();
}

BRSStatusView::~BRSStatusView() = default;

void BRSStatusView::showWhenTrayAppears() {
    if (QSystemTrayIcon::isSystemTrayAvailable() || ++trayAttempts_ >= kTrayAttempts) {
        trayRetry_.stop();
        statusItem_.show();
        return;
    }
    if (!trayRetry_.isActive()) {
        trayRetry_.start();
    }
}

void BRSStatusView::setStatusMenu(StatusMenu* menu) {
    statusItemMenu_ = QtStatusMenu::nativeMenuOf(menu);
    // On macOS the menu bar pops this menu up on a click; elsewhere it serves the right button, and
    // mouseDown() shows the same menu for the left one.
    statusItem_.setContextMenu(statusItemMenu_);
}

void BRSStatusView::setStatusImage(const std::optional<StatusImage>& image) {
    QIcon icon;
    if (image) {
        icon.addFile(image->resourcePath);
        QString dense = image->resourcePath;
        dense.insert(dense.size() - 4, QStringLiteral("@2x"));
        icon.addFile(dense);
        icon.setIsMask(image->isTemplate);
    }
    statusItem_.setIcon(icon);
}

void BRSStatusView::setStatusTooltip(const std::optional<QString>& tooltip) {
    statusItem_.setToolTip(tooltip.value_or(QString()));
}

void BRSStatusView::setActive(bool active) {
    active_ = active;
}

void BRSStatusView::mouseDown() {
    setActive(true);
#ifdef Q_OS_MACOS
    // The native item shows the context menu itself; only the pressed state is ours to track.
    const bool showsMenuItself = true;
#else
    const bool showsMenuItself = false;
#endif
    if (!statusItemMenu_ || showsMenuItself) {
        setActive(false);
        return;
    }
    connect(
        statusItemMenu_, &QMenu::aboutToHide, this, [this] { setActive(false); }, Qt::SingleShotConnection);
    statusItemMenu_->popup(QCursor::pos());
}

void BRSStatusView::showPopoverWithText(const QString& text) {
    auto controller = std::make_unique<BRSPopoverViewController>();
    BRSPopoverViewController* shown = controller.get();
    showPopoverWithViewController(std::move(controller));
    // Placed after the popover is on screen; the popup grows to fit it.
    shown->text()->setText(text);
    shown->move(popoverPosition(shown->sizeHint()));
}

void BRSStatusView::showPopoverWithViewController(std::unique_ptr<BRSPopoverViewController> controller) {
    hidePopover();
    popover_ = std::move(controller);
    if (!popover_->isVisible()) {
        popover_->adjustSize();
        popover_->move(popoverPosition(popover_->size()));
        popover_->show();
    }
}

void BRSStatusView::hidePopover() {
    if (popover_) {
        popover_->close();
    }
}

QPoint BRSStatusView::popoverPosition(const QSize& size) const {
    const QRect anchor = statusItem_.geometry();
    QScreen* screen = anchor.isValid() ? QGuiApplication::screenAt(anchor.center()) : nullptr;
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    if (!anchor.isValid() || anchor.isEmpty()) {
        // No icon geometry (no tray yet, or a platform that keeps it secret): the corner where menu-bar
        // items live.
        return {available.right() - size.width() - kPopoverGap, available.top() + kPopoverGap};
    }
    int x = anchor.center().x() - size.width() / 2;
    // Under the icon, unless the panel sits at the bottom of the screen.
    int y = anchor.bottom() + kPopoverGap;
    if (y + size.height() > available.bottom()) {
        y = anchor.top() - kPopoverGap - size.height();
    }
    x = std::clamp(x, available.left(), std::max(available.left(), available.right() - size.width()));
    return {x, y};
}
