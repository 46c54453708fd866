#include "SerialQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "LoggingTestSupport.h"

namespace {

TEST(LogSerialQueueTest, RunsWorkInOrderOnItsOwnThread) {
    SerialQueue queue("test.queue");
    std::vector<int> order;
    std::atomic<bool> onQueue{true};
    for (int i = 0; i < 1000; ++i) {
        queue.async([&, i] {
            onQueue = onQueue && queue.isCurrent() && SerialQueue::currentLabel() == "test.queue";
            order.push_back(i);
        });
    }
    // Waiting from the queue's own thread must not wait for itself.
    queue.sync([&] { queue.sync([&] { order.push_back(1000); }); });
    ASSERT_EQ(order.size(), 1001U);
    for (int i = 0; i <= 1000; ++i) {
        ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
    }
    EXPECT_TRUE(onQueue);
    EXPECT_FALSE(queue.isCurrent());
    EXPECT_TRUE(SerialQueue::currentLabel().empty());
}

TEST(LogSerialQueueTest, TimersFireByDeadlineAndCancelledOnesNever) {
    SerialQueue queue("test.timers");
    std::mutex mutex;
    std::vector<char> fired;
    const auto record = [&](char name) {
        return [&, name] {
            std::lock_guard lock(mutex);
            fired.push_back(name);
        };
    };
    const auto later = queue.asyncAfter(std::chrono::milliseconds(250), record('b'));
    const auto cancelled = queue.asyncAfter(std::chrono::milliseconds(200), record('x'));
    (void)queue.asyncAfter(std::chrono::milliseconds(1), record('a'));
    queue.cancel(cancelled);
    (void)later;
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(mutex);
        return fired.size() == 2;
    }));
    queue.sync([] {});
    std::lock_guard lock(mutex);
    EXPECT_EQ(fired, (std::vector<char>{'a', 'b'}));
}

TEST(LogSerialQueueTest, DestructionRunsSubmittedWorkAndDropsPendingTimers) {
    std::atomic<int> ran{0};
    {
        SerialQueue queue("test.shutdown");
        (void)queue.asyncAfter(std::chrono::hours(1), [&] { ran += 100; });
        for (int i = 0; i < 10; ++i) {
            queue.async([&] { ++ran; });
        }
    }
    EXPECT_EQ(ran, 10);
}

}  // namespace
