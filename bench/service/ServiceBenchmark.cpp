// One signature download as a polling tick makes it: the token exchange, then a signatures answer of
// 1,000 signatures of 20 KB HTML each (about 20 MB of JSON), parsed into the signature dictionary. All of
// it against the mock service on 127.0.0.1.
//
//   build/bench/service/service_bench --benchmark_counters_tabular=true
//
// For scale, the same run times `curl` fetching the same body from the same server (process start
// included), our transport alone fetching it without parsing, and the parse alone. Compare
// GetSignatures with CurlFetch; TransportOnly and ParseOnly show where the difference goes.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <memory>

#include "MockOrlinService.h"
#include "OrlinSyncService.h"
#include "ServiceConfiguration.h"
#include "ServiceTransport.h"
#include "UserDefaults.h"

namespace {

constexpr int kSignatures = 1000;
constexpr int kHtmlBytes = 20 * 1024;

QString html(int index) {
    QString body = QStringLiteral("<table><tr><td>Signature %1</td></tr>").arg(index);
    const QString filler =
        QStringLiteral("<p style=\"color:#333\">Kind regards, Ann Example, +45 12 34 56 78</p>");
    while (body.size() < kHtmlBytes) {
        body += filler;
    }
    return body + QStringLiteral("</table>");
}

std::string signaturesAnswer() {
    QJsonArray signatures;
    for (int i = 0; i < kSignatures; ++i) {
        signatures.append(QJsonObject{{QStringLiteral("Name"), QStringLiteral("Signature %1").arg(i)},
                                      {QStringLiteral("HTML"), html(i)},
                                      {QStringLiteral("Text"), QStringLiteral("Ann Example")}});
    }
    const QJsonObject answer{{QStringLiteral("signatures"), signatures},
                             {QStringLiteral("images"), QJsonArray()},
                             {QStringLiteral("clean"), false}};
    return QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString();
}

// One server for the whole run; answering the same body every time.
struct Service {
    MockOrlinService mock;
    std::size_t answerSize = 0;

    Service() {
        const std::string syncRoot = mock.baseUrl().toStdString() + "user";
        mock.setAnswer("GET", "/auth/OAuth/AuthorizeEmployee",
                       MockOrlinService::Answer::json(R"({"result": true, "data": {"RefreshToken": "r2", )"
                                                      R"("AccessToken": "a1", "SyncRoot": ")" +
                                                      syncRoot + R"(", "UserName": "ann"}})"));
        std::string body = signaturesAnswer();
        answerSize = body.size();
        mock.setAnswer("GET", "/user/sync3", MockOrlinService::Answer::json(std::move(body)));
        UserDefaults::standardUserDefaults().setArgumentDomain(
            {{ServiceConfiguration::kAuthBaseUrlKey, mock.baseUrl() + QStringLiteral("auth/")}});
    }

    [[nodiscard]] QString signaturesUrl() const { return mock.baseUrl() + QStringLiteral("user/sync3"); }
};

Service& service() {
    // The transport posts its answers to the application's event loop, so one must exist.
    static int argc = 1;
    static char name[] = "service_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Service instance;
    return instance;
}

void GetSignatures(benchmark::State& state) {
    Service& s = service();
    const BRSLoginCredentials credentials = BRSLoginCredentials::initWithToken(QStringLiteral("r1"));
    for (auto _ : state) {
        QEventLoop loop;
        qsizetype count = -1;
        OrlinSyncService::getSignatures(credentials, [&](std::optional<QJsonObject> signatures,
                                                         std::optional<QString>, std::optional<QString>,
                                                         std::optional<Error> error) {
            count =
                error || !signatures ? -1 : signatures->value(QStringLiteral("signatures")).toArray().size();
            loop.quit();
        });
        loop.exec();
        if (count != kSignatures) {
            state.SkipWithError("the download did not deliver every signature");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * qint64(s.answerSize));
}
BENCHMARK(GetSignatures)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void TransportOnly(benchmark::State& state) {
    Service& s = service();
    for (auto _ : state) {
        QEventLoop loop;
        qsizetype size = 0;
        ServiceTransport::getJSON(s.signaturesUrl(), QStringLiteral("a1"),
                                  [&](QByteArray body, std::optional<Error>) {
                                      size = body.size();
                                      loop.quit();
                                  });
        loop.exec();
        if (std::size_t(size) != s.answerSize) {
            state.SkipWithError("the body did not arrive whole");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * qint64(s.answerSize));
}
BENCHMARK(TransportOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// The share of GetSignatures that is Qt's JSON parser, without any network.
void ParseOnly(benchmark::State& state) {
    const QByteArray body = QByteArray::fromStdString(signaturesAnswer());
    for (auto _ : state) {
        const QJsonDocument document = QJsonDocument::fromJson(body);
        benchmark::DoNotOptimize(document.object().size());
    }
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(ParseOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void CurlFetch(benchmark::State& state) {
    Service& s = service();
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        state.SkipWithError("curl is not installed");
        return;
    }
    const QStringList arguments{QStringLiteral("-sS"),
                                QStringLiteral("-o"),
                                QStringLiteral("/dev/null"),
                                QStringLiteral("-H"),
                                QStringLiteral("Authorization: BEARER a1"),
                                QStringLiteral("-w"),
                                QStringLiteral("%{size_download}"),
                                s.signaturesUrl()};
    for (auto _ : state) {
        QProcess process;
        process.start(curl, arguments);
        process.waitForFinished(-1);
        if (process.exitCode() != 0 || process.readAllStandardOutput().toULongLong() != s.answerSize) {
            state.SkipWithError("curl did not fetch the whole body");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * qint64(s.answerSize));
}
BENCHMARK(CurlFetch)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
