// The editor end to end: a profile fetched from the mock service, edited, and saved back through the
// service client, with the body the service receives compared as JSON.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include "MockOrlinService.h"
#include "OrlinSyncService.h"
#include "Profile2WindowController.h"
#include "ProfileTestSupport.h"
#include "RunUntil.h"
#include "ServiceConfiguration.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

namespace {

const std::string kProfilePath = "/user/api/5.0/profile";

class ProfileSaveAgainstServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        testDefaults().resetForTesting();
        testDefaults().setArgumentDomain({
            {ServiceConfiguration::kAuthBaseUrlKey, mock.baseUrl() + QStringLiteral("auth/")},
            {ServiceConfiguration::kEuAppBaseUrlKey, mock.baseUrl() + QStringLiteral("eu/")},
            {ServiceConfiguration::kAppBaseUrlKey, mock.baseUrl() + QStringLiteral("app/")},
        });
        const std::string syncRoot = mock.baseUrl().toStdString() + "user";
        mock.setAnswer(
            "GET", "/auth/OAuth/AuthorizeEmployee",
            MockOrlinService::Answer::json(
                R"({"result": true, "data": {"RefreshToken": "refresh-2", "AccessToken": "access-1",
                               "SyncRoot": ")" +
                syncRoot + R"(", "UserName": "ann"}})"));
    }
    void TearDown() override { testDefaults().resetForTesting(); }

    MockOrlinService mock;
    BRSLoginCredentials credentials = BRSLoginCredentials::initWithToken(QStringLiteral("refresh-1"));
};

TEST_F(ProfileSaveAgainstServiceTest, TheServiceReceivesExactlyTheChangedFieldsAndTheTickedColleagues) {
    const QString picture = profiletest::pngBase64({4, 4}, Qt::blue);
    const std::string profileJson = R"({"result": true, "data": {"editable": true, "fields": [
        {"code": "name", "displayName": "Name", "isImageType": false, "fieldType": 1, "value": "Ann",
         "listItems": []},
        {"code": "title", "displayName": "Title", "isImageType": false, "fieldType": 1, "value": "CTO",
         "listItems": []},
        {"code": "phone", "displayName": "Phone", "isImageType": false, "fieldType": 1, "listItems": []},
        {"code": "photo", "displayName": "Photo", "isImageType": true, "fieldType": 2, "value": ")" +
                                    picture.toStdString() + R"(", "listItems": []},
        {"code": "office", "displayName": "Office", "isImageType": false, "fieldType": 3, "value": "Oslo",
         "listItems": ["Oslo", "Bergen"]},
        {"code": "video", "displayName": "Video", "isImageType": false, "fieldType": 7, "listItems": []},
        {"code": "remote", "displayName": "Remote", "isImageType": false, "fieldType": 4, "value": "TRUE",
         "listItems": []}],
      "sharedEmployees": [
        {"id": "0f8fad5b-d9cb-469f-a165-70867728950e", "employeeDisplayName": "Bo", "employeeEmail": "b@x",
         "selected": true},
        {"id": "7c9e6679-7425-40de-944b-e07fc1f90ae7", "employeeDisplayName": "Cy", "employeeEmail": "c@x",
         "selected": false},
        {"id": "16fd2706-8baf-433b-82eb-8c7fada847da", "employeeDisplayName": "Di", "employeeEmail": "d@x",
         "selected": true}]}})";
    mock.setAnswer("GET", kProfilePath, MockOrlinService::Answer::json(profileJson));
    mock.setAnswer("POST", kProfilePath, MockOrlinService::Answer::json(R"({"result": true})"));

    const OrlinSyncService service(ServiceConfiguration::fromDefaults(testDefaults()));
    std::optional<ProfileGetModel> profile;
    bool fetched = false;
    service.getProfile(credentials, [&](OrlinSyncService::ProfileReply reply) {
        EXPECT_TRUE(reply.result.ok());
        if (reply.result.ok()) {
            profile = std::move(reply.result).value();
        }
        fetched = true;
    });
    runUntil([&] { return fetched; });
    ASSERT_TRUE(profile);

    Profile2WindowController editor;
    bool savedOnService = false;
    editor.showWindow();
    editor.setFields(*profile, [&](const ProfileUpdateModel& model) {
        service.saveProfile(credentials, model, [&](OrlinSyncService::SaveReply reply) {
            EXPECT_TRUE(reply.result.ok());
            savedOnService = true;
        });
    });
    ASSERT_EQ(editor.fields().size(), 6);
    qobject_cast<QLineEdit*>(editor.fields().at(1).editor())->setText(QStringLiteral("CEO"));
    qobject_cast<QComboBox*>(editor.fields().at(4).editor())->setCurrentIndex(1);
    editor.tableView()->item(1)->setCheckState(Qt::Checked);
    editor.tableView()->item(2)->setCheckState(Qt::Unchecked);
    editor.save();
    runUntil([&] { return savedOnService; });

    const auto posts = mock.requestsTo(kProfilePath);
    ASSERT_EQ(posts.size(), 2);
    EXPECT_EQ(posts[1].method, "POST");
    QJsonParseError parseError;
    const QJsonDocument body = QJsonDocument::fromJson(QByteArray::fromStdString(posts[1].body), &parseError);
    ASSERT_EQ(parseError.error, QJsonParseError::NoError) << posts[1].body;
    const QJsonObject expected{
        {QStringLiteral("fields"),
         QJsonArray{QJsonObject{{QStringLiteral("code"), QStringLiteral("title")},
                                {QStringLiteral("value"), QStringLiteral("CEO")}},
                    QJsonObject{{QStringLiteral("code"), QStringLiteral("phone")},
                                {QStringLiteral("value"), QString()}},
                    QJsonObject{{QStringLiteral("code"), QStringLiteral("office")},
                                {QStringLiteral("value"), QStringLiteral("Bergen")}},
                    QJsonObject{{QStringLiteral("code"), QStringLiteral("remote")},
                                {QStringLiteral("value"), QStringLiteral("false")}}}},
        {QStringLiteral("sharedEmployees"),
         QJsonArray{QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"),
                    QStringLiteral("7C9E6679-7425-40DE-944B-E07FC1F90AE7")}},
    };
    EXPECT_EQ(body.object(), expected) << posts[1].body;
}

}  // namespace
