#include "BRSCredentialsWindowController.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "BRSKeychainController.h"
#include "BRSSettingsStorage.h"
#include "BRSViewState.h"
#include "MemorySecretStore.h"
#include "MockOrlinService.h"
#include "RunUntil.h"
#include "ScriptedAlertPresenter.h"
#include "ServiceConfiguration.h"
#include "UserDefaults.h"

namespace {

const std::string kExchange = "/auth/OAuth/AuthorizeEmployee";

class BRSCredentialsWindowControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testDefaults().resetForTesting();
        useAuthBase(mock.baseUrl() + QStringLiteral("auth/"));
        BRSKeychainController::sharedKeychainController().resetForTesting(store);
        QObject::connect(&viewState, &BRSViewState::harIndtastetTokenChanged,
                         [this] { ++tokenNotifications; });
    }
    void TearDown() override {
        BRSKeychainController::sharedKeychainController().resetForTesting(nullptr);
        testDefaults().resetForTesting();
    }

    // The service accepts each code once and hands back "rotated-1", "rotated-2", … for user "ann".
    void rotate(std::chrono::milliseconds delay = std::chrono::milliseconds(0)) {
        mock.rotateRefreshTokens(kExchange, mock.baseUrl().toStdString() + "user", delay);
    }

    static void useAuthBase(const QString& address) {
        testDefaults().setArgumentDomain({{ServiceConfiguration::kAuthBaseUrlKey, address}});
    }

    // Types the code, saves, and waits for the service's answer.
    void enter(BRSCredentialsWindowController& controller, const QString& code) {
        controller.textToken()->setText(code);
        controller.save();
        runUntil([&controller] { return !controller.isChecking(); });
    }

    MockOrlinService mock;
    std::shared_ptr<MemorySecretStore> store = std::make_shared<MemorySecretStore>();
    ScriptedAlertPresenter alerts;
    BRSViewState viewState;
    int tokenNotifications = 0;
};

TEST_F(BRSCredentialsWindowControllerTest, AnEmptyFieldAsksForTheAccessCodeAndStoresNothing) {
    BRSCredentialsWindowController controller(alerts, testDefaults());
    controller.setViewState(&viewState);
    controller.showWindow();

    controller.save();

    ASSERT_EQ(alerts.shownAlerts().size(), 1);
    const Alert& alert = alerts.shownAlerts().constFirst();
    EXPECT_EQ(alert.messageText, QStringLiteral("Enter access code"));
    EXPECT_EQ(
        alert.informativeText,
        QStringLiteral("Enter the access code from the invitation email sent to you from Orlin. Contact "
                       "your Orlin administrator if you don't have an access code."));
    EXPECT_EQ(alert.effectiveButtonTitles().size(), 1);
    EXPECT_FALSE(controller.isChecking());
    EXPECT_TRUE(mock.requestsTo(kExchange).empty());
    EXPECT_TRUE(store->writes.isEmpty());
    EXPECT_EQ(tokenNotifications, 0);
    EXPECT_TRUE(controller.window().isVisible()) << "the user is left to type the code";
}

TEST_F(BRSCredentialsWindowControllerTest, AnAcceptedCodeIsSpentOnceAndTheServicesTokenAndNameAreStored) {
    rotate();
    BRSCredentialsWindowController controller(alerts, testDefaults());
    controller.setViewState(&viewState);
    controller.showWindow();

    controller.textToken()->setText(QStringLiteral(" code 1 "));
    controller.save();
    EXPECT_TRUE(controller.isChecking());
    EXPECT_FALSE(controller.saveButton()->isEnabled()) << "one answer at a time";
    controller.save();
    runUntil([&controller] { return !controller.isChecking(); });

    const auto exchanges = mock.requestsTo(kExchange);
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_EQ(exchanges.front().parameter("refreshToken"), " code 1 ") << "sent exactly as typed";
    EXPECT_TRUE(alerts.shownAlerts().isEmpty());
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kRefreshTokenKey), QByteArray("rotated-1"));
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kUserNameKey), QByteArray("ann"));
    EXPECT_TRUE(controller.textToken()->text().isEmpty());
    EXPECT_TRUE(controller.saveButton()->isEnabled());
    EXPECT_FALSE(controller.window().isVisible());
    EXPECT_EQ(tokenNotifications, 1);
    EXPECT_TRUE(viewState.harIndtastetToken());
}

