// Installing signatures into Apple Mail and Outlook with the simulator standing in for `osascript`, and the
// parts of a Mail install on their own: starting the script process, reading and writing the signature
// list, and writing the signature file. Runs in a temporary home; nothing of the user's is touched.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "AppInfo.h"
#include "BRSAppleMailService3.h"
#include "BRSAppleScript.h"
#include "BRSOutlookService.h"
#include "UserDefaults.h"

namespace {

constexpr int kSignatures = 200;

const QByteArray kEmptyList =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n<array/>\n</plist>\n";

// About the size of a real signature: a table, a few lines of contact details and two image references.
QString html(int index) {
    QString body =
        QStringLiteral("<table><tr><td><img src=\"https://img.example.test/%1/logo.png\"></td><td>")
            .arg(index);
    for (int line = 0; line < 30; ++line) {
        body +=
            QStringLiteral("<p style=\"font-family:Arial;font-size:10pt;color:#333\">Line %1 of \"%2\"</p>")
                .arg(line)
                .arg(index);
    }
    return body + QStringLiteral("</td></tr></table>");
}

QString signatureFolder() {
    return AppInfo::libraryDirectory() + QStringLiteral("/Mail/V7/MailData/Signatures");
}

void resetMailFolder() {
    QDir(signatureFolder()).removeRecursively();
    QDir().mkpath(signatureFolder());
    QFile list(signatureFolder() + QStringLiteral("/AllSignatures.plist"));
    if (list.open(QIODevice::WriteOnly)) {
        list.write(kEmptyList);
    }
}

void resetOutlook() {
    QFile::remove(qEnvironmentVariable("ORLIN_FAKE_OSASCRIPT_STATE"));
}

void perSignature(benchmark::State& state, int signaturesPerIteration) {
    state.SetItemsProcessed(state.iterations() * signaturesPerIteration);
    // Wall time: most of it passes in the script process and in waiting for the disk, not on this CPU.
    state.counters["s_per_signature"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * signaturesPerIteration,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The simulator, which main puts first on PATH.
BRSAppleScript simulator() {
    return BRSAppleScript(ScriptProcess({.program = ScriptProcess::systemProgram(), .environment = {}}));
}

QList<BRSSignature> signatures(int count) {
    QList<BRSSignature> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        list.append(BRSSignature(QStringLiteral("Signature %1").arg(i), html(i), QString()));
    }
    return list;
}

// Counts the signatures that failed, so a benchmark can give up on a broken run.
BRSMailAppService::Observer countingFailures(int& failures) {
    return {.willInstall = {}, .installed = [&failures](qsizetype, const Result<void>& outcome) {
                failures += outcome.ok() ? 0 : 1;
                return BRSMailAppService::Next::Continue;
            }};
}

// The whole operation, as the update cycle runs it: Mail is told to quit once, then every signature is
// written.
void BM_AppleMailInstall200(benchmark::State& state) {
    const QList<BRSSignature> update = signatures(kSignatures);
    for (auto _ : state) {
        state.PauseTiming();
        resetMailFolder();
        BRSAppleMailService3 mail(false, QDir::homePath() + QStringLiteral("/Library"),
                                  UserDefaults::standardUserDefaults());
        state.ResumeTiming();
        int failures = 0;
        benchmark::DoNotOptimize(
            simulator().runAppleScriptForSource(QStringLiteral("tell application \"Mail\" to quit\n")));
        mail.install(update, false, countingFailures(failures));
        if (failures > 0) {
            state.SkipWithError("install failed");
            return;
        }
    }
    perSignature(state, kSignatures);
}
BENCHMARK(BM_AppleMailInstall200)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_OutlookInstall200(benchmark::State& state) {
    const QList<BRSSignature> update = signatures(kSignatures);
    for (auto _ : state) {
        state.PauseTiming();
        resetOutlook();
        BRSOutlookService outlook(simulator());
        state.ResumeTiming();
        int failures = 0;
        outlook.install(update, false, countingFailures(failures));
        if (failures > 0) {
            state.SkipWithError("install failed");
            return;
        }
    }
    perSignature(state, kSignatures);
}
BENCHMARK(BM_OutlookInstall200)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// One script run on its own: starting `osascript`, handing it the source and reading its answer.
void BM_ScriptProcessRoundTrip(benchmark::State& state) {
    // Without Outlook's signatures from the run before, the simulator's own state stays small.
    resetOutlook();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            simulator().runAppleScriptForSource(QStringLiteral("tell application \"Mail\" to quit\n")));
    }
}
BENCHMARK(BM_ScriptProcessRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

// The file work of one Mail install without the script: reading, updating and rewriting a list that
// already holds range(0) signatures, then writing the signature file. The CPU column is the parsing and
// serialising; the rest of the wall time is mostly the two atomic writes waiting for the disk.
void BM_AppleMailFilesOnly(benchmark::State& state) {
    resetMailFolder();
    BRSAppleMailService3 mail(false, QDir::homePath() + QStringLiteral("/Library"),
                              UserDefaults::standardUserDefaults());
    const QString folder = signatureFolder();
    int failures = 0;
    mail.setSignatures(signatures(static_cast<int>(state.range(0))), false, folder, QString(),
                       countingFailures(failures));
    const QList<BRSSignature> one{
        BRSSignature(QStringLiteral("Signature %1").arg(state.range(0)), html(0), QString())};
    for (auto _ : state) {
        mail.setSignatures(one, false, folder, QString(), countingFailures(failures));
        if (failures > 0) {
            state.SkipWithError("install failed");
            return;
        }
    }
}
BENCHMARK(BM_AppleMailFilesOnly)->Arg(0)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) {
        return 1;
    }
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("PATH", QByteArray(ORLIN_FAKE_OSASCRIPT_DIR ":") + qgetenv("PATH"));
    qputenv("ORLIN_FAKE_OSASCRIPT_STATE",
            QFile::encodeName(home.filePath(QStringLiteral("osascript-state.json"))));

    QCoreApplication app(argc, argv);
    UserDefaults::standardUserDefaults().setArgumentDomain(
        {{QStringLiteral("simulatedSystemVersion"), QStringLiteral("10.15")}});

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
