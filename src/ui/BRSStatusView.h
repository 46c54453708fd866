#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

#include "StatusView.h"

class BRSPopoverViewController;
class QMenu;

// The status item on a desktop: the menu-bar item on macOS, a tray icon elsewhere. Holds the current
// image, pops up the status menu on a click, and shows at most one popover message under the icon.
class BRSStatusView final : public QObject, public StatusView {
    Q_OBJECT

public:
    explicit BRSStatusView(QObject* parent = nullptr);
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
    [[nodiscard]] QPoint popoverPosition(const QSize& size) const;

    bool active_ = false;
    QPointer<QMenu> statusItemMenu_;
    QSystemTrayIcon statusItem_;
    std::unique_ptr<BRSPopoverViewController> popover_;
    QTimer trayRetry_;
    int trayAttempts_ = 0;
};
