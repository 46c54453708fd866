#include "OrlinSyncService.h"

#include <gtest/gtest.h>

#include <QJsonObject>
#include "ServiceTestSupport.h"

#include "ServiceTransport.h"
#include "UrlErrors.h"

using servicetest::runUntil;
using Answer = MockOrlinService::Answer;
using Text = std::optional<QString>;

namespace {
const std::string kRefreshPath = "/auth/OAuth/AuthorizeEmployee";
const std::string kDomainPath = "/auth/OAuth/AuthorizeADEmployee";
const std::string kInvitePath = "/auth/Invite/AutoInvite";
const std::string kEuCompatPath = "/eu/RegApi/GetCompatInvitationCode";
const std::string kAppCompatPath = "/app/RegApi/GetCompatInvitationCode";
const std::string kSyncPath = "/user/sync3";
const std::string kProfilePath = "/user/api/5.0/profile";
const char* const kColleagueId = "0F8FAD5B-D9CB-469F-A165-70867728950E";

struct SignaturesResult {
    int calls = 0;
    bool onMainThread = false;
    std::optional<SignaturesAnswer> signatures;
    bool notModified = false;
    Text token;
    Text userName;
    std::optional<Error> error;
};

struct ProfileResult {
    int calls = 0;
    std::optional<ProfileGetModel> profile;
    Text token;
    Text userName;
    std::optional<Error> error;
};

struct SaveResult {
    int calls = 0;
    Text token;
    Text userName;
    std::optional<Error> error;
};

class OrlinSyncServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        testDefaults().resetForTesting();
        servicetest::useMock(mock);
    }
    void TearDown() override { testDefaults().resetForTesting(); }

    std::string syncRoot() const { return mock.baseUrl().toStdString() + "user"; }

    std::string refreshAnswer(const std::string& refreshToken = "refresh-2") const {
        return R"({"result": true, "data": {"RefreshToken": ")" + refreshToken +
               R"(", "AccessToken": "access-1", "SyncRoot": ")" + syncRoot() + R"(", "UserName": "ann"}})";
    }

    void answerTokenFlow() { mock.setAnswer("GET", kRefreshPath, Answer::json(refreshAnswer())); }

    // Made for each call, so a test that changes the defaults between calls is heard.
    static OrlinSyncService service() {
        return OrlinSyncService(ServiceConfiguration::fromDefaults(testDefaults()));
    }

    // Spreads a reply over the fields the cases check.
    template <typename T, typename Fields>
    static void record(OrlinSyncService::Reply<T> reply, Fields& result, std::optional<T>& value) {
        ++result.calls;
        result.token = std::move(reply.signIn.refreshToken);
        result.userName = std::move(reply.signIn.userName);
        if (reply.result.ok()) {
            value = std::move(reply.result).value();
        } else {
            result.error = reply.result.error();
        }
    }

    static void recordSignatures(OrlinSyncService::SignaturesReply reply, SignaturesResult& result) {
        std::optional<OrlinSyncService::Signatures> signatures;
        record(std::move(reply), result, signatures);
        if (signatures) {
            auto* whole = std::get_if<SignaturesAnswer>(&*signatures);
            result.notModified = !whole;
            if (whole) {
                result.signatures = std::move(*whole);
            }
        }
    }

    // Through a service of its own unless the case passes the one an agent keeps.
    SignaturesResult signatures(const BRSLoginCredentials& credentials,
                                const std::optional<AnswerValidator>& ifChangedSince = std::nullopt) {
        return signatures(credentials, service(), ifChangedSince);
    }

    SignaturesResult signatures(const BRSLoginCredentials& credentials, const OrlinSyncService& through,
                                const std::optional<AnswerValidator>& ifChangedSince = std::nullopt) {
        SignaturesResult result;
        through.getSignatures(
            credentials,
            [&result](OrlinSyncService::SignaturesReply reply) {
                result.onMainThread = servicetest::onMainThread();
                recordSignatures(std::move(reply), result);
            },
            ifChangedSince);
        EXPECT_EQ(result.calls, 0) << "the completion must not run before the call returns";
        runUntil([&result] { return result.calls > 0; });
        EXPECT_EQ(result.calls, 1);
        return result;
    }

    ProfileResult profile(const BRSLoginCredentials& credentials) {
        ProfileResult result;
        service().getProfile(credentials, [&result](OrlinSyncService::ProfileReply reply) {
            record(std::move(reply), result, result.profile);
        });
        runUntil([&result] { return result.calls > 0; });
        EXPECT_EQ(result.calls, 1);
        return result;
    }

    SaveResult save(const BRSLoginCredentials& credentials, const ProfileUpdateModel& model) {
        SaveResult result;
        std::optional<OrlinSyncService::Saved> saved;
        service().saveProfile(credentials, model, [&result, &saved](OrlinSyncService::SaveReply reply) {
            record(std::move(reply), result, saved);
        });
        runUntil([&result] { return result.calls > 0; });
        EXPECT_EQ(result.calls, 1);
        return result;
    }

    static BRSLoginCredentials tokenRecord() {
        return BRSLoginCredentials::initWithToken(QStringLiteral("refresh-1"));
    }

    MockOrlinService mock;
};

