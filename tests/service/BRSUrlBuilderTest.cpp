#include "BRSUrlBuilder.h"

#include <gtest/gtest.h>

#include <QUrlQuery>

TEST(BRSUrlBuilderTest, BaseAloneHasNoQuery) {
    EXPECT_EQ(BRSUrlBuilder().getUrl(), QStringLiteral("/"));
    EXPECT_EQ(BRSUrlBuilder(QStringLiteral("https://auth.orlin.example/x")).getUrl(),
              QStringLiteral("https://auth.orlin.example/x"));
}

TEST(BRSUrlBuilderTest, EncodesEachKeyAndValueOnItsOwn) {
    BRSUrlBuilder builder(QStringLiteral("https://h/p"));
    builder.addParameterWithKey(QStringLiteral("email"), QStringLiteral("a+b@c.example"));
    builder.addParameterWithKey(QStringLiteral("secret"), QStringLiteral("x&y=z #?%"));
    const QString url = builder.getUrl();
    EXPECT_TRUE(url.startsWith(QStringLiteral("https://h/p?")));
    const QStringList pairs = builder.getQueryString().split(QLatin1Char('&'));
    ASSERT_EQ(pairs.size(), 2) << url.toStdString();
    EXPECT_TRUE(pairs.contains(QStringLiteral("email=a%2Bb%40c.example")));
    EXPECT_TRUE(pairs.contains(QStringLiteral("secret=x%26y%3Dz%20%23%3F%25")));
}

TEST(BRSUrlBuilderTest, KeepsQuerySafeCharactersAndEncodesUtf8) {
    BRSUrlBuilder builder(QStringLiteral("b"));
    builder.addParameterWithKey(QStringLiteral("k"), QStringLiteral("-._~!$'()*,/:;") + QChar(0xE9) +
                                                         QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(builder.getUrl(), QStringLiteral("b?k=-._~!$'()*,/:;%C3%A9%F0%9F%98%80"));
}

TEST(BRSUrlBuilderTest, AbsentKeyOrValueIsIgnoredAndLaterValueWins) {
    BRSUrlBuilder builder(QStringLiteral("b"));
    builder.addParameterWithKey(QStringLiteral("k"), std::nullopt);
    builder.addParameterWithKey(std::nullopt, QStringLiteral("v"));
    EXPECT_TRUE(builder.parameters().isEmpty());
    builder.addParameterWithKey(QStringLiteral("k"), QStringLiteral("first"));
    builder.addParameterWithKey(QStringLiteral("k"), QStringLiteral("second"));
    EXPECT_EQ(builder.getUrl(), QStringLiteral("b?k=second"));
    // An empty value is a value: the parameter is still sent.
    builder.addParameterWithKey(QStringLiteral("e"), QString());
    EXPECT_TRUE(builder.getQueryString().split(QLatin1Char('&')).contains(QStringLiteral("e=")));
}

TEST(BRSUrlBuilderTest, StandardDecodingRestoresEveryValue) {
    const QString awkward = QStringLiteral("p&ss=w+rd@ 100% #1?") + QChar(0x00FC);
    BRSUrlBuilder builder(QStringLiteral("https://h/p"));
    builder.addParameterWithKey(QStringLiteral("secret"), awkward);
    builder.addParameterWithKey(QStringLiteral("a&b"), QStringLiteral("c"));
    const QUrlQuery query(builder.getQueryString());
    EXPECT_EQ(query.queryItems().size(), 2);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("secret"), QUrl::FullyDecoded), awkward);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("a&b"), QUrl::FullyDecoded), QStringLiteral("c"));
}
