#pragma once

#include "ConsoleAlertPresenter.h"
#include "FrontEnd.h"

// The front end for machines without a display: a console status view, alerts printed and answered from
// the command line, and no windows (there is nothing to open them with).
class ConsoleFrontEnd final : public FrontEnd {
public:
    explicit ConsoleFrontEnd(ConsoleAlertPresenter::Answer answer, ConsoleWriter writer = ConsoleWriter());

    [[nodiscard]] std::unique_ptr<WindowController> createPreferencesWindow() override;
    [[nodiscard]] std::unique_ptr<WindowController> createAboutWindow() override;
    [[nodiscard]] std::unique_ptr<WindowController> createCredentialsWindow() override;
    [[nodiscard]] std::unique_ptr<WindowController> createProfileWindow() override;
    [[nodiscard]] std::unique_ptr<StatusView> createStatusView() override;
    void installMainMenu(StatusMenu* menu) override;
    void activateIgnoringOtherApps() override;
    [[nodiscard]] AlertPresenter& alertPresenter() override { return alerts_; }

private:
    ConsoleWriter writer_;
    ConsoleAlertPresenter alerts_;
};
