#pragma once

#include <QWidget>

class QLabel;

// A short message under the status item: a small frameless popup with one text label, which closes as
// soon as the user clicks anywhere else.
class BRSPopoverViewController final : public QWidget {
    Q_OBJECT

public:
    explicit BRSPopoverViewController(QWidget* parent = nullptr);

    [[nodiscard]] QLabel* text() const { return text_; }

private:
    QLabel* text_;
};
