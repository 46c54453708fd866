#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "ProfileGetResponse.h"
#include "ProfileUpdateModel.h"
#include "ProfileUpdateResponse.h"

namespace {
const char* const kColleagueId = "0f8fad5b-d9cb-469f-a165-70867728950e";

QJsonObject field() {
    return QJsonObject{{"code", "title"}, {"displayName", "Title"}, {"isImageType", false},
                       {"fieldType", 3},  {"value", "CEO"},         {"listItems", QJsonArray{"CEO", "CTO"}}};
}

QJsonObject colleague() {
    return QJsonObject{{"id", kColleagueId},
                       {"employeeDisplayName", "Ann"},
                       {"employeeEmail", "ann@x.example"},
                       {"selected", true}};
}

QByteArray envelope(const QJsonObject& fieldObject, const QJsonObject& colleagueObject) {
    const QJsonObject data{{"fields", QJsonArray{fieldObject}},
                           {"sharedEmployees", QJsonArray{colleagueObject}},
                           {"editable", true}};
    return QJsonDocument(QJsonObject{{"result", true}, {"error", QJsonValue()}, {"data", data}, {"extra", 1}})
        .toJson();
}

std::optional<ProfileGetResponse> decodeWithField(const char* key, const QJsonValue& value) {
    QJsonObject changed = field();
    if (value.isUndefined()) {
        changed.remove(QLatin1String(key));
    } else {
        changed.insert(QLatin1String(key), value);
    }
    return ProfileGetResponse::fromJsonData(envelope(changed, colleague()));
}

std::optional<ProfileGetResponse> decodeWithColleague(const char* key, const QJsonValue& value) {
    QJsonObject changed = colleague();
    if (value.isUndefined()) {
        changed.remove(QLatin1String(key));
    } else {
        changed.insert(QLatin1String(key), value);
    }
    return ProfileGetResponse::fromJsonData(envelope(field(), changed));
}
}  // namespace

TEST(ProfileModelsTest, DecodesAFullProfile) {
    const auto response = ProfileGetResponse::fromJsonData(envelope(field(), colleague()));
    ASSERT_TRUE(response);
    EXPECT_TRUE(response->result);
    EXPECT_FALSE(response->error);
    ASSERT_EQ(response->data.fields.size(), 1);
    const FieldGetModel& title = response->data.fields.first();
    EXPECT_EQ(title.code, QStringLiteral("title"));
    EXPECT_EQ(title.fieldType, ProfileFieldType::List);
    EXPECT_EQ(title.value, QStringLiteral("CEO"));
    EXPECT_EQ(title.listItems, (QStringList{"CEO", "CTO"}));
    ASSERT_EQ(response->data.sharedEmployees.size(), 1);
    EXPECT_EQ(response->data.sharedEmployees.first().id, QUuid::fromString(QLatin1String(kColleagueId)));
    EXPECT_TRUE(response->data.sharedEmployees.first().selected);
    EXPECT_TRUE(response->data.editable);
}

TEST(ProfileModelsTest, OptionalValueMayBeNullOrAbsent) {
    for (const QJsonValue& value : {QJsonValue(QJsonValue::Null), QJsonValue(QJsonValue::Undefined)}) {
        const auto response = decodeWithField("value", value);
        ASSERT_TRUE(response);
        EXPECT_FALSE(response->data.fields.first().value.has_value());
    }
}

TEST(ProfileModelsTest, RequiredOrMistypedFieldMembersFailTheWholeAnswer) {
    EXPECT_FALSE(decodeWithField("listItems", QJsonValue::Undefined));
    EXPECT_FALSE(decodeWithField("listItems", QJsonValue::Null));
    EXPECT_FALSE(decodeWithField("listItems", QJsonArray{"a", 1}));
    EXPECT_FALSE(decodeWithField("code", QJsonValue::Null));
    EXPECT_FALSE(decodeWithField("displayName", 5));
    EXPECT_FALSE(decodeWithField("isImageType", "false"));
    EXPECT_FALSE(decodeWithField("fieldType", 1.5));
    EXPECT_FALSE(decodeWithField("fieldType", "3"));
    EXPECT_FALSE(decodeWithField("value", 7));
    EXPECT_TRUE(decodeWithField("listItems", QJsonArray{}));
}

