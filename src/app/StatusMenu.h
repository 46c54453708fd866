#pragma once

class MenuItem;

// The status menu as the front end built it, with the three items the controller switches.
class StatusMenu {
public:
    virtual ~StatusMenu();

    [[nodiscard]] virtual MenuItem& updateAllSignaturesItem() = 0;
    [[nodiscard]] virtual MenuItem& preferencesItem() = 0;
    [[nodiscard]] virtual MenuItem& enterTokenItem() = 0;
};
