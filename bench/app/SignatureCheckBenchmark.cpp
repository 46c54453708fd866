// What a check costs the agent once the answer has arrived: parsing the signatures answer, rewriting the
// image references, digesting each HTML body and reading its cache file. The network is left out.
//
//   build/bench/app/signature_check_benchmark
//
// It also times `sha1sum` over the same HTML bytes, as a floor for the digest part, and runs the rewrite
// alone over growing bodies so its scaling shows (the complexity line should read O(N)).

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include "AgentLoggers.h"
#include "AppInfo.h"
#include "BRSLog.h"
#include "BRSSignatureService.h"
#include "Hashes.h"
#include "ImageReferences.h"
#include "ProcessMemory.h"
#include "SignaturesAnswer.h"

namespace {

constexpr int kSignatures = 1000;
constexpr int kImages = 20;
const QUrl kImageHost(QStringLiteral("https://img.example"));

QJsonArray images() {
    QJsonArray list;
    for (int i = 0; i < kImages; ++i) {
        list.append(QJsonObject{{QStringLiteral("Name"), QStringLiteral("image%1").arg(i)},
                                {QStringLiteral("Url"), QStringLiteral("/assets/logo %1.png").arg(i)}});
    }
    return list;
}

QList<SignaturesAnswer::Image> imageList() {
    QList<SignaturesAnswer::Image> list;
    for (const QJsonValue& image : images()) {
        list.append({image[QStringLiteral("Name")].toString(), image[QStringLiteral("Url")].toString()});
    }
    return list;
}

// An HTML body of about `bytes` bytes that references every image once.
QString html(int index, int bytes) {
    QString body = QStringLiteral("<table><tr><td>Signature %1</td></tr>").arg(index);
    for (int i = 0; i < kImages; ++i) {
        body += QStringLiteral("<img src=\"image%1\" alt=\"logo\">").arg(i);
    }
    const QString filler =
        QStringLiteral("<p style=\"color:#333\">Kind regards, Ann Example, +45 12 34 56 78</p>");
    while (body.size() < bytes) {
        body += filler;
    }
    return body + QStringLiteral("</table>");
}

QByteArray answerBytes() {
    QJsonArray signatures;
    for (int i = 0; i < kSignatures; ++i) {
        signatures.append(QJsonObject{{QStringLiteral("Name"), QStringLiteral("Signature %1").arg(i)},
                                      {QStringLiteral("HTML"), html(i, 20 * 1024)},
                                      {QStringLiteral("Text"), QStringLiteral("Ann Example")}});
    }
    return QJsonDocument(
               QJsonObject{{QStringLiteral("signatures"), signatures}, {QStringLiteral("images"), images()}})
        .toJson(QJsonDocument::Compact);
}

void BM_CheckAfterAnswer(benchmark::State& state) {
    static const QByteArray bytes = answerBytes();
    // Fill the cache once, as an update would, so the check reads a digest for every name.
    static const bool filled = !BRSSignatureService({}, kImageHost, AppInfo::applicationSupportDirectory())
                                    .signaturesFromAnswer(bytes, kImageHost, true, false)
                                    .isEmpty();
    if (!filled) {
        state.SkipWithError("the answer should hold signatures");
    }
    for (auto _ : state) {
        // The answer as the download hands it over: a buffer of its own, taken as the transport takes it,
        // with room for the parser's padding.
        state.PauseTiming();
        QByteArray downloaded;
        SignaturesAnswer::reserve(downloaded, bytes.size());
        downloaded.append(bytes);
        state.ResumeTiming();
        const QList<BRSSignature> changed =
            BRSSignatureService({}, kImageHost, AppInfo::applicationSupportDirectory())
                .signaturesFromAnswer(std::move(downloaded), kImageHost, false, true);
        benchmark::DoNotOptimize(changed.size());
        if (!changed.isEmpty()) {
            state.SkipWithError("the cache should make every signature unchanged");
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["signatures"] = kSignatures;
}
BENCHMARK(BM_CheckAfterAnswer)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_Sha1sumOfTheSameHtml(benchmark::State& state) {
    QTemporaryFile file;
    file.open();
    const ImageReferences references(imageList(), kImageHost);
    for (int i = 0; i < kSignatures; ++i) {
        file.write(references.rewrite(html(i, 20 * 1024).toUtf8()));
    }
    file.flush();
    for (auto _ : state) {
        QProcess sha1sum;
        sha1sum.start(QStringLiteral("sha1sum"), {file.fileName()});
        sha1sum.waitForFinished(-1);
        benchmark::DoNotOptimize(sha1sum.readAllStandardOutput());
    }
    state.SetBytesProcessed(state.iterations() * file.size());
}
BENCHMARK(BM_Sha1sumOfTheSameHtml)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RewriteScaling(benchmark::State& state) {
    const ImageReferences references(imageList(), kImageHost);
    const QByteArray body = html(0, static_cast<int>(state.range(0))).toUtf8();
    for (auto _ : state) {
        benchmark::DoNotOptimize(references.rewrite(body));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RewriteScaling)->RangeMultiplier(4)->Range(4 << 10, 1 << 20)->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv) {
    // Memory taken and given back as the agent does.
    ProcessMemory::configure();
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path()));
    // The agent's own loggers, as it attaches them: whatever the check logs costs what it costs there.
    AgentLoggers::attach(AppInfo::logsDirectory(), [] { return QDateTime::currentDateTime(); });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    BRSLog::sharedInstance().flushLog();
    BRSLog::sharedInstance().removeAllLoggers();
    return 0;
}
