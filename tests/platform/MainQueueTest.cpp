#include "MainQueue.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <thread>

namespace {

void runEventLoopUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    poll.start(1);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(MainQueueTest, PostedWorkRunsLaterOnTheMainThreadInOrder) {
    std::vector<int> order;
    MainQueue::post([&] { order.push_back(1); });
    MainQueue::post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty()) << "posting never runs the work on the spot";
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(MainQueueTest, WorkPostedFromAnotherThreadRunsOnTheMainThread) {
    QThread* mainThread = QThread::currentThread();
    std::atomic<int> ran{0};
    std::atomic<bool> onMain{true};
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i) {
            MainQueue::post([&] {
                onMain = onMain && QThread::currentThread() == mainThread;
                ++ran;
            });
        }
    });
    worker.join();
    runEventLoopUntil([&] { return ran == 100; });
    EXPECT_EQ(ran, 100);
    EXPECT_TRUE(onMain);
}

}  // namespace
