#pragma once

// An item of the status menu whose enabled state the controller switches.
class MenuItem {
public:
    virtual ~MenuItem();
    virtual void setEnabled(bool enabled) = 0;
    [[nodiscard]] virtual bool isEnabled() const = 0;
};
