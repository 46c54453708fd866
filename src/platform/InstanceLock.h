#pragma once

#include <QString>

// One agent per set of user data. Two agents on the same data would interleave the Mail list's
// read-modify-write and race each other's refresh-token rotation, so the second one must not start.
// The lock lives in the data folder itself: whatever session variables an agent started from cron, ssh or
// su lacks, it finds the same lock as the desktop's agent on the same data, and a separate data set (the
// demo's sandbox, a test's home) is a separate agent.
//
// The kernel's lock on the open file decides, not the file's contents: it ends with its process however
// that ends, so an empty or garbled file (a power cut between create and write) or one left by a killed
// agent is simply taken over.
class InstanceLock final {
public:
    explicit InstanceLock(const QString& dataFolder);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Holds the lock until this object is gone; false when a running agent holds it, or the file cannot be
    // opened at all (then `problem` says why).
    [[nodiscard]] bool tryLock(QString* problem = nullptr);
    [[nodiscard]] QString path() const { return path_; }

private:
    QString path_;
    int fd_ = -1;
};
