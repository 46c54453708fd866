#include "QtStatusMenu.h"

#include <gtest/gtest.h>

#include <QStringList>

#include "PlaceholderWindow.h"
#include "QtFrontEnd.h"
#include "StatusView.h"
#include "WindowController.h"

namespace {

QStringList titles(const QMenu& menu) {
    QStringList result;
    for (const QAction* action : menu.actions()) {
        result.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return result;
}

QAction* actionTitled(QMenu& menu, const QString& title) {
    for (QAction* action : menu.actions()) {
        if (action->text() == title) {
            return action;
        }
    }
    return nullptr;
}

TEST(QtStatusMenuTest, OffersTheAgentsActionsAndRoutesEachToItsHandler) {
    QStringList called;
    QtStatusMenu menu({
        .updateAllSignatures = [&] { called.append(QStringLiteral("update")); },
        .showProfile = [&] { called.append(QStringLiteral("profile")); },
        .showPreferences = [&] { called.append(QStringLiteral("preferences")); },
        .showEnterToken = [&] { called.append(QStringLiteral("token")); },
        .showAbout = [&] { called.append(QStringLiteral("about")); },
        .quit = [&] { called.append(QStringLiteral("quit")); },
    });
    QMenu& native = *menu.nativeMenu();
    EXPECT_EQ(titles(native),
              (QStringList{QStringLiteral("Update All Signatures"), QStringLiteral("Edit Profile…"),
                           QStringLiteral("-"), QStringLiteral("Preferences…"),
                           QStringLiteral("Enter Access Code…"), QStringLiteral("-"),
                           QStringLiteral("About Orlin"), QStringLiteral("Quit Orlin")}));
    for (QAction* action : native.actions()) {
        if (!action->isSeparator()) {
            action->trigger();
        }
    }
    EXPECT_EQ(called,
              (QStringList{QStringLiteral("update"), QStringLiteral("profile"), QStringLiteral("preferences"),
                           QStringLiteral("token"), QStringLiteral("about"), QStringLiteral("quit")}));
}

TEST(QtStatusMenuTest, TheSwitchedItemsAreTheMenusOwnActions) {
    QtStatusMenu menu({});
    QMenu& native = *menu.nativeMenu();
    menu.updateAllSignaturesItem().setEnabled(false);
    menu.preferencesItem().setEnabled(false);
    menu.enterTokenItem().setEnabled(false);
    EXPECT_FALSE(actionTitled(native, QStringLiteral("Update All Signatures"))->isEnabled());
    EXPECT_FALSE(actionTitled(native, QStringLiteral("Preferences…"))->isEnabled());
    EXPECT_FALSE(actionTitled(native, QStringLiteral("Enter Access Code…"))->isEnabled());
    EXPECT_TRUE(actionTitled(native, QStringLiteral("About Orlin"))->isEnabled());
    menu.enterTokenItem().setEnabled(true);
    EXPECT_TRUE(menu.enterTokenItem().isEnabled());
    EXPECT_TRUE(actionTitled(native, QStringLiteral("Enter Access Code…"))->isEnabled());
}

TEST(QtStatusMenuTest, TheDesktopFrontEndMakesEveryWindowHiddenUntilShown) {
    QtFrontEnd frontEnd;
    for (const char* resource : {"BRSPreferencesWindowController", "BRSAboutWindowController",
                                 "BRSCredentialsWindowController", "Profile2WindowController"}) {
        std::unique_ptr<WindowController> controller =
            frontEnd.createWindowController(QString::fromLatin1(resource));
        auto* window = dynamic_cast<PlaceholderWindow*>(controller.get());
        ASSERT_NE(window, nullptr) << resource;
        EXPECT_FALSE(window->window().isVisible());
        controller->centerWindow();
        controller->showWindow();
        EXPECT_TRUE(window->window().isVisible());
        EXPECT_FALSE(window->window().windowTitle().isEmpty());
        window->window().close();
    }
}

}  // namespace
