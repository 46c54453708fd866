#include "ConsoleAlertPresenter.h"

ConsoleAlertPresenter::ConsoleAlertPresenter(Answer answer, ConsoleWriter writer)
    : answer_(answer), writer_(writer) {}

AlertResponse ConsoleAlertPresenter::present(const Alert& alert) {
    writer_.writeLine(QStringLiteral("alert %1 | %2").arg(alert.messageText, alert.informativeText));

    // "Continue" is the default (first) button; "Cancel" is the button of that title, or else the last one.
    // An alert with a single button can only be dismissed, whatever the answer.
    const QStringList titles = alert.effectiveButtonTitles();
    AlertResponse response;
    if (answer_ == Answer::Cancel) {
        const qsizetype cancel = titles.indexOf(QStringLiteral("Cancel"));
        response.buttonIndex = static_cast<int>(cancel >= 0 ? cancel : titles.size() - 1);
    }
    return response;
}
