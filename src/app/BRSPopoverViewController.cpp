#include "BRSPopoverViewController.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 280;
constexpr int kMargin = 14;
}  // namespace

BRSPopoverViewController::BRSPopoverViewController(QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), text_(new QLabel(this)) {
    setObjectName(QStringLiteral("BRSPopoverViewController"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    text_->setObjectName(QStringLiteral("text"));
    text_->setWordWrap(true);
    text_->setTextFormat(Qt::PlainText);
    text_->setFixedWidth(kWidth - 2 * kMargin);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    // The text arrives after the popup is on screen; a fixed-size layout lets the popup grow to fit it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(text_);
}
