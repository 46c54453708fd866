#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <mutex>
#include <thread>

// Tells when the watched file is deleted, renamed or has its attributes changed, on a thread of its own.
// The listener hears the generation it passed along with the file, so a late report about a file that
// was replaced meanwhile can be told apart. Reports may be spurious; the listener checks the file.
class LogFileWatcher final {
public:
    using Listener = std::function<void(quint64 generation)>;

    explicit LogFileWatcher(Listener listener);
    // Returns once no report is being made any more.
    ~LogFileWatcher();

    LogFileWatcher(const LogFileWatcher&) = delete;
    LogFileWatcher& operator=(const LogFileWatcher&) = delete;

    void watch(const QString& path, quint64 generation);
    void unwatch();

private:
#ifdef __linux__
    void run();

    Listener listener_;
    std::mutex mutex_;
    int notifyFd_ = -1;
    int stopFd_ = -1;
    int watch_ = -1;
    quint64 generation_ = 0;
    std::thread thread_;
#endif
};
