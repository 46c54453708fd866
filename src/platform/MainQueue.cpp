#include "MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>

void MainQueue::post(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    Q_ASSERT_X(app, "MainQueue::post", "the application object must exist before work is posted");
    if (!app) {
        return;
    }
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}
