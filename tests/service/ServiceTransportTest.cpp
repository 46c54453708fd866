#include "ServiceTransport.h"

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "ServiceTestSupport.h"
#include "SignaturesAnswer.h"
#include "UrlErrors.h"

using servicetest::runUntil;
using Answer = MockOrlinService::Answer;

namespace {
struct Outcome {
    int calls = 0;
    bool onMainThread = false;
    QByteArray body;
    std::optional<Error> error;
};

class ServiceTransportTest : public ::testing::Test {
protected:
    void TearDown() override { testDefaults().resetForTesting(); }

    static void take(Outcome& outcome, Result<QByteArray> answer) {
        ++outcome.calls;
        outcome.onMainThread = servicetest::onMainThread();
        if (answer.ok()) {
            outcome.body = std::move(answer).value();
        } else {
            outcome.error = answer.error();
        }
    }

    Outcome get(const QString& address, ServiceTransport::Reserve reserve = {}) {
        Outcome outcome;
        transport.getJSON(
            address, QStringLiteral("t0ken"),
            [&outcome](Result<QByteArray> answer) { take(outcome, std::move(answer)); }, std::move(reserve));
        EXPECT_EQ(outcome.calls, 0);
        runUntil([&outcome] { return outcome.calls > 0; });
        EXPECT_EQ(outcome.calls, 1);
        return outcome;
    }

    // The production limits unless a case sets smaller ones.
    void setLimits(std::chrono::milliseconds stall, std::chrono::milliseconds total,
                   qint64 maximumAnswerSize) {
        TransportLimits limits;
        limits.stallTimeout = stall;
        limits.totalTimeout = total;
        limits.maximumAnswerSize = maximumAnswerSize;
        transport = ServiceTransport(limits);
    }

    QString address(const char* path) const { return mock.baseUrl() + QLatin1String(path); }

    MockOrlinService mock;
    ServiceTransport transport;
};
}  // namespace

TEST_F(ServiceTransportTest, OnlyHttpsOrLoopbackAddressesAreUsable) {
    EXPECT_TRUE(ServiceTransport::urlFromText(QStringLiteral("https://auth.orlin.example/x?y=1")));
    EXPECT_TRUE(ServiceTransport::urlFromText(QStringLiteral("http://127.0.0.1:8080/")));
    EXPECT_TRUE(ServiceTransport::urlFromText(QStringLiteral("http://localhost/")));
    EXPECT_TRUE(ServiceTransport::urlFromText(QStringLiteral("http://[::1]:80/")));
    const Result<QUrl> plain = ServiceTransport::urlFromText(QStringLiteral("http://auth.orlin.example/"));
    ASSERT_FALSE(plain);
    EXPECT_EQ(plain.error().localizedDescription,
              QStringLiteral("Orlin can only be reached over a secure (https) connection."));
    EXPECT_FALSE(ServiceTransport::urlFromText(QStringLiteral("http://127.0.0.1.evil.example/")));
    for (const char* text :
         {"", "sync3", "/sync3", "ftp://h/x", "https://", "https://h/a b", "http://[::1/"}) {
        SCOPED_TRACE(text);
        const Result<QUrl> url = ServiceTransport::urlFromText(QLatin1String(text));
        ASSERT_FALSE(url);
        EXPECT_EQ(url.error().domain, ErrorDomains::kOrlin);
        EXPECT_EQ(url.error().code, -1);
    }
}

TEST_F(ServiceTransportTest, BodyOfAnyStatusIsHandedOverAsIs) {
    mock.setAnswer("GET", "/missing", Answer::json(R"({"error": "no"})", 404));
    const Outcome outcome = get(address("missing"));
    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_EQ(outcome.body, QByteArray(R"({"error": "no"})"));
    EXPECT_EQ(mock.requests().at(0).header("Authorization"), "BEARER t0ken");
}

