#include "BRSLogMessage.h"

#include <pthread.h>
#include <unistd.h>

#include "SerialQueue.h"

#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace {

struct ThreadIdentity {
    QString id;
    QString name;
};

QString systemThreadId() {
#if defined(__APPLE__)
    std::uint64_t id = 0;
    pthread_threadid_np(nullptr, &id);
    return QString::number(id);
#elif defined(__linux__)
    return QString::number(static_cast<qint64>(::syscall(SYS_gettid)));
#else
    return QString::number(reinterpret_cast<quintptr>(pthread_self()), 16);
#endif
}

QString systemThreadName() {
    char name[64] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof name) != 0) {
        return {};
    }
    return QString::fromUtf8(name);
}

// Looked up once per thread: asking the system for every message would cost the caller more than the
// formatting does.
const ThreadIdentity& currentThread() {
    thread_local const ThreadIdentity identity{systemThreadId(), systemThreadName()};
    return identity;
}

const QString& currentQueueLabel(const QString& threadName) {
    thread_local const QString label = [&threadName] {
        const std::string& queue = SerialQueue::currentLabel();
        return queue.empty() ? threadName : QString::fromStdString(queue);
    }();
    return label;
}

}  // namespace

BRSLogMessage BRSLogMessage::make(QString message, BRSLogLevel level, BRSLogFlag flag, int context,
                                  const char* file, const char* function, int line, const char* tag) {
    const ThreadIdentity& thread = currentThread();
    BRSLogMessage record;
    record.message = std::move(message);
    record.level = level;
    record.flag = flag;
    record.context = context;
    record.file = file ? file : "";
    record.function = function ? function : "";
    record.line = line;
    record.tag = tag;
    record.timestamp = std::chrono::system_clock::now();
    record.threadID = thread.id;
    record.threadName = thread.name;
    record.queueLabel = currentQueueLabel(thread.name);
    return record;
}
