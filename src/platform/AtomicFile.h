#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include <sys/types.h>

#include "Result.h"

// Replaces a file whole or not at all. The bytes go to a new file beside the target, every write, the
// flush to disk and the close are checked, and only then is the new file renamed over the target. A full
// disk, a size limit or a failing device leaves the target byte for byte as it was.
//
// A symbolic link at the target is replaced, never written through: what the link pointed to stays as it
// was. A read-only target in a writable folder is replaced like any other, since only the folder's
// permission decides a rename; it keeps its mode.
//
// Qt's QSaveFile is not used: it reports neither the errno (so EPERM, how a missing Full Disk Access shows,
// could not be told from a full disk) nor a flush or close that fails after the last write.
class AtomicFile final {
public:
    struct Options {
        // The mode of a file that does not exist yet (the process's umask applies).
        mode_t newFileMode = 0644;
        // When false, the file always gets exactly newFileMode, whatever the target had: for secrets.
        bool keepExistingMode = true;
    };

    // The two calls that can still fail once every byte is written. A disk that refuses that late is hard
    // to bring about for real, so a test hands its own; an empty one is the system's.
    struct FinishingCalls {
        std::function<int(int fd)> flush;
        std::function<int(int fd)> close;
    };

    // Fails with the errno of the first call that failed, in NSPOSIXErrorDomain.
    static Result<void> write(const QString& path, const QByteArray& bytes, Options options,
                              const FinishingCalls& calls);
    static Result<void> write(const QString& path, const QByteArray& bytes, Options options) {
        return write(path, bytes, options, FinishingCalls{});
    }
    static Result<void> write(const QString& path, const QByteArray& bytes) {
        return write(path, bytes, Options{});
    }
};
