#include "ConsoleStatusMenu.h"

ConsoleStatusMenu::ConsoleStatusMenu(ConsoleWriter writer)
    : update_(QStringLiteral("update"), writer),
      preferences_(QStringLiteral("preferences"), writer),
      enterToken_(QStringLiteral("enter-token"), writer) {}
