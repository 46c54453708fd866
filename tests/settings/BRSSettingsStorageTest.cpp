#include "BRSSettingsStorage.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include "BRSKeychainController.h"
#include "MemorySecretStore.h"
#include "UserDefaults.h"

namespace {

class BRSSettingsStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        defaults.resetForTesting();
        BRSKeychainController::sharedKeychainController().resetForTesting(store);
    }
    void TearDown() override {
        defaults.resetForTesting();
        BRSKeychainController::sharedKeychainController().resetForTesting(nullptr);
    }

    UserDefaults& defaults = testDefaults();
    std::shared_ptr<MemorySecretStore> store = std::make_shared<MemorySecretStore>();
};

TEST_F(BRSSettingsStorageTest, ADeployedDomainTokenWinsEvenWhenEmptyAndTheKeychainIsNotRead) {
    store->put(QStringLiteral("domainToken"), "from keychain");
    store->put(QStringLiteral("refreshToken"), "token");
    defaults.setArgumentDomain(
        {{QStringLiteral("userName"), QStringLiteral("ann")}, {QStringLiteral("domainToken"), QString()}});

    const BRSLoginCredentials credentials = BRSSettingsStorage(testDefaults()).getCredentials();
    EXPECT_EQ(credentials.domainToken(), QString());
    EXPECT_EQ(credentials.userName(), QStringLiteral("ann"));
    EXPECT_FALSE(credentials.harToken());
    EXPECT_TRUE(store->finds.isEmpty());
}

TEST_F(BRSSettingsStorageTest, TheKeychainIsReadInOrderDomainTokenThenTokenThenPassword) {
    store->put(QStringLiteral("userNameString"), "pw-user");
    store->put(QStringLiteral("passwordString"), "pw");
    store->put(QStringLiteral("userName"), "beside the token");
    store->put(QStringLiteral("refreshToken"), "token");
    store->put(QStringLiteral("domainToken"), "");

    const BRSLoginCredentials token = BRSSettingsStorage(testDefaults()).getCredentials();
    EXPECT_EQ(token.token(), QStringLiteral("token"));
    EXPECT_EQ(token.userName(), std::nullopt) << "the user name beside a token is not part of the record";
    EXPECT_FALSE(store->finds.contains(QStringLiteral("userName")));

    store->put(QStringLiteral("domainToken"), "dt");
    const BRSLoginCredentials domain = BRSSettingsStorage(testDefaults()).getCredentials();
    EXPECT_EQ(domain.domainToken(), QStringLiteral("dt"));
    EXPECT_EQ(domain.userName(), QStringLiteral("beside the token"));
    EXPECT_FALSE(domain.harToken());

    store->items.clear();
    BRSKeychainController::sharedKeychainController().resetForTesting(store);
    store->put(QStringLiteral("userNameString"), "pw-user");
    const BRSLoginCredentials password = BRSSettingsStorage(testDefaults()).getCredentials();
    EXPECT_EQ(password.userName(), QStringLiteral("pw-user"));
    EXPECT_EQ(password.password(), std::nullopt);
    EXPECT_TRUE(password.harCredentials());
}

TEST_F(BRSSettingsStorageTest, NothingAnywhereGivesARecordForWhichEveryPredicateSaysNo) {
    store->failing = true;
    const BRSLoginCredentials nothing = BRSSettingsStorage(testDefaults()).getCredentials();
    EXPECT_FALSE(nothing.harCredentials());
    EXPECT_FALSE(nothing.harToken());
    EXPECT_FALSE(nothing.harDomainToken());
    EXPECT_EQ(nothing.password(), std::nullopt);
}

TEST_F(BRSSettingsStorageTest, StoringTheSameTokenTwiceWritesTheKeychainOnce) {
    BRSSettingsStorage(testDefaults()).setToken(QStringLiteral("t"), QString());
    const QStringList firstWrites = store->writes;
    EXPECT_EQ(firstWrites, (QStringList{QStringLiteral("add refreshToken"), QStringLiteral("add userName")}));
    EXPECT_TRUE(store->has(QStringLiteral("userName"))) << "an empty user name is an item with no bytes";

    BRSSettingsStorage(testDefaults()).setToken(QStringLiteral("t"), QString());
    EXPECT_EQ(store->writes, firstWrites);
    EXPECT_EQ(BRSSettingsStorage(testDefaults()).getCredentials().token(), QStringLiteral("t"));

    BRSSettingsStorage(testDefaults()).setToken(std::nullopt, std::nullopt);
    EXPECT_FALSE(store->has(QStringLiteral("refreshToken")));
    EXPECT_FALSE(store->has(QStringLiteral("userName")));
}

}  // namespace
