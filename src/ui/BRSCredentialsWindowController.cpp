#include "BRSCredentialsWindowController.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "Alert.h"
#include "BRSSettingsStorage.h"
#include "BRSViewState.h"
#include "DialogButtons.h"
#include "WindowPlacement.h"

BRSCredentialsWindowController::BRSCredentialsWindowController(AlertPresenter& alerts, UserDefaults& defaults)
    : alerts_(alerts), defaults_(defaults), window_([this](QDialog& window) { build(window); }) {}

BRSCredentialsWindowController::~BRSCredentialsWindowController() = default;

QDialog& BRSCredentialsWindowController::window() {
    return window_.get();
}

void BRSCredentialsWindowController::build(QDialog& window) {
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

    DialogButtons::addSaveAndClose(
        window, *layout, [this] { save(); }, [this] { close(); });
    layout->setSizeConstraint(QLayout::SetFixedSize);

    windowDidLoad();
}

QLineEdit* BRSCredentialsWindowController::textToken() {
    window();
    return textToken_;
}

void BRSCredentialsWindowController::windowDidLoad() {
    // A stored token is a secret: the field starts empty rather than showing it.
    if (BRSSettingsStorage(defaults_).getCredentials().harToken()) {
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
    BRSSettingsStorage(defaults_).setToken(token, QString());
    field.setText(QString());
    if (viewState_) {
        viewState_->setHarIndtastetToken(true);
    }
    close();
}

void BRSCredentialsWindowController::close() {
    window().close();
}
