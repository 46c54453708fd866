#include "SecretServiceStore.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHash>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Status = SecretStore::Status;

// Answers from a table, or, when told to hang, blocks until the caller cancels it.
class FakeCalls final : public SecretServiceStore::Calls {
public:
    SecretStore::FindResult lookup(const QString& service, const QString& account,
                                   GCancellable* cancellable) override {
        if (hang) {
            waitForCancellation(cancellable);
            return {Status::Success, "too late"};
        }
        const std::lock_guard lock(itemsMutex);
        const QString key = service + QLatin1Char('/') + account;
        return items.contains(key) ? SecretStore::FindResult{Status::Success, items.value(key)}
                                   : SecretStore::FindResult{Status::NotFound, {}};
    }
    Status store(const QString& service, const QString& account, const QByteArray& secret,
                 GCancellable* cancellable) override {
        if (hang) {
            waitForCancellation(cancellable);
            return Status::Success;
        }
        // A service that wakes late and then does what it was asked, cancelled or not.
        if (storesToHold.fetch_sub(1) > 0) {
            while (!released) {
                std::this_thread::sleep_for(1ms);
            }
        }
        const std::lock_guard lock(itemsMutex);
        items.insert(service + QLatin1Char('/') + account, secret);
        ++storesLanded;
        return Status::Success;
    }
    Status clear(const QString& service, const QString& account, GCancellable* cancellable) override {
        if (hang) {
            waitForCancellation(cancellable);
            return Status::Success;
        }
        const std::lock_guard lock(itemsMutex);
        return items.remove(service + QLatin1Char('/') + account) ? Status::Success : Status::NotFound;
    }

    void waitForCancellation(GCancellable* cancellable) {
        while (!g_cancellable_is_cancelled(cancellable)) {
            std::this_thread::sleep_for(1ms);
        }
        ++cancelled;
    }

    std::atomic<bool> hang = false;
    std::atomic<int> cancelled = 0;
    std::atomic<int> storesToHold = 0;
    std::atomic<bool> released = false;
    std::atomic<int> storesLanded = 0;
    std::mutex itemsMutex;
    QHash<QString, QByteArray> items;
};

TEST(SecretServiceStoreTest, AnswersOfTheServicePassThroughAndAddReplacesAnExistingItem) {
    auto calls = std::make_shared<FakeCalls>();
    SecretServiceStore store(calls, 5s);
    EXPECT_EQ(store.find(QStringLiteral("s"), QStringLiteral("a")).status, Status::NotFound);
    EXPECT_EQ(store.add(QStringLiteral("s"), QStringLiteral("a"), "one"), Status::Success);
    EXPECT_EQ(store.add(QStringLiteral("s"), QStringLiteral("a"), "two"), Status::Success);
    const SecretStore::FindResult found = store.find(QStringLiteral("s"), QStringLiteral("a"));
    EXPECT_EQ(found.status, Status::Success);
    EXPECT_EQ(found.secret, QByteArray("two"));
    EXPECT_EQ(store.remove(QStringLiteral("s"), QStringLiteral("a")), Status::Success);
    EXPECT_EQ(store.remove(QStringLiteral("s"), QStringLiteral("a")), Status::NotFound);
}

TEST(SecretServiceStoreTest, ACallThatDoesNotAnswerInTimeIsCancelledAndCountsAsAFailure) {
    auto calls = std::make_shared<FakeCalls>();
    calls->hang = true;
    SecretServiceStore store(calls, 50ms);

    QElapsedTimer timer;
    timer.start();
    const SecretStore::FindResult found = store.find(QStringLiteral("s"), QStringLiteral("a"));
    EXPECT_EQ(found.status, Status::Failure);
    EXPECT_TRUE(found.secret.isEmpty()) << "a late answer must not leak into the result";
    EXPECT_EQ(store.replace(QStringLiteral("s"), QStringLiteral("a"), "x"), Status::Failure);
    EXPECT_EQ(store.remove(QStringLiteral("s"), QStringLiteral("a")), Status::Failure);
    EXPECT_LT(timer.elapsed(), 3000);

    // Each abandoned call sees its cancellation and ends its thread.
    while (calls->cancelled < 3 && timer.elapsed() < 10000) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(calls->cancelled, 3);
}

TEST(SecretServiceStoreTest, AWriteGivenUpAtTheLimitNeverLandsAfterALaterWrite) {
    auto calls = std::make_shared<FakeCalls>();
    calls->storesToHold = 1;
    SecretServiceStore store(calls, 1s);
    EXPECT_EQ(store.replace(QStringLiteral("s"), QStringLiteral("a"), "old"), Status::Failure);

    // The late write wakes while the later one waits for the service.
    std::thread wake([&] {
        std::this_thread::sleep_for(100ms);
        calls->released = true;
    });
    EXPECT_EQ(store.replace(QStringLiteral("s"), QStringLiteral("a"), "new"), Status::Success);
    wake.join();
    QElapsedTimer timer;
    timer.start();
    while (calls->storesLanded < 2 && timer.elapsed() < 10000) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(store.find(QStringLiteral("s"), QStringLiteral("a")).secret, QByteArray("new"));
}

}  // namespace
