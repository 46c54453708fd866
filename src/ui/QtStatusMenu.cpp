#include "QtStatusMenu.h"

namespace {

QAction* addItem(QMenu& menu, const QString& title, const std::function<void()>& action) {
    QAction* item = menu.addAction(title);
    item->setMenuRole(QAction::NoRole);
    if (action) {
        QObject::connect(item, &QAction::triggered, &menu, [action] { action(); });
    }
    return item;
}

}  // namespace

QtStatusMenu::QtStatusMenu(const Actions& actions, Placement placement) {
    const bool withRoles = placement == Placement::ApplicationMenu;
    update_.bind(addItem(menu_, QStringLiteral("Update All Signatures"), actions.updateAllSignatures));
    addItem(menu_, QStringLiteral("Edit Profile…"), actions.showProfile);
    menu_.addSeparator();
    // In the Mac menu bar the roles move these three into the application menu, where ⌘, and ⌘Q are
    // expected to work.
    QAction* preferences = addItem(menu_, QStringLiteral("Preferences…"), actions.showPreferences);
    if (withRoles) {
        preferences->setMenuRole(QAction::PreferencesRole);
    }
    preferences->setShortcut(QKeySequence::Preferences);
    preferences_.bind(preferences);
    enterToken_.bind(addItem(menu_, QStringLiteral("Enter Access Code…"), actions.showEnterToken));
    menu_.addSeparator();
    QAction* about = addItem(menu_, QStringLiteral("About Orlin"), actions.showAbout);
    QAction* quit = addItem(menu_, QStringLiteral("Quit Orlin"), actions.quit);
    if (withRoles) {
        about->setMenuRole(QAction::AboutRole);
        quit->setMenuRole(QAction::QuitRole);
    }
    quit->setShortcut(QKeySequence::Quit);
}

QMenu* QtStatusMenu::nativeMenuOf(StatusMenu* menu) {
    auto* ours = dynamic_cast<QtStatusMenu*>(menu);
    return ours ? ours->nativeMenu() : nullptr;
}