TEST_F(BRSCredentialsWindowControllerTest, ARefusedCodeStoresNothingAndTheWindowShowsTheServicesText) {
    mock.setAnswer(
        "GET", kExchange,
        MockOrlinService::Answer::json(R"({"result": false, "error": "The code has expired."})", 401));
    BRSCredentialsWindowController controller(alerts, testDefaults());
    controller.setViewState(&viewState);
    controller.showWindow();
    EXPECT_FALSE(controller.problemLabel()->isVisible());

    enter(controller, QStringLiteral("spent-code"));

    EXPECT_TRUE(controller.window().isVisible());
    EXPECT_TRUE(controller.problemLabel()->isVisible());
    EXPECT_EQ(controller.problemLabel()->text(),
              QStringLiteral("The Orlin service did not accept this access code: The code has expired."));
    EXPECT_EQ(controller.textToken()->selectedText(), QStringLiteral("spent-code"));
    EXPECT_TRUE(controller.saveButton()->isEnabled());
    EXPECT_TRUE(alerts.shownAlerts().isEmpty());
    EXPECT_TRUE(store->writes.isEmpty());
    EXPECT_FALSE(BRSSettingsStorage(testDefaults()).getCredentials().harToken());
    EXPECT_EQ(tokenNotifications, 0);
}

TEST_F(BRSCredentialsWindowControllerTest, AnUnreachableServiceKeepsTheCodeAsTypedAndSaysItWillCheckLater) {
    // Nothing listens on port 1.
    useAuthBase(QStringLiteral("http://127.0.0.1:1/auth/"));
    BRSCredentialsWindowController controller(alerts, testDefaults());
    controller.setViewState(&viewState);
    controller.showWindow();

    enter(controller, QStringLiteral("code-1"));

    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kRefreshTokenKey), QByteArray("code-1"));
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kUserNameKey), QByteArray());
    ASSERT_EQ(alerts.shownAlerts().size(), 1);
    EXPECT_EQ(
        alerts.shownAlerts().constFirst().messageText,
        QStringLiteral(
            "Orlin could not reach the Orlin service. It will check your access code as soon as it can."));
    EXPECT_EQ(alerts.shownAlerts().constFirst().style, AlertStyle::Informational);
    EXPECT_FALSE(controller.window().isVisible());
    EXPECT_EQ(tokenNotifications, 1);
}

TEST_F(BRSCredentialsWindowControllerTest, ARefusingSecretStoreIsSaidAndATryAgainSpendsTheSuccessor) {
    rotate();
    store->failing = true;
    BRSCredentialsWindowController controller(alerts, testDefaults());
    controller.setViewState(&viewState);
    controller.showWindow();

    enter(controller, QStringLiteral("code-1"));

    ASSERT_EQ(alerts.shownAlerts().size(), 1);
    EXPECT_EQ(alerts.shownAlerts().constFirst().messageText,
              QStringLiteral("Orlin could not save your access code: the secret store did not add it (it "
                             "refused, its prompt was cancelled, or it did not answer)"));
    EXPECT_TRUE(controller.window().isVisible());
    EXPECT_EQ(controller.textToken()->selectedText(), QStringLiteral("code-1"));
    EXPECT_EQ(tokenNotifications, 0);
    store->failing = false;
    EXPECT_FALSE(BRSSettingsStorage(testDefaults()).getCredentials().harToken())
        << "not even for the rest of this run";

    // The code itself is spent now; the window spends what the service gave for it instead.
    controller.save();
    runUntil([&controller] { return !controller.isChecking(); });
    ASSERT_EQ(mock.requestsTo(kExchange).size(), 2u);
    EXPECT_EQ(mock.requestsTo(kExchange).back().parameter("refreshToken"), "rotated-1");
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kRefreshTokenKey), QByteArray("rotated-2"));
    EXPECT_FALSE(controller.window().isVisible());
    EXPECT_EQ(tokenNotifications, 1);
}

TEST_F(BRSCredentialsWindowControllerTest, AnAnswerAfterTheWindowWentStillStoresWhatTheSpentCodeBought) {
    rotate(std::chrono::milliseconds(200));
    {
        BRSCredentialsWindowController controller(alerts, testDefaults());
        controller.textToken()->setText(QStringLiteral("code-1"));
        controller.save();
    }
    runUntil([this] { return store->has(BRSSettingsStorage::kRefreshTokenKey); });
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kRefreshTokenKey), QByteArray("rotated-1"));
    EXPECT_TRUE(alerts.shownAlerts().isEmpty());
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
