#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// Runs the event loop until `done` holds, then lets whatever is already posted run too, so that a second
// call of a completion would be seen. The cap only keeps a broken build from hanging the suite.
inline void runUntil(const std::function<bool()>& done) {
    if (!done()) {
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(2);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done()) {
                loop.quit();
            }
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        poll.start();
        loop.exec();
    }
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}
