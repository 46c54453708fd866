// Runs against a real Secret Service; run-with-secret-service.sh provides a private one.

#include <gtest/gtest.h>

#include "BRSKeychainController.h"
#include "BRSSettingsStorage.h"
#include "SecretServiceStore.h"
#include "TestEnvironment.h"

namespace {

class SecretServiceIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariable("ORLIN_PRIVATE_SECRET_SERVICE") != QLatin1String("1")) {
            GTEST_SKIP() << "needs the private Secret Service of run-with-secret-service.sh";
        }
        controller.resetForTesting(std::make_shared<SecretServiceStore>());
    }
    void TearDown() override { controller.resetForTesting(nullptr); }

    BRSKeychainController& controller = BRSKeychainController::sharedKeychainController();
};

TEST_F(SecretServiceIntegrationTest, StoresReadsReplacesAndDeletesAnItem) {
    const QString key = QStringLiteral("refreshToken");
    ASSERT_EQ(controller.stringForKey(key), std::nullopt);

    ASSERT_TRUE(controller.storeString(QStringLiteral("first ✓"), key));
    EXPECT_EQ(controller.stringForKey(key), QStringLiteral("first ✓"));

    ASSERT_TRUE(controller.storeString(QStringLiteral("second"), key));
    EXPECT_EQ(controller.stringForKey(key), QStringLiteral("second"));

    ASSERT_TRUE(controller.storeString(QString(), QStringLiteral("userName")));
    EXPECT_EQ(controller.stringForKey(QStringLiteral("userName")), QString()) << "an empty secret is kept";

    ASSERT_TRUE(controller.storeString(std::nullopt, key));
    EXPECT_EQ(controller.stringForKey(key), std::nullopt);
    EXPECT_TRUE(controller.storeString(std::nullopt, key)) << "deleting what is not there succeeds";

    // And the way the agent uses it: a token stored by one run is the credentials of the next.
    BRSSettingsStorage(testDefaults()).setToken(QStringLiteral("abc"), QString());
    controller.resetForTesting(std::make_shared<SecretServiceStore>());
    EXPECT_EQ(BRSSettingsStorage(testDefaults()).getCredentials().token(), QStringLiteral("abc"));
}

}  // namespace
