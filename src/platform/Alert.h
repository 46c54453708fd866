#pragma once

#include <QString>
#include <QStringList>

struct Error;

enum class AlertStyle { Warning, Informational, Critical };

// One modal alert as the agent asks it: the presenter decides how it looks, the controller only what it says.
struct Alert {
    QString messageText;
    QString informativeText;
    AlertStyle style = AlertStyle::Warning;
    // In order; the first is the default button. Empty means one default "OK" button.
    QStringList buttonTitles;
    bool showsSuppressionButton = false;
    QString suppressionButtonTitle;

    // The alert the platform builds from an error: its description is the message.
    [[nodiscard]] static Alert fromError(const Error& error);
    // The titles the user actually sees, with the default button filled in.
    [[nodiscard]] QStringList effectiveButtonTitles() const;

    friend bool operator==(const Alert&, const Alert&) = default;
};

struct AlertResponse {
    // Index into the alert's effective button titles; 0 is the default button.
    int buttonIndex = 0;
    bool suppressionChecked = false;

    friend bool operator==(const AlertResponse&, const AlertResponse&) = default;
};

// Runs an alert modally and returns once the user has answered it. The alert is a modal session for its
// whole duration whichever presenter shows it, so none can let the poll fire inside an open alert.
class AlertPresenter {
public:
    virtual ~AlertPresenter();
    AlertResponse runModal(const Alert& alert);

protected:
    // Shows the alert and waits for the answer.
    virtual AlertResponse present(const Alert& alert) = 0;
};
