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

    explicit QtStatusMenu(const Actions& actions);

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
