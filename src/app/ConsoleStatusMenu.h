#pragma once

#include "ConsoleMenuItem.h"
#include "StatusMenu.h"

// The headless status menu: nothing to click, only the three items whose state is printed.
class ConsoleStatusMenu final : public StatusMenu {
public:
    explicit ConsoleStatusMenu(ConsoleWriter writer = ConsoleWriter());

    [[nodiscard]] MenuItem& updateAllSignaturesItem() override { return update_; }
    [[nodiscard]] MenuItem& preferencesItem() override { return preferences_; }
    [[nodiscard]] MenuItem& enterTokenItem() override { return enterToken_; }

private:
    ConsoleMenuItem update_;
    ConsoleMenuItem preferences_;
    ConsoleMenuItem enterToken_;
};
