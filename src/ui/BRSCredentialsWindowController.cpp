#include "BRSCredentialsWindowController.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Alert.h"
#include "BRSSettingsStorage.h"
#include "BRSViewState.h"
#include "WindowPlacement.h"

BRSCredentialsWindowController::BRSCredentialsWindowController(AlertPresenter& alerts) : alerts_(alerts) {}

BRSCredentialsWindowController::~BRSCredentialsWindowController() = default;

QDialog& BRSCredentialsWindowController::window() {
    if (window_) {
        return *window_;
    }
    window_ = std::make_unique<QDialog>();
    QDialog& window = *window_;
    window.setWindowTitle(QStringLiteral("Enter Access Code"));

    auto* layout = new QVBoxLayout(&window);
    auto* explanation = new QLabel(
        QStringLiteral("Paste the access code from the invitation email that Orlin sent you."), &window);
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    auto* caption = new QLabel(QStringLiteral("&Access code:"), &window);
    textToken_ = new QLineEdit(&window);
    textToken_->setMinimumWidth(320);
    textToken_->setPlaceholderText(QStringLiteral("Access code"));
    caption->setBuddy(textToken_);
    layout->addWidget(caption);
    layout->addWidget(textToken_);

    auto* buttons = new QDialogButtonBox(&window);
    QPushButton* saveButton = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    saveButton->setDefault(true);
    layout->addWidget(buttons);
    // Save decides itself whether the window closes, so it is not wired to the dialog's accept.
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, [this] { save(); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, [this] { close(); });
    layout->setSizeConstraint(QLayout::SetFixedSize);

    windowDidLoad();
    return window;
}

QLineEdit* BRSCredentialsWindowController::textToken() {
    window();
    return textToken_;
}

void BRSCredentialsWindowController::windowDidLoad() {
    // A stored token is a secret: the field starts empty rather than showing it.
    if (BRSSettingsStorage().getCredentials().harToken()) {
        textToken_->setText(QString());
    }
}

void BRSCredentialsWindowController::centerWindow() {
    WindowPlacement::centerOnScreen(window());
}

void BRSCredentialsWindowController::showWindow() {
    WindowPlacement::bringToFront(window());
}

void BRSCredentialsWindowController::save() {
    QLineEdit& field = *textToken();
    const QString token = field.text();
    if (token.isEmpty()) {
        Alert alert;
        alert.messageText = QStringLiteral("Enter token");
        alert.informativeText = QStringLiteral(
            "Enter the token from the invitation email sent to you from Orlin.  Contact your Orlin "
            "administrator if you don't have a token.");
        alerts_.runModal(alert);
        return;
    }
    // Stored exactly as typed: the service is the judge of what a token looks like.
    BRSSettingsStorage().setToken(token, QString());
    field.setText(QString());
    if (viewState_) {
        viewState_->setHarIndtastetToken(true);
    }
    close();
}

void BRSCredentialsWindowController::close() {
    window().close();
}