TEST_F(ServiceTransportTest, ConnectionFailuresHaveStableCodes) {
    const Outcome refused = get(QStringLiteral("http://127.0.0.1:%1/x").arg(servicetest::closedPort()));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->domain, UrlErrors::kDomain);
    EXPECT_EQ(refused.error->code, UrlErrors::kCannotConnectToHost);
    EXPECT_TRUE(refused.body.isEmpty());

    Answer dropped;
    dropped.dropConnection = true;
    dropped.body = std::string(100, 'x');
    mock.setAnswer("GET", "/dropped", dropped);
    const Outcome lost = get(address("dropped"));
    ASSERT_TRUE(lost.error);
    EXPECT_EQ(lost.error->domain, UrlErrors::kDomain);
    EXPECT_EQ(lost.error->code, UrlErrors::kNetworkConnectionLost);
    EXPECT_FALSE(lost.error->localizedDescription.isEmpty());
}

TEST_F(ServiceTransportTest, FailuresAreLoggedWithTheAddressButNeverItsQueryOrTheToken) {
    LogCapture log;
    const QString query = QStringLiteral("?refreshToken=s3cret&password=pa55");
    mock.setAnswer("GET", "/empty", Answer::json("", 401));
    mock.setAnswer("GET", "/gone", Answer::json(R"({"error": "no"})", 404));
    const QString refused = QStringLiteral("http://127.0.0.1:%1/x").arg(servicetest::closedPort());
    ASSERT_TRUE(get(refused + query).error);
    ASSERT_TRUE(get(address("empty") + query).error);
    ASSERT_FALSE(get(address("gone") + query).error);

    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 3) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("warning GET ") + refused + QStringLiteral(" failed")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("warning GET ") + address("empty")))
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], QStringLiteral("warning GET ") + address("gone") +
                            QStringLiteral(" answered with HTTP status 404"));
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(QStringLiteral("s3cret")) || line.contains(QStringLiteral("pa55")) ||
                     line.contains(QStringLiteral("t0ken")))
            << line.toStdString();
    }
}

TEST_F(ServiceTransportTest, RefusedAuthenticationIsAnAnswerWhenItCarriesABody) {
    for (const bool challenge : {false, true}) {
        SCOPED_TRACE(challenge ? "with a challenge" : "without a challenge");
        Answer refused = Answer::json(R"({"result": false, "error": "login"})", 401);
        Answer empty = Answer::json("", 401);
        Answer proxy = Answer::json("", 407);
        if (challenge) {
            refused.headers["WWW-Authenticate"] = "Basic realm=\"orlin\"";
            empty.headers["WWW-Authenticate"] = "Basic realm=\"orlin\"";
            proxy.headers["Proxy-Authenticate"] = "Basic realm=\"proxy\"";
        }
        mock.setAnswer("GET", "/private", refused);
        mock.setAnswer("GET", "/empty", empty);

        const Outcome answered = get(address("private"));
        EXPECT_FALSE(answered.error);
        EXPECT_EQ(answered.body, QByteArray(R"({"result": false, "error": "login"})"));

        const Outcome bare = get(address("empty"));
        ASSERT_TRUE(bare.error);
        EXPECT_EQ(bare.error->domain, UrlErrors::kDomain);
        EXPECT_EQ(bare.error->code, ErrorCodes::kUserCancelledAuthentication);
        EXPECT_TRUE(bare.body.isEmpty());
        EXPECT_TRUE(ServiceTransport::hostAnswered(*bare.error));

        // A proxy's refusal is its own failure, with or without a page: the service was never reached.
        for (const std::string& page : {std::string(), std::string("<html>Proxy login</html>")}) {
            proxy.body = page;
            mock.setAnswer("GET", "/proxy", proxy);
            const Outcome refusedByProxy = get(address("proxy"));
            ASSERT_TRUE(refusedByProxy.error);
            EXPECT_EQ(refusedByProxy.error->domain, UrlErrors::kDomain);
            EXPECT_EQ(refusedByProxy.error->code, ServiceTransport::kProxyAuthenticationRequired);
            EXPECT_TRUE(refusedByProxy.body.isEmpty());
            EXPECT_FALSE(ServiceTransport::hostAnswered(*refusedByProxy.error));
        }
    }
}

