#include "ConsoleMenuItem.h"

void ConsoleMenuItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    writer_.writeLine(QStringLiteral("menu %1 %2")
                          .arg(name_, enabled ? QStringLiteral("enabled") : QStringLiteral("disabled")));
}
