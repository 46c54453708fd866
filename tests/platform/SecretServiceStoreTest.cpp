#include "SecretServiceStore.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHash>
#include <atomic>
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
        items.insert(service + QLatin1Char('/') + account, secret);
        return Status::Success;
    }
    Status clear(const QString& service, const QString& account, GCancellable* cancellable) override {
        if (hang) {
            waitForCancellation(cancellable);
            return Status::Success;
        }
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

}  // namespace
