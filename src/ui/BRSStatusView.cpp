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
// The tray may embed the item (or move it, as other icons arrive) at any time while a message is up.
constexpr std::chrono::milliseconds kPlacementInterval{250};
// How long a visible item may go without a place on screen before the message is given up on pointing at
// it: two seconds.
constexpr int kAnchorWaits = 8;
}  // namespace

BRSStatusView::Tray BRSStatusView::systemTray() {
    return {&QSystemTrayIcon::isSystemTrayAvailable,
            [](const QSystemTrayIcon& item) { return item.geometry(); }};
}

BRSStatusView::BRSStatusView(QObject* parent) : BRSStatusView(systemTray(), parent) {}

BRSStatusView::BRSStatusView(Tray tray, QObject* parent) : QObject(parent), tray_(std::move(tray)) {
    connect(&statusItem_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    mouseDown();
                }
            });
    trayRetry_.setInterval(kTrayRetryInterval);
    connect(&trayRetry_, &QTimer::timeout, this, &BRSStatusView::showWhenTrayAppears);
    popoverPlacement_.setInterval(kPlacementInterval);
    connect(&popoverPlacement_, &QTimer::timeout, this, &BRSStatusView::placePopover);
    showWhenTrayAppears();
}

BRSStatusView::~BRSStatusView() = default;

void BRSStatusView::showWhenTrayAppears() {
    if (tray_.isAvailable() || ++trayAttempts_ >= kTrayAttempts) {
        trayRetry_.stop();
        showStatusItem();
        return;
    }
    if (!trayRetry_.isActive()) {
        trayRetry_.start();
    }
}

void BRSStatusView::showStatusItem() {
    // A tray shows an item without an image as an empty slot (and Qt warns about it), so the item waits for
    // its first image.
    if (statusItem_.icon().isNull()) {
        showWhenImageArrives_ = true;
        return;
    }
    showWhenImageArrives_ = false;
    statusItem_.show();
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
    if (showWhenImageArrives_) {
        showStatusItem();
    }
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
    controller->text()->setText(text);
    showPopoverWithViewController(std::move(controller));
}

// A message placed anywhere but at the item points at nothing (at launch the item has no place yet, and a
// tray that starts later puts the item where a guessed corner would have put the message). So the message
// waits for the item's place, and follows it while it is up.
void BRSStatusView::showPopoverWithViewController(std::unique_ptr<BRSPopoverViewController> controller) {
    hidePopover();
    popover_ = std::move(controller);
    popoverPlaced_ = false;
    anchorWaits_ = 0;
    placePopover();
    if (popover_) {
        popoverPlacement_.start();
    }
}

void BRSStatusView::hidePopover() {
    popoverPlacement_.stop();
    if (popover_) {
        popover_->close();
    }
}

void BRSStatusView::placePopover() {
    if (!popover_ || (popoverPlaced_ && !popover_->isVisible())) {
        // Dismissed by the user.
        popoverPlacement_.stop();
        return;
    }
    const QRect anchor = tray_.itemGeometry(statusItem_);
    if (anchor.isValid() && !anchor.isEmpty()) {
        popover_->adjustSize();
        const QPoint position = popoverPosition(anchor, popover_->size());
        if (popover_->pos() != position) {
            popover_->move(position);
        }
        if (!popoverPlaced_) {
            popoverPlaced_ = true;
            popover_->show();
        }
        return;
    }
    // An item on screen whose place the tray will not tell (trays that draw items themselves): the
    // platform's own notification carries the message rather than a window at a guessed spot.
    if (!popoverPlaced_ && statusItem_.isVisible() && ++anchorWaits_ >= kAnchorWaits) {
        popoverPlacement_.stop();
        const QString text = popover_->text()->text();
        popover_.reset();
        statusItem_.showMessage(QGuiApplication::applicationDisplayName(), text);
    }
}

QPoint BRSStatusView::popoverPosition(const QRect& anchor, const QSize& size) const {
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : anchor;
    int x = anchor.center().x() - size.width() / 2;
    // Under the icon, unless the panel sits at the bottom of the screen.
    int y = anchor.bottom() + kPopoverGap;
    if (y + size.height() > available.bottom()) {
        y = anchor.top() - kPopoverGap - size.height();
    }
    x = std::clamp(x, available.left(), std::max(available.left(), available.right() - size.width()));
    return {x, y};
}