TEST_F(ServiceTransportTest, RedirectsCarryTheTokenOnlyWithinTheOrigin) {
    const auto redirect = [](int status, const QString& location) {
        Answer answer = Answer::json("", status);
        answer.headers["Location"] = location.toStdString();
        return answer;
    };
    mock.setAnswer("GET", "/moved", Answer::json(R"({"moved": true})"));
    mock.setAnswer("GET", "/old", redirect(302, address("moved")));
    mock.setAnswer("GET", "/relative", redirect(301, QStringLiteral("/moved")));
    for (const char* path : {"old", "relative"}) {
        SCOPED_TRACE(path);
        mock.clearRequests();
        const Outcome followed = get(address(path));
        EXPECT_FALSE(followed.error);
        EXPECT_EQ(followed.body, QByteArray(R"({"moved": true})"));
        ASSERT_EQ(mock.requestsTo("/moved").size(), 1u);
        EXPECT_EQ(mock.requestsTo("/moved")[0].header("Authorization"), "BEARER t0ken");
    }

    // Another origin gets the request, never the token; the same server under another name is another
    // origin too.
    MockOrlinService other;
    other.setAnswer("GET", "/stolen", Answer::json(R"({"elsewhere": true})"));
    mock.setAnswer("GET", "/stolen", Answer::json(R"({"elsewhere": true})"));
    const QString elsewhere[] = {
        other.baseUrl() + QStringLiteral("stolen"),
        QStringLiteral("http://localhost:%1/stolen").arg(mock.port()),
    };
    for (const QString& target : elsewhere) {
        SCOPED_TRACE(target.toStdString());
        mock.clearRequests();
        other.clearRequests();
        mock.setAnswer("GET", "/away", redirect(302, target));
        mock.setAnswer("POST", "/away", redirect(307, target));
        const Outcome followed = get(address("away"));
        EXPECT_FALSE(followed.error);
        EXPECT_EQ(followed.body, QByteArray(R"({"elsewhere": true})"));
        const auto arrived = [&other, this] {
            std::vector<MockOrlinService::Request> all = other.requestsTo("/stolen");
            for (const auto& request : mock.requestsTo("/stolen")) {
                all.push_back(request);
            }
            return all;
        };
        ASSERT_EQ(arrived().size(), 1u);
        EXPECT_FALSE(arrived()[0].header("Authorization"));

        // A body is for the service alone: a POST is not sent on.

        Outcome posted;
        transport.postJSON(ServiceTransport::getRequest(QUrl(address("away")), QStringLiteral("t0ken")),
                           R"({"fields":[]})",
                           [&posted](Result<QByteArray> answer) { take(posted, std::move(answer)); });
        runUntil([&posted] { return posted.calls > 0; });
        EXPECT_EQ(posted.calls, 1);
        ASSERT_TRUE(posted.error);
        EXPECT_EQ(posted.error->domain, UrlErrors::kDomain);
        EXPECT_EQ(posted.error->code, ServiceTransport::kRedirectRefused);
        EXPECT_EQ(arrived().size(), 1u) << "the POST must not have followed";
    }

    // A redirect loop across origins ends instead of running for ever.
    mock.setAnswer("GET", "/ping", redirect(302, other.baseUrl() + QStringLiteral("pong")));
    other.setAnswer("GET", "/pong", redirect(302, address("ping")));
    const Outcome looped = get(address("ping"));
    ASSERT_TRUE(looped.error);
    EXPECT_EQ(looped.error->code, ServiceTransport::kRedirectRefused);

    using Redirect = ServiceTransport::Redirect;
    const auto redirectFor = [](const char* from, const char* to) {
        return ServiceTransport::redirectFor(QUrl(QLatin1String(from)), QUrl(QLatin1String(to)));
    };
    EXPECT_EQ(redirectFor("https://a.example/x", "https://A.example:443/y"), Redirect::KeepToken);
    EXPECT_EQ(redirectFor("https://a.example/x", "https://b.example/y"), Redirect::DropToken);
    EXPECT_EQ(redirectFor("https://a.example/x", "https://a.example:8443/y"), Redirect::DropToken);
    EXPECT_EQ(redirectFor("http://127.0.0.1:1/x", "https://b.example/y"), Redirect::DropToken);
    // Never down to plain text, not even towards this machine, and never to what could not be configured.
    EXPECT_EQ(redirectFor("https://a.example/x", "http://a.example/x"), Redirect::Refuse);
    EXPECT_EQ(redirectFor("https://a.example/x", "http://127.0.0.1/x"), Redirect::Refuse);
    EXPECT_EQ(redirectFor("http://127.0.0.1:1/x", "http://b.example/y"), Redirect::Refuse);
    EXPECT_EQ(redirectFor("https://a.example/x", "ftp://a.example/x"), Redirect::Refuse);
}

