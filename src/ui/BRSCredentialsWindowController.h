#pragma once

#include <QDialog>
#include <memory>

#include "LazyWindow.h"
#include "OrlinSyncService.h"
#include "WindowController.h"

class AlertPresenter;
class UserDefaults;
class QLabel;
class QLineEdit;
class QPushButton;

// The window into which the user pastes the access code from the invitation e-mail. The code is spent at
// the service as soon as it is saved, so a wrong one is said at once, in the window, and what is stored
// is what the service handed back for it: a code may be good for one use only.
class BRSCredentialsWindowController final : public WindowController {
public:
    // The defaults name the service the code is checked at, and may hold a deployed domain token, which
    // decides whether a code is stored already.
    BRSCredentialsWindowController(AlertPresenter& alerts, UserDefaults& defaults);
    ~BRSCredentialsWindowController() override;

    void centerWindow() override;
    void showWindow() override;
    void setViewState(BRSViewState* viewState) override { viewState_ = viewState; }
    [[nodiscard]] BRSViewState* viewState() const { return viewState_; }

    // The window, built (and windowDidLoad run) on first use.
    QDialog& window();
    QLineEdit* textToken();
    QPushButton* saveButton();
    // Where the service's refusal of a code is shown; hidden otherwise.
    QLabel* problemLabel();
    // True from a save until the service's answer about the code is in.
    [[nodiscard]] bool isChecking() const { return checking_; }

    void save();
    void close();

    // Shared with `--enter-token`, so both say the same.
    [[nodiscard]] static QString emptyCodeMessage();
    [[nodiscard]] static QString refusedMessage(const QString& serviceText);
    [[nodiscard]] static QString unreachableMessage();
    [[nodiscard]] static QString notSavedMessage(const QString& reason);

private:
    void build(QDialog& window);
    void windowDidLoad();
    void checked(const QString& code, const Result<OrlinSyncService::SignIn>& signIn);
    void refused(const QString& message);
    void stored();

    AlertPresenter& alerts_;
    UserDefaults& defaults_;
    // Kept for the window's life: a retry with a code this window already spent spends its successor.
    OrlinSyncService service_;
    BRSViewState* viewState_ = nullptr;
    LazyWindow<QDialog> window_;
    QLineEdit* textToken_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QLabel* problem_ = nullptr;
    bool checking_ = false;
    // Tells an answer that arrives after the window controller went that there is no window to tell.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
