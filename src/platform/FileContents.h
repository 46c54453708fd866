#pragma once

#include <QByteArray>
#include <QString>

#include "Result.h"

// Reads the start of a file, or all of a small one: AtomicFile's reading neighbour. Plain system calls
// rather than QFile: a check reads one small file per signature, and QFile's own work around the read
// costs more than the read itself.
class FileContents final {
public:
    FileContents() = delete;

    // Up to `maxBytes` from the start of the file at `path`. Fails with the errno of the call that failed,
    // in NSPOSIXErrorDomain (ENOENT for a file that is not there).
    [[nodiscard]] static Result<QByteArray> read(const QString& path, qsizetype maxBytes);
};