TEST_F(ServiceTransportTest, SilentServerTimesOut) {
    setLimits(std::chrono::milliseconds(150), TransportLimits().totalTimeout,
              TransportLimits().maximumAnswerSize);
    Answer slow = Answer::json("{}");
    slow.delay = std::chrono::seconds(30);
    mock.setAnswer("GET", "/slow", slow);
    const Outcome outcome = get(address("slow"));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, UrlErrors::kDomain);
    EXPECT_EQ(outcome.error->code, UrlErrors::kTimedOut);
    EXPECT_TRUE(outcome.onMainThread);
}

TEST_F(ServiceTransportTest, ATricklingAnswerKeepsTheIdleTimerAwakeButNotBeyondTheTotalLimit) {
    // Wide margins both ways: a loaded machine may stretch a 20 ms pause or the whole trickle severalfold.
    setLimits(std::chrono::milliseconds(400), std::chrono::seconds(4), TransportLimits().maximumAnswerSize);
    Answer trickle = Answer::json("x");
    trickle.pieceInterval = std::chrono::milliseconds(20);
    trickle.streamedLength = 30;  // 0.6 s in all, longer than the idle limit
    mock.setAnswer("GET", "/trickle", trickle);
    const Outcome slowButAlive = get(address("trickle"));
    EXPECT_FALSE(slowButAlive.error) << slowButAlive.error->localizedDescription.toStdString();
    EXPECT_EQ(slowButAlive.body, QByteArray(30, 'x'));

    trickle.streamedLength = 100000;  // a byte every 20 ms for over half an hour
    mock.setAnswer("GET", "/endless", trickle);
    const Outcome endless = get(address("endless"));
    ASSERT_TRUE(endless.error);
    EXPECT_EQ(endless.error->code, UrlErrors::kTimedOut);
}

TEST_F(ServiceTransportTest, OversizedAnswersAreRefusedWithoutReadingThemWhole) {
    // A small cap keeps the transfers short, so that no wall-clock limit of the suite can race them.
    const qint64 cap = qint64(8) * 1024 * 1024;
    setLimits(TransportLimits().stallTimeout, TransportLimits().totalTimeout, cap);
    const QString message = QStringLiteral("The answer from Orlin is too large to be read.");

    Answer declared;
    declared.streamedLength = std::uint64_t(4) * cap;
    mock.setAnswer("GET", "/declared", declared);
    const Outcome byLength = get(address("declared"));
    ASSERT_TRUE(byLength.error);
    EXPECT_EQ(*byLength.error, Error::serviceError(message));
    EXPECT_TRUE(byLength.body.isEmpty());
    EXPECT_LT(mock.streamedBytes(), *declared.streamedLength);

    Answer chunked;
    chunked.streamedLength = std::uint64_t(cap) + 1;
    chunked.declareLength = false;
    mock.setAnswer("GET", "/chunked", chunked);
    const Outcome byCount = get(address("chunked"));
    ASSERT_TRUE(byCount.error);
    EXPECT_EQ(*byCount.error, Error::serviceError(message));

    Answer largest;
    largest.streamedLength = std::uint64_t(cap);
    largest.declareLength = false;
    mock.setAnswer("GET", "/largest", largest);
    const Outcome atLimit = get(address("largest"));
    EXPECT_FALSE(atLimit.error);
    EXPECT_EQ(atLimit.body.size(), cap);
}

