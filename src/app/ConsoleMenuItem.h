#pragma once

#include <QString>

#include "ConsoleWriter.h"
#include "MenuItem.h"

// A status-menu item of the headless front end: every time its state is set it prints
// "menu <name> enabled|disabled".
class ConsoleMenuItem final : public MenuItem {
public:
    ConsoleMenuItem(QString name, ConsoleWriter writer) : name_(std::move(name)), writer_(writer) {}

    void setEnabled(bool enabled) override;
    [[nodiscard]] bool isEnabled() const override { return enabled_; }

private:
    QString name_;
    ConsoleWriter writer_;
    bool enabled_ = true;
};