void expectServiceError(const std::optional<Error>& error, const QString& message) {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, ErrorDomains::kOrlin);
    EXPECT_EQ(error->code, -1);
    EXPECT_EQ(error->localizedDescription.toStdString(), message.toStdString());
}

int signatureCount(const SignaturesAnswer& answer) {
    int count = 0;
    answer.visitSignatures([&count](const SignaturesAnswer::Texts&) { return ++count > 0; });
    return count;
}

std::string deeplyNested(int levels) {
    return std::string(levels, '[') + std::string(levels, ']');
}
}  // namespace

TEST_F(OrlinSyncServiceTest, TokenRecordExchangesTheTokenThenDownloadsWithTheBearer) {
    answerTokenFlow();
    mock.setAnswer("GET", kSyncPath, Answer::json(R"({"signatures": [], "clean": null, "n": 1})"));

    const SignaturesResult result = signatures(tokenRecord());

    EXPECT_FALSE(result.error);
    EXPECT_TRUE(result.onMainThread);
    ASSERT_TRUE(result.signatures);
    EXPECT_EQ(signatureCount(*result.signatures), 0);
    EXPECT_FALSE(result.signatures->clean());
    EXPECT_EQ(result.token, QStringLiteral("refresh-2"));
    EXPECT_EQ(result.userName, QStringLiteral("ann"));

    const auto requests = mock.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].path, kRefreshPath);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].parameter("refreshToken"), "refresh-1");
    EXPECT_FALSE(requests[0].header("Authorization"));
    EXPECT_EQ(requests[1].path, kSyncPath);
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].header("Authorization"), "BEARER access-1");
    for (const auto& request : requests) {
        EXPECT_EQ(request.header("Accept"), "application/json");
        EXPECT_EQ(request.header("Content-Type"), "application/json");
    }
}

TEST_F(OrlinSyncServiceTest, AValidatorOfTheSameAddressMakesTheRequestConditional) {
    answerTokenFlow();
    Answer tagged = Answer::json(R"({"signatures": []})");
    tagged.entityTag = "\"v1\"";
    mock.setAnswer("GET", kSyncPath, tagged);
    const auto conditions = [this] {
        std::vector<std::string> sent;
        for (const auto& request : mock.requestsTo(kSyncPath)) {
            sent.push_back(request.header("If-None-Match").value_or("") + "|" +
                           request.header("If-Modified-Since").value_or(""));
        }
        mock.clearRequests();
        return sent;
    };

    const SignaturesResult first = signatures(tokenRecord());
    ASSERT_TRUE(first.signatures && first.signatures->validator());
    const AnswerValidator validator = *first.signatures->validator();
    EXPECT_EQ(validator.conditionHeader(), "If-None-Match");
    EXPECT_EQ(validator.value(), "\"v1\"");
    EXPECT_EQ(AnswerValidator::fromJson(validator.toJson()), validator);

    const SignaturesResult unchanged = signatures(tokenRecord(), validator);
    EXPECT_TRUE(unchanged.notModified);
    EXPECT_FALSE(unchanged.signatures);
    EXPECT_FALSE(unchanged.error);
    EXPECT_EQ(unchanged.token, QStringLiteral("refresh-2")) << "the sign-in still reaches the caller";
    EXPECT_EQ(conditions(), (std::vector<std::string>{"|", "\"v1\"|"}));

    // Changed since: the whole answer with its new validator.
    tagged.entityTag = "\"v2\"";
    mock.setAnswer("GET", kSyncPath, tagged);
    const SignaturesResult changed = signatures(tokenRecord(), validator);
    ASSERT_TRUE(changed.signatures && changed.signatures->validator());
    EXPECT_EQ(changed.signatures->validator()->value(), "\"v2\"");

    // Another account's address, or a validator that would break the header, is never sent.
    const auto elsewhere =
        AnswerValidator::fromHeaders(mock.baseUrl() + QStringLiteral("other/sync3"), "\"v2\"", {});
    EXPECT_FALSE(signatures(tokenRecord(), elsewhere).notModified);
    EXPECT_FALSE(AnswerValidator::fromHeaders(validator.address(), "\"a\"\r\nX-Injected: 1", {}));
    EXPECT_FALSE(AnswerValidator::fromJson(QJsonObject{{QStringLiteral("address"), validator.address()}}));
    mock.clearRequests();

    // The date where no tag came; no validator at all from a service that sends neither, or on an error page.
    Answer dated = Answer::json(R"({"signatures": []})");
    dated.lastModified = "Wed, 21 Oct 2015 07:28:00 GMT";
    mock.setAnswer("GET", kSyncPath, dated);
    const SignaturesResult byDate = signatures(tokenRecord());
    ASSERT_TRUE(byDate.signatures && byDate.signatures->validator());
    EXPECT_TRUE(signatures(tokenRecord(), byDate.signatures->validator()).notModified);
    EXPECT_EQ(conditions(), (std::vector<std::string>{"|", "|Wed, 21 Oct 2015 07:28:00 GMT"}));
    mock.setAnswer("GET", kSyncPath, Answer::json(R"({"signatures": []})"));
    EXPECT_FALSE(signatures(tokenRecord()).signatures->validator());
    Answer failing = Answer::json(R"({"signatures": []})", 500);
    failing.entityTag = "\"e\"";
    mock.setAnswer("GET", kSyncPath, failing);
    EXPECT_FALSE(signatures(tokenRecord()).signatures->validator());
}

