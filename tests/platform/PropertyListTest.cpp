#include "PropertyList.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace {

TEST(PropertyListTest, ValuesSurviveARoundTripThroughXml) {
    const QVariantMap original{
        {QStringLiteral("yes"), true},
        {QStringLiteral("no"), false},
        {QStringLiteral("count"), 42},
        {QStringLiteral("negative"), -3},
        {QStringLiteral("ratio"), 0.5},
        {QStringLiteral("text"), QStringLiteral("æøå <&> \"quoted\"")},
        {QStringLiteral("empty"), QString()},
        {QStringLiteral("bytes"), QByteArray("\x00\x01\xff", 3)},
        {QStringLiteral("when"), QDateTime(QDate(2024, 2, 29), QTime(12, 30, 15), Qt::UTC)},
        {QStringLiteral("list"), QVariantList{1, QStringLiteral("two")}},
        {QStringLiteral("nested"), QVariantMap{{QStringLiteral("inner"), true}}},
    };
    const auto read = PropertyList::dictionaryFromData(PropertyList::xmlFromDictionary(original));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->value(QStringLiteral("yes")), QVariant(true));
    EXPECT_EQ(read->value(QStringLiteral("no")), QVariant(false)) << "NO is a boolean, not an absent key";
    EXPECT_EQ(read->value(QStringLiteral("count")).toLongLong(), 42);
    EXPECT_EQ(read->value(QStringLiteral("negative")).toLongLong(), -3);
    EXPECT_DOUBLE_EQ(read->value(QStringLiteral("ratio")).toDouble(), 0.5);
    EXPECT_EQ(read->value(QStringLiteral("text")).toString(),
              original.value(QStringLiteral("text")).toString());
    EXPECT_EQ(read->value(QStringLiteral("empty")).typeId(), QMetaType::QString);
    EXPECT_EQ(read->value(QStringLiteral("bytes")).toByteArray(), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(read->value(QStringLiteral("when")).toDateTime(),
              original.value(QStringLiteral("when")).toDateTime());
    EXPECT_EQ(read->value(QStringLiteral("list")).toList().value(1).toString(), QStringLiteral("two"));
    EXPECT_EQ(read->value(QStringLiteral("nested")).toMap().value(QStringLiteral("inner")), QVariant(true));
}

TEST(PropertyListTest, AnythingButADictionaryAtTheTopIsNoDictionary) {
    EXPECT_FALSE(PropertyList::dictionaryFromData({}).has_value());
    EXPECT_FALSE(PropertyList::dictionaryFromData("not a property list").has_value());
    EXPECT_FALSE(PropertyList::dictionaryFromData(
                     "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>")
                     .has_value());
    EXPECT_FALSE(PropertyList::readDictionary(QStringLiteral("/nonexistent/file.plist")).has_value());
}

}  // namespace
