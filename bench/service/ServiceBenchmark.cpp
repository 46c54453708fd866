// One signatures answer of 1,000 signatures of 20 KB HTML with 20 image references each (about 21 MB of
// JSON), downloaded from a server in another process on 127.0.0.1: by our transport, and by libcurl
// into a buffer sized from the answer's length, which is the floor a client that keeps the body can
// reach. Both open a connection of their own for every download, as the transport does.
//
//   build/release/bench/service/service_bench --benchmark_counters_tabular=true
//
// Compare Transport with KeepingClient.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "ServiceTransport.h"
#include "SignaturesAnswer.h"

namespace {

constexpr int kSignatures = 1000;
constexpr int kHtmlBytes = 20 * 1024;
constexpr int kImages = 20;

std::string html(int index) {
    std::string body = "<table><tr><td>Signature " + std::to_string(index) + "</td></tr>";
    for (int i = 0; i < kImages; ++i) {
        body += "<img src=\\\"image" + std::to_string(i) + "\\\" alt=\\\"logo\\\">";
    }
    while (body.size() < kHtmlBytes) {
        body += "<p style=\\\"color:#333\\\">Kind regards, Ann Example, +45 12 34 56 78</p>";
    }
    return body + "</table>";
}

std::string signaturesAnswer() {
    std::string answer = R"({"signatures":[)";
    for (int i = 0; i < kSignatures; ++i) {
        answer += (i ? "," : "");
        answer += R"({"Name":"Signature )" + std::to_string(i) + R"(","HTML":")" + html(i) +
                  R"(","Text":"Ann Example"})";
    }
    answer += R"(],"images":[)";
    for (int i = 0; i < kImages; ++i) {
        answer += (i ? "," : "");
        answer += R"({"Name":"image)" + std::to_string(i) + R"(","Url":"/assets/logo)" + std::to_string(i) +
                  R"(.png"})";
    }
    return answer + "]}";
}

// The answer on disk and the server process that serves it, for the whole run.
struct Server {
    QTemporaryDir folder;
    QProcess process;
    QString url;
    std::size_t answerSize = 0;

    Server() {
        const std::string answer = signaturesAnswer();
        answerSize = answer.size();
        QDir(folder.path()).mkpath(QStringLiteral("user"));
        QFile file(folder.filePath(QStringLiteral("user/sync3")));
        if (!file.open(QIODevice::WriteOnly) || file.write(answer.data(), qint64(answer.size())) < 0) {
            return;
        }
        file.close();
        process.start(QStringLiteral(ORLIN_ANSWER_SERVER), {folder.path()});
        if (!process.waitForReadyRead(10000)) {
            return;
        }
        url = QStringLiteral("http://127.0.0.1:%1/user/sync3")
                  .arg(QString::fromLatin1(process.readLine().trimmed()));
    }
    ~Server() {
        process.kill();
        process.waitForFinished();
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
};

Server& server() {
    // The transport posts its answers to the application's event loop, so one must exist.
    static int argc = 1;
    static char name[] = "service_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Server instance;
    return instance;
}

void Transport(benchmark::State& state) {
    Server& s = server();
    if (s.url.isEmpty()) {
        state.SkipWithError("the answer server did not start");
        return;
    }
    for (auto _ : state) {
        QEventLoop loop;
        qsizetype size = 0;
        std::optional<Error> failure;
        ServiceTransport().getJSON(
            s.url, QStringLiteral("a1"),
            [&](Result<QByteArray> answer) {
                if (answer.ok()) {
                    size = answer.value().size();
                } else {
                    failure = answer.error();
                }
                loop.quit();
            },
            SignaturesAnswer::reserve);
        loop.exec();
        if (failure || std::size_t(size) != s.answerSize) {
            const std::string why =
                failure ? failure->localizedDescription.toStdString() : "the body was cut short";
            state.SkipWithError(why.c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * qint64(s.answerSize));
}
BENCHMARK(Transport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

struct Kept {
    CURL* handle = nullptr;
    std::string body;
    bool sized = false;
};

std::size_t keep(char* data, std::size_t size, std::size_t count, void* user) {
    auto* kept = static_cast<Kept*>(user);
    if (!kept->sized) {
        kept->sized = true;
        curl_off_t length = -1;
        if (curl_easy_getinfo(kept->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
            length > 0) {
            kept->body.reserve(std::size_t(length));
        }
    }
    kept->body.append(data, size * count);
    return size * count;
}

void KeepingClient(benchmark::State& state) {
    Server& s = server();
    if (s.url.isEmpty()) {
        state.SkipWithError("the answer server did not start");
        return;
    }
    const std::string url = s.url.toStdString();
    for (auto _ : state) {
        Kept kept;
        kept.handle = curl_easy_init();
        curl_slist* headers = curl_slist_append(nullptr, "Authorization: BEARER a1");
        headers = curl_slist_append(headers, "Accept: application/json");
        curl_easy_setopt(kept.handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(kept.handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(kept.handle, CURLOPT_BUFFERSIZE, 512L * 1024);  // its largest: fewer calls to keep()
        curl_easy_setopt(kept.handle, CURLOPT_WRITEFUNCTION, keep);
        curl_easy_setopt(kept.handle, CURLOPT_WRITEDATA, &kept);
        const CURLcode result = curl_easy_perform(kept.handle);
        curl_slist_free_all(headers);
        curl_easy_cleanup(kept.handle);
        if (result != CURLE_OK || kept.body.size() != s.answerSize) {
            state.SkipWithError("libcurl did not fetch the whole body");
            break;
        }
        benchmark::DoNotOptimize(kept.body.data());
    }
    state.SetBytesProcessed(state.iterations() * qint64(s.answerSize));
}
BENCHMARK(KeepingClient)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    curl_global_cleanup();
    return 0;
}
