#include "ConsoleStatusView.h"

void ConsoleStatusView::setStatusMenu(StatusMenu* menu) {
    writer_.writeLine(menu ? QStringLiteral("status-menu on") : QStringLiteral("status-menu off"));
}

void ConsoleStatusView::setStatusImage(const std::optional<StatusImage>& image) {
    writer_.writeLine(QStringLiteral("status-image ") + (image ? image->name : QString()));
}

void ConsoleStatusView::setStatusTooltip(const std::optional<QString>& tooltip) {
    writer_.writeLine(QStringLiteral("status-tooltip ") + tooltip.value_or(QString()));
}

void ConsoleStatusView::showPopoverWithText(const QString& text) {
    writer_.writeLine(QStringLiteral("popover ") + text);
}
