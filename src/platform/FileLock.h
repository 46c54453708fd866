#pragma once

#include <QByteArray>

// The kernel's advisory lock on a lock file, the one thing that decides who holds it: whatever the file
// says (empty, garbage, another machine's) is only a hint for whoever looks at it.
class FileLock final {
public:
    FileLock() = delete;

    struct Attempt {
        // The open, locked file; -1 when the lock was not had.
        int fd = -1;
        // Why not: EWOULDBLOCK while another process holds it, otherwise what opening or locking said.
        int error = 0;
    };

    // Opens (making it with `mode`) and locks `path` without waiting. Close-on-exec, so a child such as
    // osascript that outlives us can never keep the lock held; never through a symbolic link.
    [[nodiscard]] static Attempt tryLock(const QByteArray& path, int mode);
    // Replaces the file's contents with `hint`; 0, or the errno of the failed write (ENOSPC for a short one).
    [[nodiscard]] static int writeHint(int fd, const QByteArray& hint);
};
