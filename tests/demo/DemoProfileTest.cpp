// The demo service's profile: what a save may change, and how the signatures follow the fields.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "DemoInstallation.h"
#include "DemoProfile.h"
#include "DemoService.h"

namespace {

QJsonObject update(QJsonArray fields, QJsonArray colleagues = {}) {
    return QJsonObject{{QStringLiteral("fields"), fields}, {QStringLiteral("sharedEmployees"), colleagues}};
}

QJsonObject field(const QString& code, const QString& value) {
    return QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("value"), value}};
}

QString html(const QJsonObject& signatures, const QString& name) {
    for (const QJsonValue& signature : signatures.value(QStringLiteral("signatures")).toArray()) {
        if (signature[QStringLiteral("Name")].toString() == name) {
            return signature[QStringLiteral("HTML")].toString();
        }
    }
    return {};
}

QStringList names(const QJsonObject& signatures) {
    QStringList result;
    for (const QJsonValue& signature : signatures.value(QStringLiteral("signatures")).toArray()) {
        result.append(signature[QStringLiteral("Name")].toString());
    }
    return result;
}

class DemoProfileTest : public ::testing::Test {
protected:
    DemoProfile profile = DemoProfile::initial(DemoService::drawLogo());
    QString error;
};

TEST_F(DemoProfileTest, ASaveIsAllOrNothing) {
    const QJsonObject before = profile.signaturesJson();
    EXPECT_FALSE(profile.applyUpdate(update({field(QStringLiteral("fullName"), QStringLiteral("Bob")),
                                             field(QStringLiteral("office"), QStringLiteral("Atlantis"))}),
                                     &error));
    EXPECT_EQ(error, QStringLiteral("\"Atlantis\" is not one of the choices for Office."));
    EXPECT_EQ(profile.value(QStringLiteral("fullName")), QStringLiteral("Ann Example"));
    EXPECT_EQ(profile.signaturesJson(), before);

    for (const QJsonObject& refused :
         {update({field(QStringLiteral("nickname"), QStringLiteral("x"))}),
          update({field(QStringLiteral("showPhone"), QStringLiteral("yes"))}),
          update({field(QStringLiteral("logo"), QStringLiteral("not a picture"))}),
          update({field(QStringLiteral("logo"), QString::fromLatin1(QByteArray("plain text").toBase64()))}),
          update({field(QStringLiteral("jobTitle"), QStringLiteral("two\nlines"))}),
          update({}, QJsonArray{QStringLiteral("not-a-uuid")}),
          QJsonObject{{QStringLiteral("fields"), QJsonArray()}}}) {
        EXPECT_FALSE(profile.applyUpdate(refused, &error)) << QJsonDocument(refused).toJson().toStdString();
    }
    EXPECT_EQ(profile.signaturesJson(), before);
}

TEST_F(DemoProfileTest, SignaturesFollowTheFieldsAndEscapeThem) {
    const QJsonObject initial = profile.signaturesJson();
    EXPECT_GE(names(initial).size(), 3);
    EXPECT_TRUE(html(initial, QStringLiteral("Demo Full")).contains(QLatin1String("+45 33 12 34 56")));
    EXPECT_TRUE(html(initial, QStringLiteral("Demo Full")).contains(QLatin1String("src=\"demo-logo\"")));
    EXPECT_EQ(initial.value(QStringLiteral("images")).toArray().at(0)[QStringLiteral("Url")].toString(),
              profile.logoPath());

    ASSERT_TRUE(
        profile.applyUpdate(update({field(QStringLiteral("jobTitle"), QStringLiteral("<script>x</script>")),
                                    field(QStringLiteral("showPhone"), QStringLiteral("false")),
                                    field(QStringLiteral("office"), QStringLiteral("London")),
                                    field(QStringLiteral("logo"), QString())}),
                            &error))
        << error.toStdString();
    const QJsonObject changed = profile.signaturesJson();
    const QString full = html(changed, QStringLiteral("Demo Full"));
    EXPECT_TRUE(full.contains(QLatin1String("&lt;script&gt;x&lt;/script&gt;")));
    EXPECT_FALSE(full.contains(QLatin1String("<script>")));
    EXPECT_FALSE(full.contains(QLatin1String("33 12 34 56"))) << "the phone is switched off";
    EXPECT_TRUE(full.contains(QLatin1String("London EC1A")));
    EXPECT_FALSE(full.contains(QLatin1String("<img"))) << "a cleared logo leaves no broken image";
    EXPECT_FALSE(changed.contains(QStringLiteral("images")));
}

TEST_F(DemoProfileTest, SelectedColleaguesGetASharedSignature) {
    QJsonArray everyone;
    for (const DemoProfile::Colleague& colleague : profile.colleagues()) {
        everyone.append(colleague.id.toString(QUuid::WithoutBraces).toLower());
    }
    ASSERT_TRUE(profile.applyUpdate(update({}, everyone), &error));
    EXPECT_EQ(names(profile.signaturesJson()).filter(QStringLiteral("Demo Team - ")).size(),
              profile.colleagues().size());

    ASSERT_TRUE(profile.applyUpdate(update({}), &error));
    EXPECT_TRUE(names(profile.signaturesJson()).filter(QStringLiteral("Demo Team - ")).isEmpty());
}

TEST_F(DemoProfileTest, TheStoredFormKeepsEveryChange) {
    ASSERT_TRUE(
        profile.applyUpdate(update({field(QStringLiteral("fullName"), QStringLiteral("Bo"))}), &error));
    const std::optional<DemoProfile> stored = DemoProfile::fromStoredJson(profile.toStoredJson());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->signaturesJson(), profile.signaturesJson());
    EXPECT_EQ(stored->toServiceJson(), profile.toServiceJson());
    EXPECT_FALSE(
        DemoProfile::fromStoredJson(QJsonObject{{QStringLiteral("fields"), QJsonArray()}}).has_value());
}

TEST(DemoInstallationTest, ReportsWhatChangedAndWhatIsMissing) {
    using Client = DemoInstallation::Client;
    DemoInstallation empty;
    bool complete = true;
    const QStringList lines = DemoInstallation::report(empty, empty, {QStringLiteral("A")},
                                                       {Client::Outlook, Client::AppleMail}, &complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("not installed A -> Outlook"),
                                  QStringLiteral("not installed A -> Apple Mail"),
                                  QStringLiteral("some signatures are missing from a mail client")}));
}

}  // namespace
