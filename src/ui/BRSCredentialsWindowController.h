#pragma once

#include <QDialog>

#include "LazyWindow.h"
#include "WindowController.h"

class AlertPresenter;
class UserDefaults;
class QLineEdit;

// The window into which the user pastes the access code from the invitation e-mail. It only stores the
// code; the next poll is what finds out whether the service accepts it.
class BRSCredentialsWindowController final : public WindowController {
public:
    // The defaults may hold a deployed domain token, which decides whether a code is stored already.
    BRSCredentialsWindowController(AlertPresenter& alerts, UserDefaults& defaults);
    ~BRSCredentialsWindowController() override;

    void centerWindow() override;
    void showWindow() override;
    void setViewState(BRSViewState* viewState) override { viewState_ = viewState; }
    [[nodiscard]] BRSViewState* viewState() const { return viewState_; }

    // The window, built (and windowDidLoad run) on first use.
    QDialog& window();
    QLineEdit* textToken();

    void save();
    void close();

private:
    void build(QDialog& window);
    void windowDidLoad();

    AlertPresenter& alerts_;
    UserDefaults& defaults_;
    BRSViewState* viewState_ = nullptr;
    LazyWindow<QDialog> window_;
    QLineEdit* textToken_ = nullptr;
};
