#include "BRSCredentialsWindowController.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QLineEdit>

#include "BRSKeychainController.h"
#include "BRSSettingsStorage.h"
#include "BRSViewState.h"
#include "MemorySecretStore.h"
#include "ScriptedAlertPresenter.h"
#include "UserDefaults.h"

namespace {

class BRSCredentialsWindowControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::standardUserDefaults().resetForTesting();
        BRSKeychainController::sharedKeychainController().resetForTesting(store);
        viewState.addObserver(BRSViewState::kHarIndtastetToken,
                              [this](const QString&, BRSViewState&, void*) { ++tokenNotifications; });
    }
    void TearDown() override {
        BRSKeychainController::sharedKeychainController().resetForTesting(nullptr);
        UserDefaults::standardUserDefaults().resetForTesting();
    }

    std::shared_ptr<MemorySecretStore> store = std::make_shared<MemorySecretStore>();
    ScriptedAlertPresenter alerts;
    BRSViewState viewState;
    int tokenNotifications = 0;
};

TEST_F(BRSCredentialsWindowControllerTest, AnEmptyFieldAsksForTheTokenAndStoresNothing) {
    BRSCredentialsWindowController controller(alerts, testDefaults());
    controller.setViewState(&viewState);
    controller.showWindow();

    controller.save();

    ASSERT_EQ(alerts.shownAlerts().size(), 1);
    const Alert& alert = alerts.shownAlerts().constFirst();
    EXPECT_EQ(alert.messageText, QStringLiteral("Enter token"));
    EXPECT_EQ(
        alert.informativeText,
        QStringLiteral("Enter the token from the invitation email sent to you from Orlin.  Contact your "
                       "Orlin administrator if you don't have a token."));
    EXPECT_EQ(alert.effectiveButtonTitles().size(), 1);
    EXPECT_TRUE(store->writes.isEmpty());
    EXPECT_TRUE(store->items.isEmpty());
    EXPECT_EQ(tokenNotifications, 0);
    EXPECT_TRUE(controller.window().isVisible()) << "the user is left to type the token";
}

TEST_F(BRSCredentialsWindowControllerTest,
       AnyNonEmptyTextIsStoredAsTypedThenTheFieldEmptiesAndTheWindowCloses) {
    BRSCredentialsWindowController controller(alerts, testDefaults());
    controller.setViewState(&viewState);
    controller.showWindow();

    controller.textToken()->setText(QStringLiteral("   "));
    controller.save();

    EXPECT_TRUE(alerts.shownAlerts().isEmpty());
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kRefreshTokenKey), QByteArray("   "))
        << "blanks are not trimmed away";
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kUserNameKey), QByteArray());
    EXPECT_TRUE(BRSSettingsStorage(testDefaults()).getCredentials().harToken());
    EXPECT_TRUE(controller.textToken()->text().isEmpty());
    EXPECT_FALSE(controller.window().isVisible());
    EXPECT_EQ(tokenNotifications, 1);
    EXPECT_TRUE(viewState.harIndtastetToken());

    // Every save is an event for the menus, even when the flag is already up.
    controller.showWindow();
    controller.textToken()->setText(QStringLiteral("second\n"));
    controller.save();
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kRefreshTokenKey), QByteArray("second\n"));
    EXPECT_EQ(tokenNotifications, 2);
}

TEST_F(BRSCredentialsWindowControllerTest, WithoutAViewStateTheTokenIsStillStored) {
    BRSCredentialsWindowController controller(alerts, testDefaults());
    controller.textToken()->setText(QStringLiteral("abc"));
    controller.save();
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kRefreshTokenKey), QByteArray("abc"));
    EXPECT_EQ(tokenNotifications, 0);
}

TEST_F(BRSCredentialsWindowControllerTest, TheFieldNeverShowsAStoredTokenAndCloseStoresNothing) {
    store->put(BRSSettingsStorage::kRefreshTokenKey, "secret-token");
    BRSCredentialsWindowController controller(alerts, testDefaults());
    controller.showWindow();
    EXPECT_TRUE(controller.textToken()->text().isEmpty());

    controller.textToken()->setText(QStringLiteral("typed but not saved"));
    controller.close();
    EXPECT_FALSE(controller.window().isVisible());
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kRefreshTokenKey), QByteArray("secret-token"));
}

}  // namespace
