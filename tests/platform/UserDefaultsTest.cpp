#include "UserDefaults.h"

#include <gtest/gtest.h>

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override { defaults.resetForTesting(); }
    void TearDown() override { defaults.resetForTesting(); }

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
};

TEST_F(UserDefaultsTest, CollectsKeyValuePairsAndLeavesTheRest) {
    QStringList rest;
    const QVariantMap domain = UserDefaults::argumentDomainFromArguments(
        {QStringLiteral("--headless"), QStringLiteral("-a"), QStringLiteral("1"), QStringLiteral("-a"),
         QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("--once"), QStringLiteral("-")},
        &rest);
    EXPECT_EQ(domain.value(QStringLiteral("a")).toString(), QStringLiteral("2")) << "a later pair wins";
    EXPECT_EQ(domain.value(QStringLiteral("b")).toString(), QStringLiteral("--once"));
    EXPECT_EQ(rest, (QStringList{QStringLiteral("--headless"), QStringLiteral("-")}));
}

TEST_F(UserDefaultsTest, ReadsBooleansTheWayTheDefaultsSystemDoes) {
    for (const char* yes : {"YES", "yes", "true", "TRUE", "1"}) {
        EXPECT_EQ(UserDefaults::boolFromValue(QString::fromLatin1(yes)), true) << yes;
    }
    for (const char* no : {"NO", "no", "false", "0"}) {
        EXPECT_EQ(UserDefaults::boolFromValue(QString::fromLatin1(no)), false) << no;
    }
    EXPECT_EQ(UserDefaults::boolFromValue(true), true);
    EXPECT_EQ(UserDefaults::boolFromValue(0), false);
    EXPECT_EQ(UserDefaults::boolFromValue(2), true);
    EXPECT_EQ(UserDefaults::boolFromValue(QStringLiteral("maybe")), std::nullopt);
    EXPECT_EQ(UserDefaults::boolFromValue(QStringList{}), std::nullopt);
    EXPECT_EQ(UserDefaults::boolFromValue(QVariant()), std::nullopt);
}

TEST_F(UserDefaultsTest, TheArgumentDomainOutranksTheUsersOwnValues) {
    defaults.setBool(false, QStringLiteral("k"));
    defaults.setBool(true, QStringLiteral("mine"));
    defaults.setArgumentDomain({{QStringLiteral("k"), QStringLiteral("YES")}});

    EXPECT_EQ(defaults.objectForKey(QStringLiteral("k")).toString(), QStringLiteral("YES"));
    const QVariantMap merged = defaults.dictionaryRepresentation();
    EXPECT_EQ(merged.value(QStringLiteral("k")).toString(), QStringLiteral("YES"));
    EXPECT_EQ(merged.value(QStringLiteral("mine")).toBool(), true);

    defaults.removeObjectForKey(QStringLiteral("mine"));
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("mine")).isValid());
    EXPECT_FALSE(defaults.dictionaryRepresentation().contains(QStringLiteral("mine")));
}

}  // namespace
