#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>

#include "StatusView.h"

class BRSPopoverViewController;
class QMenu;

// The status item on a desktop: the menu-bar item on macOS, a tray icon elsewhere. Holds the current
// image, pops up the status menu on a click, and shows at most one popover message under the icon.
class BRSStatusView final : public QObject, public StatusView {
    Q_OBJECT

public:
    // What the desktop's tray tells us: whether there is one, and where it put our item (an empty rectangle
    // until it has embedded the item, and always on trays that keep it to themselves).
    struct Tray {
        std::function<bool()> isAvailable;
        std::function<QRect(const QSystemTrayIcon&)> itemGeometry;
    };
    [[nodiscard]] static Tray systemTray();

    explicit BRSStatusView(QObject* parent = nullptr);
    explicit BRSStatusView(Tray tray, QObject* parent = nullptr);
    ~BRSStatusView() override;

    void setStatusMenu(StatusMenu* menu) override;
    void setStatusImage(const std::optional<StatusImage>& image) override;
    void setStatusTooltip(const std::optional<QString>& tooltip) override;
    void showPopoverWithText(const QString& text) override;

    void showPopoverWithViewController(std::unique_ptr<BRSPopoverViewController> controller);
    void hidePopover();

    // Pressed from a click until the menu closes (or at once, when there is no menu).
    [[nodiscard]] bool isActive() const { return active_; }
    void setActive(bool active);
    // The user clicked the item.
    void mouseDown();

    [[nodiscard]] QSystemTrayIcon& statusItem() { return statusItem_; }
    [[nodiscard]] BRSPopoverViewController* popover() const { return popover_.get(); }

private:
    void showWhenTrayAppears();
    void showStatusItem();
    void placePopover();
    [[nodiscard]] QPoint popoverPosition(const QRect& anchor, const QSize& size) const;

    Tray tray_;
    bool active_ = false;
    // The tray was ready before the first image arrived; the item waits for it.
    bool showWhenImageArrives_ = false;
    QPointer<QMenu> statusItemMenu_;
    QSystemTrayIcon statusItem_;
    std::unique_ptr<BRSPopoverViewController> popover_;
    bool popoverPlaced_ = false;
    int anchorWaits_ = 0;
    QTimer popoverPlacement_;
    QTimer trayRetry_;
    int trayAttempts_ = 0;
};
