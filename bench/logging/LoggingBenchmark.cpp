// One million messages through each logger, timed end to end (until every line is in the file and synced)
// and per call on the caller's side. Each run checks afterwards that every line arrived, in order; a run
// that lost or reordered a line reports an error instead of numbers.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "BRSFileLogger.h"
#include "BRSLog.h"

#ifdef ORLIN_BENCH_WITH_SPDLOG
#include <spdlog/async.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace {

constexpr int kMessages = 1'000'000;
using Clock = std::chrono::steady_clock;

struct CallerCost {
    std::vector<std::uint32_t> nanoseconds = std::vector<std::uint32_t>(kMessages);

    void record(int index, Clock::time_point start, Clock::time_point end) {
        nanoseconds[static_cast<std::size_t>(index)] = static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count());
    }
    double percentile(double fraction) {
        const auto position =
            static_cast<std::size_t>(fraction * static_cast<double>(nanoseconds.size() - 1));
        std::nth_element(nanoseconds.begin(), nanoseconds.begin() + static_cast<std::ptrdiff_t>(position),
                         nanoseconds.end());
        return nanoseconds[position];
    }
};

// Counts the lines "…Name: Signature <n>" across the files, oldest first, and checks n runs 0, 1, 2…
bool deliveredInOrder(const QStringList& paths, std::string& problem) {
    int expected = 0;
    for (const QString& path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            problem = "cannot read " + path.toStdString();
            return false;
        }
        const QByteArray contents = file.readAll();
        qsizetype start = 0;
        while (start < contents.size()) {
            qsizetype end = contents.indexOf('\n', start);
            if (end < 0) {
                end = contents.size();
            }
            const QByteArray line = contents.mid(start, end - start);
            const qsizetype marker = line.indexOf("Name: Signature ");
            if (marker < 0 || line.mid(marker + 16).toInt() != expected) {
                problem =
                    "line " + std::to_string(expected) + " missing or out of order: " + line.toStdString();
                return false;
            }
            ++expected;
            start = end + 1;
        }
    }
    if (expected != kMessages) {
        problem = "only " + std::to_string(expected) + " lines arrived";
        return false;
    }
    return true;
}

void report(benchmark::State& state, Clock::duration total, CallerCost& cost) {
    const double seconds = std::chrono::duration<double>(total).count();
    state.SetIterationTime(seconds);
    state.counters["msgs_per_s"] = kMessages / seconds;
    state.counters["caller_median_ns"] = cost.percentile(0.5);
    state.counters["caller_p99_ns"] = cost.percentile(0.99);
}

void runFacade(benchmark::State& state, quint64 maximumFileSize) {
    for (auto _ : state) {
        QTemporaryDir folder;
        auto manager = std::make_shared<BRSLogFileManagerDefault>(folder.path());
        manager->setMaximumNumberOfLogFiles(0);
        manager->setLogFilesDiskQuota(0);
        auto fileLogger = std::make_shared<BRSFileLogger>(manager);
        fileLogger->setMaximumFileSize(maximumFileSize);
        CallerCost cost;
        Clock::duration total{};
        {
            BRSLog log;
            log.addLogger(fileLogger, BRSLogLevel::All);
            log.flushLog();
            const auto begin = Clock::now();
            for (int i = 0; i < kMessages; ++i) {
                const auto start = Clock::now();
                log.logFormat(true, BRSLogLevel::Verbose, BRSLogFlag::Verbose, 0, __FILE__, __func__,
                              __LINE__, nullptr, u"Name: Signature %@", i);
                cost.record(i, start, Clock::now());
            }
            log.flushLog();
            total = Clock::now() - begin;
        }
        QStringList paths;
        const auto infos = manager->sortedLogFileInfos();
        for (auto it = infos.rbegin(); it != infos.rend(); ++it) {
            paths.append(it->filePath());
        }
        std::string problem;
        if (!deliveredInOrder(paths, problem)) {
            state.SkipWithError(problem.c_str());
            return;
        }
        report(state, total, cost);
        state.counters["files"] = static_cast<double>(paths.size());
    }
}

void BM_FacadeToFileLogger_NoSizeLimit(benchmark::State& state) {
    runFacade(state, 0);
}

void BM_FacadeToFileLogger_Rolling1MiB(benchmark::State& state) {
    runFacade(state, BRSFileLogger::kDefaultLogMaxFileSize);
}

#ifdef ORLIN_BENCH_WITH_SPDLOG
void BM_SpdlogAsyncFileLogger(benchmark::State& state) {
    for (auto _ : state) {
        QTemporaryDir folder;
        const std::string path = QDir(folder.path()).filePath(QStringLiteral("spdlog.log")).toStdString();
        CallerCost cost;
        Clock::duration total{};
        {
            spdlog::init_thread_pool(8192, 1);
            auto logger = spdlog::create_async<spdlog::sinks::basic_file_sink_mt>("bench", path, true);
            // The file logger's line: local time to the millisecond, two blanks, the message.
            logger->set_pattern("%Y/%m/%d %H:%M:%S:%e  %v");
            logger->set_level(spdlog::level::trace);
            const auto begin = Clock::now();
            for (int i = 0; i < kMessages; ++i) {
                const auto start = Clock::now();
                logger->debug("Name: Signature {}", i);
                cost.record(i, start, Clock::now());
            }
            logger.reset();
            // Joins the worker once its queue is empty: the only way to wait for an asynchronous logger.
            spdlog::shutdown();
            // The facade's flush syncs the file to disk; so must the comparison.
            const int fd = ::open(path.c_str(), O_RDONLY);
            ::fsync(fd);
            ::close(fd);
            total = Clock::now() - begin;
        }
        std::string problem;
        if (!deliveredInOrder({QString::fromStdString(path)}, problem)) {
            state.SkipWithError(problem.c_str());
            return;
        }
        report(state, total, cost);
    }
}
BENCHMARK(BM_SpdlogAsyncFileLogger)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_FacadeToFileLogger_NoSizeLimit)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FacadeToFileLogger_Rolling1MiB)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