TEST_F(OrlinSyncServiceTest, ErrorStatusWithJsonBodyIsAnAnswerLikeAnyOther) {
    for (const int status : {500, 401}) {
        SCOPED_TRACE(status);
        mock.setAnswer("GET", kRefreshPath, Answer::json(refreshAnswer(), status));
        mock.setAnswer("GET", kSyncPath, Answer::json(R"({"error": "Unauthorized"})", status));
        const SignaturesResult result = signatures(tokenRecord());
        EXPECT_FALSE(result.error);
        ASSERT_TRUE(result.signatures);
        EXPECT_EQ(signatureCount(*result.signatures), 0);
        EXPECT_EQ(result.token, QStringLiteral("refresh-2")) << "the rotated token must reach the caller";
    }

    mock.setAnswer("GET", kRefreshPath,
                   Answer::json(R"({"result":false,"error":"The refresh token was revoked."})", 401));
    expectServiceError(signatures(tokenRecord()).error, QStringLiteral("The refresh token was revoked."));
}

TEST_F(OrlinSyncServiceTest, DomainRecordNeverUsesTheRefreshExchange) {
    mock.setAnswer("GET", kDomainPath,
                   Answer::json(R"({"result": true, "data": {"AccessToken": "a-d", "SyncRoot": ")" +
                                syncRoot() + R"(", "UserName": "other"}})"));
    mock.setAnswer("GET", kSyncPath, Answer::json(R"({"signatures": []})"));
    auto record =
        BRSLoginCredentials::initWithDomainToken(QStringLiteral("dom&ain"), QStringLiteral("ann@x.example"));

    const SignaturesResult result = signatures(record);

    EXPECT_FALSE(result.error);
    EXPECT_TRUE(result.signatures);
    EXPECT_FALSE(result.token);
    EXPECT_EQ(result.userName, QStringLiteral("ann@x.example"));
    EXPECT_TRUE(mock.requestsTo(kRefreshPath).empty());
    const auto exchange = mock.requestsTo(kDomainPath);
    ASSERT_EQ(exchange.size(), 1u);
    EXPECT_EQ(exchange[0].parameter("authToken"), "dom&ain");
    EXPECT_EQ(exchange[0].parameter("userName"), "ann@x.example");
    EXPECT_EQ(mock.requestsTo(kSyncPath).at(0).header("Authorization"), "BEARER a-d");
}

TEST_F(OrlinSyncServiceTest, DomainRecordWithoutUserNameFailsWithoutAsking) {
    for (const Text& userName : {Text(), Text(QString())}) {
        SCOPED_TRACE(userName ? "empty" : "absent");
        const SignaturesResult result =
            signatures(BRSLoginCredentials::initWithDomainToken(QStringLiteral("d"), userName));
        expectServiceError(
            result.error, QStringLiteral("A user name is needed to sign in to Orlin with the domain token."));
        EXPECT_TRUE(mock.requests().empty());
    }
}

TEST_F(OrlinSyncServiceTest, PasswordRecordRunsTheThreeExchangesWithItsValuesIntact) {
    const std::string password = "p&ss=w+rd@ x?#%";
    mock.setAnswer("GET", kEuCompatPath, Answer::json(R"({"data": "invite-1"})"));
    mock.setAnswer("GET", kInvitePath, Answer::json(R"({"result": false, "data": "refresh-from-invite"})"));
    answerTokenFlow();
    mock.setAnswer("GET", kSyncPath, Answer::json(R"({"signatures": []})"));
    auto record = BRSLoginCredentials::initWithUserName(QStringLiteral("ann+tag@x.example"),
                                                        QString::fromStdString(password));

    const SignaturesResult result = signatures(record);

    EXPECT_FALSE(result.error);
    EXPECT_EQ(result.token, QStringLiteral("refresh-2"));
    const auto requests = mock.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].path, kEuCompatPath);
    EXPECT_EQ(requests[0].parameters.size(), 2u);
    EXPECT_EQ(requests[0].parameter("secret"), password);
    EXPECT_EQ(requests[0].parameter("email"), "ann+tag@x.example");
    EXPECT_NE(requests[0].query.find("%2B"), std::string::npos);
    EXPECT_NE(requests[0].query.find("%40"), std::string::npos);
    EXPECT_EQ(requests[1].path, kInvitePath);
    EXPECT_EQ(requests[1].parameter("code"), "invite-1");
    EXPECT_EQ(requests[2].path, kRefreshPath);
    EXPECT_EQ(requests[2].parameter("refreshToken"), "refresh-from-invite");
    EXPECT_EQ(requests[3].path, kSyncPath);
    EXPECT_TRUE(mock.requestsTo(kAppCompatPath).empty());
}

