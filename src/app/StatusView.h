#pragma once

#include <QString>
#include <optional>

#include "StatusImages.h"

class StatusMenu;

// The agent's face: the item in the menu bar (or tray, or console) with its image, tooltip, click menu and
// popover messages.
class StatusView {
public:
    virtual ~StatusView();

    // Nothing removes the menu, so that a click shows none.
    virtual void setStatusMenu(StatusMenu* menu) = 0;
    // Nothing leaves the item without an image.
    virtual void setStatusImage(const std::optional<StatusImage>& image) = 0;
    // Nothing removes the tooltip.
    virtual void setStatusTooltip(const std::optional<QString>& tooltip) = 0;
    // Closes any message shown and shows this one under the item.
    virtual void showPopoverWithText(const QString& text) = 0;
};
