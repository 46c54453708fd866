#include "BRSCredentialsWindowController.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Alert.h"
#include "BRSSettingsStorage.h"
#include "BRSViewState.h"
#include "DialogButtons.h"
#include "ServiceConfiguration.h"
#include "WindowPlacement.h"

BRSCredentialsWindowController::BRSCredentialsWindowController(AlertPresenter& alerts, UserDefaults& defaults)
    : alerts_(alerts),
      defaults_(defaults),
      service_(ServiceConfiguration::fromDefaults(defaults)),
      window_([this](QDialog& window) { build(window); }) {}

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

    problem_ = new QLabel(&window);
    problem_->setWordWrap(true);
    problem_->setTextFormat(Qt::PlainText);
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Sized to the field, so a long refusal wraps instead of widening the window.
    problem_->setMaximumWidth(textToken_->minimumWidth());
    problem_->hide();
    layout->addWidget(problem_);

    QDialogButtonBox* buttons = DialogButtons::addSaveAndClose(
        window, *layout, [this] { save(); }, [this] { close(); });
    for (QAbstractButton* button : buttons->buttons()) {
        if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
            saveButton_ = qobject_cast<QPushButton*>(button);
        }
    }
    layout->setSizeConstraint(QLayout::SetFixedSize);

    windowDidLoad();
}

QLineEdit* BRSCredentialsWindowController::textToken() {
    window();
    return textToken_;
}

QPushButton* BRSCredentialsWindowController::saveButton() {
    window();
    return saveButton_;
}

QLabel* BRSCredentialsWindowController::problemLabel() {
    window();
    return problem_;
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

QString BRSCredentialsWindowController::emptyCodeMessage() {
    return QStringLiteral(
        "Enter the access code from the invitation email sent to you from Orlin. Contact your Orlin "
        "administrator if you don't have an access code.");
}

QString BRSCredentialsWindowController::refusedMessage(const QString& serviceText) {
    return QStringLiteral("The Orlin service did not accept this access code: %1").arg(serviceText);
}

QString BRSCredentialsWindowController::unreachableMessage() {
    return QStringLiteral(
        "Orlin could not reach the Orlin service. It will check your access code as soon as it can.");
}

QString BRSCredentialsWindowController::notSavedMessage(const QString& reason) {
    return QStringLiteral("Orlin could not save your access code: %1").arg(reason);
}

void BRSCredentialsWindowController::save() {
    if (checking_) {
        return;
    }
    QLineEdit& field = *textToken();
    const QString code = field.text();
    if (code.isEmpty()) {
        Alert alert;
        alert.messageText = QStringLiteral("Enter access code");
        alert.informativeText = emptyCodeMessage();
        alerts_.runModal(alert);
        return;
    }
    checking_ = true;
    saveButton_->setEnabled(false);
    problem_->hide();
    // Sent exactly as typed: the service is the judge of what a code looks like.
    service_.signInWithRefreshToken(code, [this, alive = std::weak_ptr<bool>(alive_), &defaults = defaults_,
                                           code](Result<OrlinSyncService::SignIn> signIn) {
        if (!alive.expired()) {
            checked(code, signIn);
            return;
        }
        // The window went while the service answered; a spent code's successor must still be kept.
        if (signIn.ok()) {
            QString reason;
            BRSSettingsStorage(defaults).storeEnteredToken(signIn.value().refreshToken.value_or(code),
                                                           signIn.value().userName, &reason);
        }
    });
}

void BRSCredentialsWindowController::checked(const QString& code,
                                             const Result<OrlinSyncService::SignIn>& signIn) {
    checking_ = false;
    saveButton_->setEnabled(true);
    const bool unreachable = !signIn.ok() && OrlinSyncService::isUnreachable(signIn.error());
    if (!signIn.ok() && !unreachable) {
        refused(refusedMessage(signIn.error().localizedDescription));
        return;
    }
    // Unreachable, the code is kept as typed, with no user name, for the checks to try again.
    const QString token = signIn.ok() ? signIn.value().refreshToken.value_or(code) : code;
    const std::optional<QString> userName = signIn.ok() ? signIn.value().userName : QString();
    QString reason;
    if (!BRSSettingsStorage(defaults_).storeEnteredToken(token, userName, &reason)) {
        // The secret store's controller has logged the refusal.
        Alert alert;
        alert.messageText = notSavedMessage(reason);
        alert.style = AlertStyle::Critical;
        alerts_.runModal(alert);
        textToken_->selectAll();
        textToken_->setFocus();
        return;
    }
    stored();
    if (unreachable) {
        Alert alert;
        alert.messageText = unreachableMessage();
        alert.style = AlertStyle::Informational;
        alerts_.runModal(alert);
    }
}

void BRSCredentialsWindowController::refused(const QString& message) {
    problem_->setText(message);
    problem_->show();
    textToken_->selectAll();
    textToken_->setFocus();
    // Closed while the service answered, the window cannot say it; the refusal must not go unsaid.
    if (!window().isVisible()) {
        Alert alert;
        alert.messageText = message;
        alert.style = AlertStyle::Critical;
        alerts_.runModal(alert);
    }
}

void BRSCredentialsWindowController::stored() {
    textToken_->setText(QString());
    problem_->hide();
    if (viewState_) {
        viewState_->setHarIndtastetToken(true);
    }
    close();
}

void BRSCredentialsWindowController::close() {
    window().close();
}