TEST_F(OrlinSyncServiceTest, EmptyRecordSendsBothCompatParametersEmpty) {
    mock.setAnswer("GET", kEuCompatPath, Answer::json(R"({"data": null})"));
    const SignaturesResult result = signatures(BRSLoginCredentials::initWithUserName({}, {}));
    expectServiceError(result.error,
                       QStringLiteral("There was an error getting the invitation code from Orlin. "
                                      "Check your e-mail address and password."));
    const auto compat = mock.requestsTo(kEuCompatPath);
    ASSERT_EQ(compat.size(), 1u);
    EXPECT_EQ(compat[0].parameter("email"), "");
    EXPECT_EQ(compat[0].parameter("secret"), "");
    EXPECT_TRUE(mock.requestsTo(kInvitePath).empty());
}

TEST_F(OrlinSyncServiceTest, UnreachableEuHostIsRetriedOnceOnTheApplicationHost) {
    const QString unreachable = QStringLiteral("http://127.0.0.1:%1/eu/").arg(servicetest::closedPort());
    testDefaults().setArgumentDomain(
        {{ServiceConfiguration::kAuthBaseUrlKey, mock.baseUrl() + QStringLiteral("auth/")},
         {ServiceConfiguration::kEuAppBaseUrlKey, unreachable},
         {ServiceConfiguration::kAppBaseUrlKey, mock.baseUrl() + QStringLiteral("app/")}});
    mock.setAnswer("GET", kAppCompatPath, Answer::json(R"({"data": "invite-1"})"));
    mock.setAnswer("GET", kInvitePath, Answer::json(R"({"data": "refresh-from-invite"})"));
    answerTokenFlow();
    mock.setAnswer("GET", kSyncPath, Answer::json(R"({"signatures": []})"));

    const SignaturesResult ok =
        signatures(BRSLoginCredentials::initWithUserName(QStringLiteral("ann"), QStringLiteral("pw")));
    EXPECT_FALSE(ok.error);
    EXPECT_EQ(mock.requestsTo(kAppCompatPath).size(), 1u);

    mock.clearRequests();
    testDefaults().setArgumentDomain(
        {{ServiceConfiguration::kEuAppBaseUrlKey, unreachable},
         {ServiceConfiguration::kAppBaseUrlKey,
          QStringLiteral("http://127.0.0.1:%1/app/").arg(servicetest::closedPort())}});
    const SignaturesResult failed =
        signatures(BRSLoginCredentials::initWithUserName(QStringLiteral("ann"), QStringLiteral("pw")));
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->domain, UrlErrors::kDomain);
    EXPECT_EQ(failed.error->code, UrlErrors::kCannotConnectToHost);
    EXPECT_FALSE(failed.error->localizedDescription.isEmpty());
    EXPECT_TRUE(mock.requests().empty());
}

TEST_F(OrlinSyncServiceTest, AnyAnswerOfTheEuHostIsFinal) {
    const QString invitationError =
        QStringLiteral("There was an error getting the invitation code from Orlin.");
    Answer page = Answer::json("<html>Bad gateway</html>", 502);
    page.contentType = "text/html";
    Answer elsewhere = Answer::json("", 302);
    elsewhere.headers["Location"] =
        mock.baseUrl().replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost")).toStdString() +
        "app/RegApi/GetCompatInvitationCode";
    struct Case {
        Answer answer;
        std::optional<QString> message;
    };
    const std::vector<Case> cases = {
        {page, invitationError},
        {Answer::json(R"({"result": false, "error": "Wrong password."})", 401),
         invitationError + QStringLiteral(" Check your e-mail address and password.")},
        {Answer::json("", 401), std::nullopt},
    };
    mock.setAnswer("GET", kAppCompatPath, Answer::json(R"({"data": "invite-1"})"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.status);
        mock.setAnswer("GET", kEuCompatPath, c.answer);
        const SignaturesResult result =
            signatures(BRSLoginCredentials::initWithUserName(QStringLiteral("ann"), QStringLiteral("pw")));
        if (c.message) {
            expectServiceError(result.error, *c.message);
        } else {
            ASSERT_TRUE(result.error);
            EXPECT_EQ(result.error->domain, UrlErrors::kDomain);
        }
        EXPECT_TRUE(mock.requestsTo(kAppCompatPath).empty()) << "the credentials went to a second host";
    }

    // A redirect to another origin is followed, but only to the address the EU host named: the
    // credentials stay behind.
    mock.setAnswer("GET", kEuCompatPath, elsewhere);
    ASSERT_TRUE(
        signatures(BRSLoginCredentials::initWithUserName(QStringLiteral("ann"), QStringLiteral("pw"))).error);
    const auto redirected = mock.requestsTo(kAppCompatPath);
    ASSERT_EQ(redirected.size(), 1u);
    EXPECT_TRUE(redirected[0].parameters.empty());
}

