#pragma once

#include <QAction>
#include <QMenu>
#include <functional>

#include "MenuItem.h"
#include "StatusMenu.h"

// The status menu of the desktop front end: what the user sees when clicking the item.
class QtStatusMenu final : public StatusMenu {
public:
    struct Actions {
        std::function<void()> updateAllSignatures;
        std::function<void()> showProfile;
        std::function<void()> showPreferences;
        std::function<void()> showEnterToken;
        std::function<void()> showAbout;
        std::function<void()> quit;
    };

    // Where the menu is shown. A Mac moves every action with a menu role (and, by their titles, those left
    // to its heuristics) out of a menu into the application menu: in the status item's menu that would
    // take About, Preferences… and Quit away from the user, since an agent never shows its application
    // menu. So only the application menu's own copy carries the roles.
    enum class Placement { StatusItem, ApplicationMenu };

    explicit QtStatusMenu(const Actions& actions, Placement placement = Placement::StatusItem);

    [[nodiscard]] MenuItem& updateAllSignaturesItem() override { return update_; }
    [[nodiscard]] MenuItem& preferencesItem() override { return preferences_; }
    [[nodiscard]] MenuItem& enterTokenItem() override { return enterToken_; }
    [[nodiscard]] QMenu* nativeMenu() { return &menu_; }
    // The widget menu behind a status menu; none for a menu another front end made.
    [[nodiscard]] static QMenu* nativeMenuOf(StatusMenu* menu);

private:
    class Item final : public MenuItem {
    public:
        void bind(QAction* action) { action_ = action; }
        void setEnabled(bool enabled) override { action_->setEnabled(enabled); }
        [[nodiscard]] bool isEnabled() const override { return action_->isEnabled(); }

    private:
        QAction* action_ = nullptr;
    };

    QMenu menu_;
    Item update_;
    Item preferences_;
    Item enterToken_;
};