TEST_F(ServiceTransportTest, ACompressedAnswerIsHeldToTheCapOnlyNotToItsCompressionRatio) {
    // Signatures made from one template compress far beyond the 40:1 that Qt refuses by default.
    const auto compressedAnswer = [](std::size_t size) {
        Answer answer = Answer::json(
            qCompress(QByteArray(qsizetype(size), 'a'), 9).mid(4).toStdString());  // zlib, as "deflate"
        answer.headers["Content-Encoding"] = "deflate";
        return answer;
    };
    mock.setAnswer("GET", "/template", compressedAnswer(std::size_t(12) << 20));
    const Outcome outcome = get(address("template"));
    ASSERT_FALSE(outcome.error) << outcome.error->localizedDescription.toStdString();
    EXPECT_EQ(outcome.body.size(), qsizetype(12) << 20);

    setLimits(TransportLimits().stallTimeout, TransportLimits().totalTimeout, qint64(8) << 20);
    mock.setAnswer("GET", "/bomb", compressedAnswer(std::size_t(40) << 20));
    const Outcome bomb = get(address("bomb"));
    ASSERT_TRUE(bomb.error);
    EXPECT_EQ(bomb.error->localizedDescription,
              QStringLiteral("The answer from Orlin is too large to be read."));
}

TEST_F(ServiceTransportTest, ADeclaredAnswerArrivesInOneBufferOfItsSize) {
    // Growing the body piece by piece copies it over and over and leaves up to half of it unused.
    std::string piece;
    for (int i = 0; piece.size() < 64 * 1024; ++i) {
        piece += std::to_string(i) + ',';
    }
    Answer declared = Answer::json(piece);
    declared.streamedLength = std::uint64_t(3) * piece.size() + 7;
    mock.setAnswer("GET", "/declared", declared);
    const Outcome outcome = get(address("declared"), SignaturesAnswer::reserve);
    ASSERT_FALSE(outcome.error);
    ASSERT_EQ(std::uint64_t(outcome.body.size()), *declared.streamedLength);
    EXPECT_EQ(outcome.body.capacity(), outcome.body.size() + SignaturesAnswer::kSpareBytesAfterBody)
        << "one buffer, with just the room the JSON parser reads past the end";
    const QByteArray expected = QByteArray::fromStdString(piece);
    EXPECT_EQ(outcome.body, expected + expected + expected + expected.left(7));
}

TEST_F(ServiceTransportTest, ConfiguredBasesFallBackToProductionAndKeepTheirSlash) {
    UserDefaults& defaults = testDefaults();
    defaults.resetForTesting();
    const ServiceConfiguration production = ServiceConfiguration::fromDefaults(defaults);
    EXPECT_EQ(production.authBaseUrl(), ServiceConfiguration::kDefaultAuthBaseUrl);
    EXPECT_EQ(production.imageHostUrl(), ServiceConfiguration::kDefaultImageHostUrl);
    for (const QString& base :
         {ServiceConfiguration::kDefaultAuthBaseUrl, ServiceConfiguration::kDefaultEuAppBaseUrl,
          ServiceConfiguration::kDefaultAppBaseUrl}) {
        EXPECT_TRUE(base.startsWith(QStringLiteral("https://")));
        EXPECT_TRUE(base.endsWith(QLatin1Char('/')));
    }
    defaults.setArgumentDomain(
        {{ServiceConfiguration::kEuAppBaseUrlKey, QStringLiteral("https://eu.example.test")},
         {ServiceConfiguration::kAppBaseUrlKey, QString()}});
    const ServiceConfiguration configured = ServiceConfiguration::fromDefaults(defaults);
    EXPECT_EQ(configured.euAppBaseUrl(), QStringLiteral("https://eu.example.test/"));
    EXPECT_EQ(configured.appBaseUrl(), ServiceConfiguration::kDefaultAppBaseUrl);
}
