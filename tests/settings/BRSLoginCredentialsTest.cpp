#include "BRSLoginCredentials.h"

#include <gtest/gtest.h>

namespace {

TEST(BRSLoginCredentialsTest, EachFormSetsOnlyItsOwnValues) {
    const auto password = BRSLoginCredentials::initWithUserName(QStringLiteral("ann"), QStringLiteral("pw"));
    EXPECT_EQ(password.userName(), QStringLiteral("ann"));
    EXPECT_EQ(password.password(), QStringLiteral("pw"));
    EXPECT_FALSE(password.token().has_value());
    EXPECT_FALSE(password.domainToken().has_value());

    const auto token = BRSLoginCredentials::initWithToken(QStringLiteral("t"));
    EXPECT_EQ(token.token(), QStringLiteral("t"));
    EXPECT_FALSE(token.userName().has_value());

    const auto domain = BRSLoginCredentials::initWithDomainToken(QStringLiteral("d"), QStringLiteral("ann"));
    EXPECT_EQ(domain.domainToken(), QStringLiteral("d"));
    EXPECT_EQ(domain.userName(), QStringLiteral("ann"));
    EXPECT_FALSE(domain.password().has_value());
}

TEST(BRSLoginCredentialsTest, PredicatesLookAtOneValueEachAndTreatEmptyAsAbsent) {
    const auto domain = BRSLoginCredentials::initWithDomainToken(QStringLiteral("d"), QStringLiteral("ann"));
    EXPECT_TRUE(domain.harCredentials());
    EXPECT_TRUE(domain.harDomainToken());
    EXPECT_FALSE(domain.harToken());

    const auto nothing = BRSLoginCredentials::initWithUserName(std::nullopt, std::nullopt);
    EXPECT_FALSE(nothing.harCredentials());
    EXPECT_FALSE(nothing.harToken());
    EXPECT_FALSE(nothing.harDomainToken());

    EXPECT_FALSE(BRSLoginCredentials::initWithToken(QString()).harToken());
    EXPECT_FALSE(BRSLoginCredentials::initWithDomainToken(QString(), QStringLiteral("ann")).harDomainToken());
    for (const BRSLoginCredentials::Text& name :
         {BRSLoginCredentials::Text(QString()), BRSLoginCredentials::Text()}) {
        const auto nameless = BRSLoginCredentials::initWithDomainToken(QStringLiteral("d"), name);
        EXPECT_TRUE(nameless.harDomainToken()) << "the user name is not looked at";
        EXPECT_FALSE(nameless.harCredentials());
    }
    EXPECT_TRUE(BRSLoginCredentials::initWithUserName(QStringLiteral("ann"), std::nullopt).harCredentials())
        << "the password is not looked at";
}

}  // namespace
