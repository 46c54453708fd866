#include "LogFileWatcher.h"

#include <QFile>

#ifdef __linux__
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#endif

#ifdef __linux__

LogFileWatcher::LogFileWatcher(Listener listener) : listener_(std::move(listener)) {
    notifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    stopFd_ = ::eventfd(0, EFD_CLOEXEC);
    if (notifyFd_ >= 0 && stopFd_ >= 0) {
        thread_ = std::thread([this] { run(); });
    }
}

LogFileWatcher::~LogFileWatcher() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(stopFd_, &one, sizeof one);
        thread_.join();
    }
    if (notifyFd_ >= 0) {
        ::close(notifyFd_);
    }
    if (stopFd_ >= 0) {
        ::close(stopFd_);
    }
}

void LogFileWatcher::watch(const QString& path, quint64 generation) {
    std::lock_guard lock(mutex_);
    if (notifyFd_ < 0) {
        return;
    }
    if (watch_ >= 0) {
        ::inotify_rm_watch(notifyFd_, watch_);
    }
    // IN_ATTRIB: unlinking a file that is still open only drops its link count; the deletion proper
    // comes when the logger closes it, which is too late to be the reason to close it.
    watch_ = ::inotify_add_watch(notifyFd_, QFile::encodeName(path).constData(),
                                 IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF);
    generation_ = generation;
}

void LogFileWatcher::unwatch() {
    std::lock_guard lock(mutex_);
    if (notifyFd_ >= 0 && watch_ >= 0) {
        ::inotify_rm_watch(notifyFd_, watch_);
    }
    watch_ = -1;
}

void LogFileWatcher::run() {
    alignas(inotify_event) char events[4096];
    for (;;) {
        pollfd fds[2] = {{notifyFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        const ssize_t length = ::read(notifyFd_, events, sizeof events);
        if (length <= 0) {
            continue;
        }
        bool relevant = false;
        quint64 generation = 0;
        {
            std::lock_guard lock(mutex_);
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + offset);
                relevant = relevant || (event->wd == watch_ && watch_ >= 0);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
            generation = generation_;
        }
        if (relevant) {
            listener_(generation);
        }
    }
}

#else

// Without a watch the file logger still notices a deleted or renamed file before its next message.
LogFileWatcher::LogFileWatcher(Listener) {}
LogFileWatcher::~LogFileWatcher() = default;
void LogFileWatcher::watch(const QString&, quint64) {}
void LogFileWatcher::unwatch() {}

#endif
