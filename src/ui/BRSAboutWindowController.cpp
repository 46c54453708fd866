#include "BRSAboutWindowController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "AppInfo.h"
#include "DialogButtons.h"
#include "WindowPlacement.h"

BRSAboutWindowController::BRSAboutWindowController() : window_([this](QDialog& window) { build(window); }) {}

BRSAboutWindowController::~BRSAboutWindowController() = default;

QDialog& BRSAboutWindowController::window() {
    return window_.get();
}

void BRSAboutWindowController::build(QDialog& window) {
    window.setWindowTitle(QStringLiteral("About Orlin"));
    auto* layout = new QVBoxLayout(&window);

    auto* name = new QLabel(QStringLiteral("Orlin"), &window);
    QFont nameFont = name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    nameFont.setBold(true);
    name->setFont(nameFont);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);

    auto* tagline = new QLabel(QStringLiteral("Keeps your email signatures up to date."), &window);
    tagline->setAlignment(Qt::AlignCenter);
    layout->addWidget(tagline);

    auto* version = new QHBoxLayout;
    labelVersion_ = new QLabel(&window);
    labelVersion_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    version->addStretch();
    version->addWidget(new QLabel(QStringLiteral("Version"), &window));
    version->addWidget(labelVersion_);
    version->addStretch();
    layout->addLayout(version);
    layout->addSpacing(8);

    DialogButtons::addClose(window, *layout);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    windowDidLoad();
}

void BRSAboutWindowController::windowDidLoad() {
    labelVersion_->setText(AppInfo::shortVersionString());
}

void BRSAboutWindowController::centerWindow() {
    WindowPlacement::centerOnScreen(window());
}

void BRSAboutWindowController::showWindow() {
    WindowPlacement::bringToFront(window());
}