TEST_F(OrlinSyncServiceTest, RefreshExchangeFailuresEndWithTheirMessage) {
    const QString accessError = QStringLiteral("There was an error getting the access token from Orlin.");
    const QString dataEmpty = accessError + QStringLiteral(" Data is empty.");
    const QString refreshEmpty = accessError + QStringLiteral(" Refresh token is empty.");
    const QString incomplete = accessError + QStringLiteral(" The answer is incomplete.");
    const std::string full = R"({"RefreshToken": "r", "AccessToken": "a", "SyncRoot": "s", "UserName": "u"})";
    const std::vector<std::pair<std::string, QString>> cases = {
        {"<html>Service unavailable</html>", accessError},
        {"", accessError},
        {R"({"result": true, "data": {"RefreshTo)", accessError},
        {deeplyNested(10000), accessError},
        {R"({"result": false, "error": "The token was revoked."})", QStringLiteral("The token was revoked.")},
        {R"({"result": false, "error": 42})", dataEmpty},
        {R"({"result": false, "data": )" + full + "}", dataEmpty},
        {R"({"result": "true", "data": )" + full + "}", dataEmpty},
        {R"({"result": 1, "data": )" + full + "}", dataEmpty},
        {R"({"result": true})", dataEmpty},
        {R"([{"result": true}])", dataEmpty},
        {R"({"result": true, "data": {"AccessToken": "a"}})", refreshEmpty},
        {R"({"result": true, "data": {"RefreshToken": 7}, "error": "Locked."})", QStringLiteral("Locked.")},
        {R"({"result": true, "data": null})", refreshEmpty},
        {R"({"result": true, "data": "r"})", refreshEmpty},
        {R"({"result": true, "data": {"RefreshToken": "r", "AccessToken": "a", "SyncRoot": "s"}})",
         incomplete},
        {R"({"result": true, "data": {"RefreshToken": "r", "AccessToken": null, "SyncRoot": "s", "UserName": "u"}})",
         incomplete},
    };
    for (const auto& [body, message] : cases) {
        SCOPED_TRACE(body.substr(0, 80));
        mock.clearRequests();
        mock.setAnswer("GET", kRefreshPath, Answer::json(body));
        const SignaturesResult result = signatures(tokenRecord());
        expectServiceError(result.error, message);
        EXPECT_FALSE(result.signatures);
        EXPECT_FALSE(result.token);
        EXPECT_FALSE(result.userName);
        EXPECT_TRUE(mock.requestsTo(kSyncPath).empty());
    }
}

TEST_F(OrlinSyncServiceTest, DomainExchangeFailuresEndWithTheirMessage) {
    const std::vector<std::pair<std::string, QString>> cases = {
        {"not json", QStringLiteral("There was an error getting the access token from Orlin.")},
        {R"({"result": false})", QString()},
        {R"({"result": true})", QString()},
        {R"([{"result": true}])", QString()},
        {R"({"result": false, "error": "Unknown user."})", QStringLiteral("Unknown user.")},
        {R"({"result": true, "data": {"AccessToken": "a"}})",
         QStringLiteral("There was an error getting the access token from Orlin. The answer is incomplete.")},
    };
    for (const auto& [body, message] : cases) {
        SCOPED_TRACE(body);
        mock.setAnswer("GET", kDomainPath, Answer::json(body));
        const SignaturesResult result =
            signatures(BRSLoginCredentials::initWithDomainToken(QStringLiteral("d"), QStringLiteral("ann")));
        expectServiceError(result.error, message);
        EXPECT_FALSE(result.userName);
    }
}

