#include "QtStatusMenu.h"

namespace {

QAction* addItem(QMenu& menu, const QString& title, const std::function<void()>& action) {
    QAction* item = menu.addAction(title);
    if (action) {
        QObject::connect(item, &QAction::triggered, &menu, [action] { action(); });
    }
    return item;
}

}  // namespace

QtStatusMenu::QtStatusMenu(const Actions& actions) {
    update_.bind(addItem(menu_, QStringLiteral("Update All Signatures"), actions.updateAllSignatures));
    addItem(menu_, QStringLiteral("Edit Profile…"), actions.showProfile);
    menu_.addSeparator();
    // The roles move these three into the application menu when this menu sits in the Mac menu bar,
    // where ⌘, and ⌘Q are expected to work.
    QAction* preferences = addItem(menu_, QStringLiteral("Preferences…"), actions.showPreferences);
    preferences->setMenuRole(QAction::PreferencesRole);
    preferences->setShortcut(QKeySequence::Preferences);
    preferences_.bind(preferences);
    enterToken_.bind(addItem(menu_, QStringLiteral("Enter Access Code…"), actions.showEnterToken));
    menu_.addSeparator();
    addItem(menu_, QStringLiteral("About Orlin"), actions.showAbout)->setMenuRole(QAction::AboutRole);
    QAction* quit = addItem(menu_, QStringLiteral("Quit Orlin"), actions.quit);
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcut(QKeySequence::Quit);
}

QMenu* QtStatusMenu::nativeMenuOf(StatusMenu* menu) {
    auto* ours = dynamic_cast<QtStatusMenu*>(menu);
    return ours ? ours->nativeMenu() : nullptr;
}
