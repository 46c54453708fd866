#pragma once

#include <QWidget>
#include <memory>

class QAbstractNativeEventFilter;
class QLabel;

// A short message under the status item: a small frameless window with one text label. It never takes
// the keyboard or the pointer from other applications, and it closes as soon as the user clicks anywhere
// (on it too) or another window becomes active.
class BRSPopoverViewController final : public QWidget {
    Q_OBJECT

public:
    explicit BRSPopoverViewController(QWidget* parent = nullptr);
    ~BRSPopoverViewController() override;

    [[nodiscard]] QLabel* text() const { return text_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void watchApplication(bool watch);

    QLabel* text_;
    bool watching_ = false;
    // The rest of the display, where the platform reports it without a grab.
    std::unique_ptr<QAbstractNativeEventFilter> displayWatch_;
};