TEST_F(OrlinSyncServiceTest, InvitationStepsFailWithTheirMessage) {
    const auto record = BRSLoginCredentials::initWithUserName(QStringLiteral("ann"), QStringLiteral("pw"));
    const QString refreshCode = QStringLiteral("There was an error getting the refresh code from Orlin.");
    mock.setAnswer("GET", kEuCompatPath, Answer::json(R"({"data": "invite-1"})"));
    const std::vector<std::pair<std::string, QString>> cases = {
        {"", refreshCode},
        {R"({"data": 5, "result": true})", refreshCode + QStringLiteral(" The invitation was not accepted.")},
        {R"({"result": true})", refreshCode + QStringLiteral(" The invitation was not accepted.")},
    };
    for (const auto& [body, message] : cases) {
        SCOPED_TRACE(body);
        mock.setAnswer("GET", kInvitePath, Answer::json(body));
        expectServiceError(signatures(record).error, message);
    }
    EXPECT_TRUE(mock.requestsTo(kRefreshPath).empty());

    Answer dropped;
    dropped.dropConnection = true;
    mock.setAnswer("GET", kInvitePath, dropped);
    const SignaturesResult lost = signatures(record);
    ASSERT_TRUE(lost.error);
    EXPECT_EQ(lost.error->domain, UrlErrors::kDomain);
}

TEST_F(OrlinSyncServiceTest, SignaturesAnswerThatIsNoObjectKeepsTokenAndUserName) {
    answerTokenFlow();
    for (const std::string& body : {std::string("<html></html>"), std::string(R"([{"name": "x"}])"),
                                    std::string(), deeplyNested(10000)}) {
        SCOPED_TRACE(body.substr(0, 40));
        mock.setAnswer("GET", kSyncPath, Answer::json(body));
        const SignaturesResult result = signatures(tokenRecord());
        expectServiceError(result.error,
                           QStringLiteral("There was an error getting the signatures from Orlin."));
        EXPECT_FALSE(result.signatures);
        EXPECT_EQ(result.token, QStringLiteral("refresh-2"));
        EXPECT_EQ(result.userName, QStringLiteral("ann"));
    }
}

TEST_F(OrlinSyncServiceTest, TransportFailuresPassUnchanged) {
    Answer dropped;
    dropped.dropConnection = true;
    mock.setAnswer("GET", kRefreshPath, dropped);
    const SignaturesResult exchange = signatures(tokenRecord());
    ASSERT_TRUE(exchange.error);
    EXPECT_EQ(exchange.error->domain, UrlErrors::kDomain);

    answerTokenFlow();
    mock.setAnswer("GET", kSyncPath, dropped);
    const SignaturesResult download = signatures(tokenRecord());
    ASSERT_TRUE(download.error);
    EXPECT_EQ(download.error->domain, UrlErrors::kDomain);
    EXPECT_EQ(download.token, QStringLiteral("refresh-2"))
        << "the exchange succeeded and spent the old token";
    EXPECT_EQ(download.userName, QStringLiteral("ann"));
}

TEST_F(OrlinSyncServiceTest, OverlappingFlowsOfOneAgentSpendEachRefreshTokenOnce) {
    mock.rotateRefreshTokens(kRefreshPath, syncRoot(), std::chrono::milliseconds(100));
    mock.setAnswer("GET", kSyncPath, Answer::json(R"({"signatures": []})"));
    const OrlinSyncService shared = service();
    std::vector<SignaturesResult> results(3);
    const auto start = [&shared, &results](std::size_t index, const QString& token) {
        shared.getSignatures(BRSLoginCredentials::initWithToken(token),
                             [&result = results[index]](OrlinSyncService::SignaturesReply reply) {
                                 recordSignatures(std::move(reply), result);
                             });
    };
    // Two callers with the stored token while its exchange is under way share that one exchange.
    start(0, QStringLiteral("refresh-1"));
    start(1, QStringLiteral("refresh-1"));
    runUntil([&results] { return results[0].calls > 0 && results[1].calls > 0; });
    // A caller that read the token before the rotation was stored spends its successor, not the old one.
    start(2, QStringLiteral("refresh-1"));
    runUntil([&results] { return results[2].calls > 0; });

    for (const SignaturesResult& result : results) {
        EXPECT_EQ(result.calls, 1);
        EXPECT_FALSE(result.error) << result.error->localizedDescription.toStdString();
    }
    std::vector<std::string> spent;
    for (const auto& request : mock.requestsTo(kRefreshPath)) {
        spent.push_back(request.parameter("refreshToken").value_or(""));
    }
    EXPECT_EQ(spent, (std::vector<std::string>{"refresh-1", "rotated-1"}));
    // Whichever reply is stored last, it is the newest token.
    EXPECT_EQ(results[2].token, QStringLiteral("rotated-2"));
    EXPECT_EQ(shared.newestRefreshToken(results[0].token), QStringLiteral("rotated-2"));
    EXPECT_EQ(shared.newestRefreshToken(QStringLiteral("unrelated")), QStringLiteral("unrelated"));
    // A flow's token replaces the stored one only when it came from it, not a token typed meanwhile.
    EXPECT_TRUE(shared.mayReplace(QStringLiteral("refresh-1"), QStringLiteral("rotated-2")));
    EXPECT_TRUE(shared.mayReplace(QStringLiteral("rotated-2"), QStringLiteral("rotated-2")));
    EXPECT_FALSE(shared.mayReplace(QStringLiteral("rotated-2"), QStringLiteral("rotated-1")));
    EXPECT_FALSE(shared.mayReplace(QStringLiteral("typed"), QStringLiteral("rotated-2")));
}

