#include "BRSKeychainController.h"

#include <gtest/gtest.h>

#include "BRSKeychain.h"
#include "MemorySecretStore.h"

namespace {

class BRSKeychainControllerTest : public ::testing::Test {
protected:
    void SetUp() override { controller.resetForTesting(store); }
    void TearDown() override { controller.resetForTesting(nullptr); }

    std::shared_ptr<MemorySecretStore> store = std::make_shared<MemorySecretStore>();
    BRSKeychainController& controller = BRSKeychainController::sharedKeychainController();
    BRSKeychain& keychain = BRSKeychain::sharedKeychain();
};

TEST_F(BRSKeychainControllerTest, WritingTheTextTheStoreHoldsDoesNotTouchTheStore) {
    keychain.setObject(QStringLiteral("t1"), QStringLiteral("refreshToken"));
    keychain.setObject(QStringLiteral("t1"), QStringLiteral("refreshToken"));
    EXPECT_EQ(store->writes, QStringList{QStringLiteral("add refreshToken")});

    keychain.setObject(QStringLiteral("t2"), QStringLiteral("refreshToken"));
    EXPECT_EQ(store->writes.last(), QStringLiteral("replace refreshToken"));
    EXPECT_EQ(store->secretOf(QStringLiteral("refreshToken")), QByteArray("t2"));
    EXPECT_EQ(keychain.stringForKey(QStringLiteral("refreshToken")), QStringLiteral("t2"));
}

TEST_F(BRSKeychainControllerTest, AnAbsentValueDeletesTheItemAndEmptyTextStoresAnEmptySecret) {
    keychain.setObject(QString(), QStringLiteral("userName"));
    ASSERT_TRUE(store->has(QStringLiteral("userName")));
    EXPECT_TRUE(store->secretOf(QStringLiteral("userName")).isEmpty());
    EXPECT_EQ(keychain.objectForKey(QStringLiteral("userName")), QString());

    keychain.removeObjectForKey(QStringLiteral("userName"));
    EXPECT_FALSE(store->has(QStringLiteral("userName")));
    EXPECT_EQ(keychain.objectForKey(QStringLiteral("userName")), std::nullopt) << "the buffer forgets it too";

    store->writes.clear();
    EXPECT_TRUE(controller.storeString(std::nullopt, QStringLiteral("never")));
    EXPECT_TRUE(store->writes.isEmpty()) << "nothing to delete";
    EXPECT_FALSE(store->has(QStringLiteral("never")));
}

TEST_F(BRSKeychainControllerTest, TheStoreWinsOverTheBufferWhichOnlyCoversForAStoreThatRefused) {
    EXPECT_TRUE(keychain.setObject(QStringLiteral("mine"), QStringLiteral("k")));
    store->put(QStringLiteral("k"), "changed elsewhere");
    EXPECT_EQ(keychain.objectForKey(QStringLiteral("k")), QStringLiteral("changed elsewhere"));

    store->failing = true;
    EXPECT_FALSE(keychain.setObject(QStringLiteral("kept in memory"), QStringLiteral("k")))
        << "the caller must learn that the store refused";
    EXPECT_EQ(keychain.objectForKey(QStringLiteral("k")), QStringLiteral("kept in memory"));
    EXPECT_EQ(controller.stringForKey(QStringLiteral("k")), std::nullopt);
    EXPECT_FALSE(controller.storeString(std::nullopt, QStringLiteral("k")))
        << "a store that cannot be asked has deleted nothing";
    EXPECT_EQ(controller.values().value(QStringLiteral("k")), QStringLiteral("kept in memory"));
}

TEST_F(BRSKeychainControllerTest, OnlyKeyPathsThatBeginWithValuesReachTheStore) {
    store->put(QStringLiteral("x.values.k"), "secret");
    store->put(QStringLiteral("k"), "secret");
    EXPECT_EQ(controller.valueForKeyPath(QStringLiteral("x.values.k")), std::nullopt);
    controller.setValue(QStringLiteral("v"), QStringLiteral("x.values.k"));
    controller.setValue(QStringLiteral("v"), QStringLiteral("values"));
    EXPECT_TRUE(store->finds.isEmpty());
    EXPECT_TRUE(store->writes.isEmpty());
    EXPECT_EQ(controller.valueForKeyPath(QStringLiteral("values.k")), QStringLiteral("secret"));
}

TEST_F(BRSKeychainControllerTest, ASecretThatIsNotUtf8ReadsAsNothingAndOtherTextExactly) {
    store->put(QStringLiteral("bad"), QByteArray("ab\xff\xfe", 4));
    store->put(QStringLiteral("good"), QStringLiteral("\uFEFFæøå ✓").toUtf8());
    EXPECT_EQ(controller.stringForKey(QStringLiteral("bad")), std::nullopt);
    EXPECT_EQ(controller.stringForKey(QStringLiteral("good")), QStringLiteral("\uFEFFæøå ✓"))
        << "a leading byte-order mark is part of the secret";
    EXPECT_EQ(controller.serviceName(), QStringLiteral("com.halvex.Orlin"));
}

}  // namespace