TEST(ProfileModelsTest, FieldTypesAreTheServiceNumbersAndANewNumberLeavesOnlyThatFieldUntyped) {
    const QList<std::pair<qint64, ProfileFieldType>> known{{1, ProfileFieldType::Text},
                                                           {2, ProfileFieldType::Image},
                                                           {3, ProfileFieldType::List},
                                                           {4, ProfileFieldType::Boolean}};
    for (const auto& [number, type] : known) {
        const auto response = decodeWithField("fieldType", number);
        ASSERT_TRUE(response);
        EXPECT_EQ(response->data.fields.first().fieldType, type) << number;
        EXPECT_EQ(ProfileFieldTypes::toWire(type), number);
    }
    for (const qint64 number : {0, 5, 7, -1}) {
        const auto response = decodeWithField("fieldType", number);
        ASSERT_TRUE(response) << number;
        EXPECT_FALSE(response->data.fields.first().fieldType.has_value()) << number;
    }
}

TEST(ProfileModelsTest, ColleagueIdMustBeAHyphenatedUuidInEitherCase) {
    const auto upper = decodeWithColleague("id", QString::fromLatin1(kColleagueId).toUpper());
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->data.sharedEmployees.first().id, QUuid::fromString(QLatin1String(kColleagueId)));
    EXPECT_FALSE(decodeWithColleague("id", "not-a-uuid"));
    EXPECT_FALSE(decodeWithColleague("id", QStringLiteral("{%1}").arg(QLatin1String(kColleagueId))));
    EXPECT_FALSE(decodeWithColleague("id", "0f8fad5bd9cb469fa16570867728950e"));
    EXPECT_FALSE(decodeWithColleague("id", "0f8fad5b-d9cb-469f-a165-70867728950g"));
    EXPECT_FALSE(decodeWithColleague("selected", QJsonValue::Undefined));
    EXPECT_FALSE(decodeWithColleague("employeeEmail", QJsonValue::Null));
}

TEST(ProfileModelsTest, EnvelopeNeedsResultAndData) {
    EXPECT_FALSE(ProfileGetResponse::fromJsonData(R"({"result": true})"));
    EXPECT_FALSE(ProfileGetResponse::fromJsonData(R"({"result": true, "data": null})"));
    EXPECT_FALSE(ProfileGetResponse::fromJsonData(
        R"({"data": {"fields": [], "sharedEmployees": [], "editable": true}})"));
    EXPECT_FALSE(ProfileGetResponse::fromJsonData(
        R"({"result": 1, "data": {"fields": [], "sharedEmployees": [], "editable": true}})"));
    EXPECT_FALSE(
        ProfileGetResponse::fromJsonData(R"({"result": true, "data": {"fields": [], "editable": true}})"));
    EXPECT_FALSE(ProfileGetResponse::fromJsonData(
        R"([{"result": true, "data": {"fields": [], "sharedEmployees": [], "editable": true}}])"));
    const auto empty = ProfileGetResponse::fromJsonData(
        R"({"result": false, "error": "x", "data": {"fields": [], "sharedEmployees": [], "editable": false}})");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->error, QStringLiteral("x"));
    EXPECT_TRUE(empty->data.fields.isEmpty());
}

TEST(ProfileModelsTest, UpdateResponseIsStrictAboutTypes) {
    const auto ok = ProfileUpdateResponse::fromJsonData(R"({"result": true})");
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->result);
    EXPECT_FALSE(ok->error);
    const auto failed =
        ProfileUpdateResponse::fromJsonData(R"({"result": false, "data": null, "error": "No"})");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->error, QStringLiteral("No"));
    EXPECT_FALSE(ProfileUpdateResponse::fromJsonData(R"({"error": "No"})"));
    EXPECT_FALSE(ProfileUpdateResponse::fromJsonData(R"({"result": true, "error": 3})"));
    EXPECT_FALSE(ProfileUpdateResponse::fromJsonData("<html></html>"));
}

TEST(ProfileModelsTest, SaveBodyIsCompactWithUpperCaseIds) {
    const ProfileUpdateModel model({FieldUpdateModel(QStringLiteral("title"), QStringLiteral("a/b \"q\""))},
                                   {QUuid::fromString(QLatin1String(kColleagueId))});
    const QByteArray body = model.toJsonData();
    EXPECT_FALSE(body.contains('\n'));
    EXPECT_FALSE(body.contains(": "));
    const QJsonObject decoded = QJsonDocument::fromJson(body).object();
    EXPECT_EQ(decoded.value("fields"),
              QJsonValue(QJsonArray{QJsonObject{{"code", "title"}, {"value", "a/b \"q\""}}}));
    EXPECT_EQ(decoded.value("sharedEmployees"),
              QJsonValue(QJsonArray{QString::fromLatin1(kColleagueId).toUpper()}));
    EXPECT_EQ(ProfileUpdateModel({}, {}).toJsonData(), QByteArray(R"({"fields":[],"sharedEmployees":[]})"));
}