TEST_F(OrlinSyncServiceTest, ASpentTokenIsRefusedWhileTheAgentThatSpentItGoesOnWithItsSuccessor) {
    mock.revokeSpentRefreshTokens(kRefreshPath);
    mock.queueAnswer("GET", kRefreshPath, Answer::json(refreshAnswer("refresh-2")));
    mock.queueAnswer("GET", kRefreshPath, Answer::json(refreshAnswer("refresh-3")));
    mock.setAnswer("GET", kSyncPath, Answer::json(R"({"signatures": []})"));
    const OrlinSyncService agent = service();
    const SignaturesResult first = signatures(tokenRecord(), agent);
    EXPECT_FALSE(first.error);
    EXPECT_EQ(first.token, QStringLiteral("refresh-2"));

    // Another agent with a copy of the same token finds it revoked, and no signature is asked for.
    mock.clearRequests();
    const SignaturesResult other = signatures(tokenRecord());
    expectServiceError(other.error, QStringLiteral("The refresh token is no longer valid."));
    EXPECT_FALSE(other.token);
    EXPECT_TRUE(mock.requestsTo(kSyncPath).empty());

    // The agent whose flow rotated it, still holding the old token, spends the successor instead.
    const SignaturesResult again = signatures(tokenRecord(), agent);
    EXPECT_FALSE(again.error);
    EXPECT_EQ(again.token, QStringLiteral("refresh-3"));
    std::vector<std::string> spent;
    for (const auto& request : mock.requestsTo(kRefreshPath)) {
        spent.push_back(request.parameter("refreshToken").value_or(""));
    }
    EXPECT_EQ(spent, (std::vector<std::string>{"refresh-1", "refresh-2"}));
}

TEST_F(OrlinSyncServiceTest, UnusableAddressesEndWithAServiceErrorBeforeAnyRequest) {
    testDefaults().setArgumentDomain(
        {{ServiceConfiguration::kAuthBaseUrlKey, QStringLiteral("http://auth.orlin.example/")}});
    expectServiceError(signatures(tokenRecord()).error,
                       QStringLiteral("Orlin can only be reached over a secure (https) connection."));

    servicetest::useMock(mock);
    mock.setAnswer("GET", kRefreshPath,
                   Answer::json(R"({"result": true, "data": {"RefreshToken": "r", "AccessToken": "a", )"
                                R"("SyncRoot": "http://[broken", "UserName": "u"}})"));
    expectServiceError(signatures(tokenRecord()).error,
                       QStringLiteral("The address of the Orlin service is not valid."));

    mock.setAnswer(
        "GET", kRefreshPath,
        Answer::json(R"({"result": true, "data": {"RefreshToken": "r", "AccessToken": "a\r\nX-Injected: 1", )"
                     R"("SyncRoot": ")" +
                     syncRoot() + R"(", "UserName": "u"}})"));
    expectServiceError(signatures(tokenRecord()).error,
                       QStringLiteral("The access token from Orlin is not valid."));
    expectServiceError(save(tokenRecord(), ProfileUpdateModel({}, {})).error,
                       QStringLiteral("The access token from Orlin is not valid."));
    EXPECT_TRUE(mock.requestsTo(kSyncPath).empty());
    EXPECT_TRUE(mock.requestsTo(kProfilePath).empty());
}

