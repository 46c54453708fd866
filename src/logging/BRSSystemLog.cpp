#include "BRSSystemLog.h"

#include <syslog.h>

#include <cstdio>
#include <mutex>

namespace {

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

BRSSystemLog::Sink& sink() {
    static BRSSystemLog::Sink current;
    return current;
}

}  // namespace

void BRSSystemLog::report(const QString& text) {
    {
        std::lock_guard lock(sinkMutex());
        if (sink()) {
            sink()(text);
            return;
        }
    }
    const QByteArray bytes = text.toUtf8();
    ::syslog(LOG_USER | LOG_ERR, "%s", bytes.constData());
    std::fprintf(stderr, "%s\n", bytes.constData());
}

void BRSSystemLog::setSink(Sink newSink) {
    std::lock_guard lock(sinkMutex());
    sink() = std::move(newSink);
}
