#pragma once

#include "ConsoleWriter.h"
#include "StatusView.h"

// The headless status item: every change prints one line to standard output, so scripts and tests can
// follow the agent exactly as a user follows the menu-bar icon.
class ConsoleStatusView final : public StatusView {
public:
    explicit ConsoleStatusView(ConsoleWriter writer = ConsoleWriter()) : writer_(writer) {}

    void setStatusMenu(StatusMenu* menu) override;
    void setStatusImage(const std::optional<StatusImage>& image) override;
    void setStatusTooltip(const std::optional<QString>& tooltip) override;
    void showPopoverWithText(const QString& text) override;

private:
    ConsoleWriter writer_;
};