TEST_F(OrlinSyncServiceTest, ProfileReadFollowsTheEnvelope) {
    answerTokenFlow();
    const std::string data = R"({"fields": [{"code": "c", "displayName": "C", "isImageType": false,
        "fieldType": 1, "listItems": []}], "sharedEmployees": [], "editable": true})";
    const std::string badField = R"({"fields": [{"code": "c", "displayName": "C", "isImageType": false,
        "fieldType": 1}], "sharedEmployees": [], "editable": true})";
    const std::string badId = R"({"fields": [], "sharedEmployees": [{"id": "42", "employeeDisplayName": "A",
        "employeeEmail": "a@x", "selected": true}], "editable": true})";
    const QString readFailed = QStringLiteral("Reading profile from JSON failed.");
    struct Case {
        std::string body;
        std::optional<QString> error;
    };
    const std::vector<Case> cases = {
        {R"({"result": true, "data": )" + data + "}", std::nullopt},
        {R"({"result": false, "data": )" + data + "}", std::nullopt},
        {R"({"result": false, "error": "Profile locked.", "data": )" + data + "}",
         QStringLiteral("Profile locked.")},
        {R"({"result": true, "error": "Stale.", "data": )" + data + "}", QStringLiteral("Stale.")},
        {R"({"result": false, "error": "Profile locked.", "data": null})", readFailed},
        {R"({"result": false, "error": "Profile locked."})", readFailed},
        {R"({"result": true, "data": )" + badField + "}", readFailed},
        {R"({"result": true, "data": )" + badId + "}", readFailed},
        {"", readFailed},
        {deeplyNested(10000), readFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 80));
        mock.setAnswer("GET", kProfilePath, Answer::json(c.body, c.error && !c.body.empty() ? 401 : 200));
        const ProfileResult result = profile(tokenRecord());
        if (c.error) {
            expectServiceError(result.error, *c.error);
            EXPECT_FALSE(result.profile);
            EXPECT_EQ(result.token, QStringLiteral("refresh-2")) << "the rotated token outlives the failure";
            continue;
        }
        EXPECT_FALSE(result.error);
        ASSERT_TRUE(result.profile);
        ASSERT_EQ(result.profile->fields.size(), 1);
        EXPECT_FALSE(result.profile->fields.first().value);
        EXPECT_EQ(result.token, QStringLiteral("refresh-2"));
        EXPECT_EQ(result.userName, QStringLiteral("ann"));
    }
    const auto reads = mock.requestsTo(kProfilePath);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads[0].method, "GET");
    EXPECT_EQ(reads[0].header("Authorization"), "BEARER access-1");
}

TEST_F(OrlinSyncServiceTest, ProfileSavePostsTheCompactBodyAndReadsTheAnswer) {
    answerTokenFlow();
    const ProfileUpdateModel model({FieldUpdateModel(QStringLiteral("title"), QStringLiteral("CEO"))},
                                   {QUuid::fromString(QString::fromLatin1(kColleagueId).toLower())});
    const QString readFailed = QStringLiteral("Reading response failed.");
    struct Case {
        std::string body;
        std::optional<QString> error;
    };
    const std::vector<Case> cases = {
        {R"({"result": true})", std::nullopt},
        {R"({"result": true, "error": "ignored"})", std::nullopt},
        {R"({"result": false})", readFailed},
        {R"({"result": false, "error": "Not allowed."})", QStringLiteral("Not allowed.")},
        {"<html></html>", readFailed},
        {R"({"result": "true"})", readFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        mock.setAnswer("POST", kProfilePath, Answer::json(c.body, c.error && !c.body.empty() ? 401 : 200));
        const SaveResult result = save(tokenRecord(), model);
        if (c.error) {
            expectServiceError(result.error, *c.error);
            EXPECT_EQ(result.token, QStringLiteral("refresh-2")) << "the rotated token outlives the failure";
        } else {
            EXPECT_FALSE(result.error);
            EXPECT_EQ(result.token, QStringLiteral("refresh-2"));
            EXPECT_EQ(result.userName, QStringLiteral("ann"));
        }
    }
    const auto posts = mock.requestsTo(kProfilePath);
    ASSERT_FALSE(posts.empty());
    EXPECT_EQ(posts[0].method, "POST");
    EXPECT_EQ(posts[0].body,
              std::string(R"({"fields":[{"code":"title","value":"CEO"}],"sharedEmployees":[")") +
                  kColleagueId + R"("]})");
    EXPECT_EQ(posts[0].header("Authorization"), "BEARER access-1");
    EXPECT_EQ(posts[0].header("Content-Type"), "application/json");
    EXPECT_EQ(posts[0].header("Accept"), "application/json");

    Answer dropped;
    dropped.dropConnection = true;
    mock.setAnswer("POST", kProfilePath, dropped);
    const SaveResult lost = save(tokenRecord(), model);
    ASSERT_TRUE(lost.error);
    EXPECT_EQ(lost.error->domain, ErrorDomains::kOrlin);
    EXPECT_EQ(lost.error->code, -1);
    EXPECT_FALSE(lost.error->localizedDescription.isEmpty());
    EXPECT_EQ(lost.token, QStringLiteral("refresh-2"));

    mock.setAnswer("POST", kProfilePath, Answer::json("", 407));
    const SaveResult refusedByProxy = save(tokenRecord(), model);
    ASSERT_TRUE(refusedByProxy.error);
    EXPECT_EQ(refusedByProxy.error->domain, UrlErrors::kDomain);
    EXPECT_EQ(refusedByProxy.error->code, ServiceTransport::kProxyAuthenticationRequired);
}

TEST_F(OrlinSyncServiceTest, FlowErrorsEndProfileOperationsWithoutCallingTheProfile) {
    mock.setAnswer("GET", kRefreshPath, Answer::json(R"({"result": false, "error": "Expired."})"));
    expectServiceError(profile(tokenRecord()).error, QStringLiteral("Expired."));
    expectServiceError(save(tokenRecord(), ProfileUpdateModel({}, {})).error, QStringLiteral("Expired."));
    EXPECT_TRUE(mock.requestsTo(kProfilePath).empty());
}
