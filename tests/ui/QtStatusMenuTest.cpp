#include "QtStatusMenu.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QStringList>

#include "BRSAboutWindowController.h"
#include "BRSCredentialsWindowController.h"
#include "BRSPreferencesWindowController.h"
#include "Profile2WindowController.h"
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

TEST(QtStatusMenuTest, OnlyTheApplicationMenusCopyCarriesMenuRoles) {
    // A role (or the title heuristics of the default role) would move About, Preferences… and Quit out of
    // the status item's menu on a Mac.
    QtStatusMenu status({});
    for (const QAction* action : status.nativeMenu()->actions()) {
        if (!action->isSeparator()) {
            EXPECT_EQ(action->menuRole(), QAction::NoRole) << action->text().toStdString();
        }
    }
    QtStatusMenu application({}, QtStatusMenu::Placement::ApplicationMenu);
    QMenu& native = *application.nativeMenu();
    EXPECT_EQ(actionTitled(native, QStringLiteral("About Orlin"))->menuRole(), QAction::AboutRole);
    EXPECT_EQ(actionTitled(native, QStringLiteral("Preferences…"))->menuRole(), QAction::PreferencesRole);
    EXPECT_EQ(actionTitled(native, QStringLiteral("Quit Orlin"))->menuRole(), QAction::QuitRole);
    EXPECT_EQ(actionTitled(native, QStringLiteral("Update All Signatures"))->menuRole(), QAction::NoRole);
}

template <typename Window>
QDialog* dialogOf(WindowController* controller) {
    auto* window = dynamic_cast<Window*>(controller);
    return window ? &window->window() : nullptr;
}

TEST(QtStatusMenuTest, TheDesktopFrontEndMakesEachWindowOfItsOwnClassHiddenUntilShown) {
    QtFrontEnd frontEnd(testEnvironment());
    const struct {
        const char* resource;
        std::unique_ptr<WindowController> (QtFrontEnd::*create)();
        QDialog* (*dialogOfWindow)(WindowController*);
    } windows[] = {
        {"BRSPreferencesWindowController", &QtFrontEnd::createPreferencesWindow,
         &dialogOf<BRSPreferencesWindowController>},
        {"BRSAboutWindowController", &QtFrontEnd::createAboutWindow, &dialogOf<BRSAboutWindowController>},
        {"BRSCredentialsWindowController", &QtFrontEnd::createCredentialsWindow,
         &dialogOf<BRSCredentialsWindowController>},
        {"Profile2WindowController", &QtFrontEnd::createProfileWindow, &dialogOf<Profile2WindowController>},
    };
    for (const auto& [resource, create, dialogOfWindow] : windows) {
        std::unique_ptr<WindowController> controller = (frontEnd.*create)();
        QDialog* window = dialogOfWindow(controller.get());
        ASSERT_NE(window, nullptr) << resource;
        EXPECT_FALSE(window->isVisible());
        controller->centerWindow();
        controller->showWindow();
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->windowTitle().isEmpty());
        window->close();
    }
}

}  // namespace
