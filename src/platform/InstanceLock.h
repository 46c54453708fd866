#pragma once

#include <QLockFile>
#include <QString>

// One agent per set of user data. Two agents on the same data would interleave the Mail list's
// read-modify-write and race each other's refresh-token rotation, so the second one must not start.
// The lock is a file in the user's runtime folder, named after the agent's data folder: a separate data
// set (the demo's sandbox, a test's home) is a separate agent. A lock left by a process that no longer
// runs is taken over.
class InstanceLock final {
public:
    InstanceLock(const QString& runtimeFolder, const QString& dataFolder);

    // Holds the lock until this object is gone; false when a running agent holds it.
    [[nodiscard]] bool tryLock();
    [[nodiscard]] QString path() const { return path_; }

private:
    QString path_;
    QLockFile lock_;
};
