#include "BRSTTYLogger.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr qsizetype kStackBufferSize = 4095;

QByteArray currentProcessName() {
#if defined(__APPLE__)
    const char* name = getprogname();
#elif defined(__GLIBC__)
    const char* name = program_invocation_short_name;
#else
    const char* name = nullptr;
#endif
    return name && *name ? QByteArray(name) : QByteArrayLiteral("<UnnamedApp>");
}

void writeFully(int fd, iovec* parts, int count) {
    while (count > 0) {
        const ssize_t written = ::writev(fd, parts, count);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        // A short write on a pipe or terminal: go on where it stopped rather than lose the line's end.
        auto left = static_cast<std::size_t>(written);
        while (count > 0 && left >= parts->iov_len) {
            left -= parts->iov_len;
            ++parts;
            --count;
        }
        if (count > 0) {
            parts->iov_base = static_cast<char*>(parts->iov_base) + left;
            parts->iov_len -= left;
        }
    }
}

}  // namespace

std::shared_ptr<BRSTTYLogger> BRSTTYLogger::sharedInstance() {
    // Never destroyed, like the facade that holds it: exit handlers may still log.
    static auto* const shared =
        new std::shared_ptr<BRSTTYLogger>(std::make_shared<BRSTTYLogger>(STDERR_FILENO));
    return *shared;
}

BRSTTYLogger::BRSTTYLogger(int fileDescriptor)
    : BRSLogger("brisel.log.ttyLogger"),
      fileDescriptor_(fileDescriptor),
      processName_(currentProcessName()),
      processId_(QByteArray::number(static_cast<qint64>(::getpid()))) {}

BRSTTYLogger::~BRSTTYLogger() {
    stopQueue();
}

void BRSTTYLogger::logMessage(const BRSLogMessage& message) {
    const qsizetype needed = encoder_.requiredSpace(message.message.size());
    char stackBuffer[kStackBufferSize];
    std::unique_ptr<char[]> heapBuffer;
    char* text = stackBuffer;
    if (needed > kStackBufferSize) {
        heapBuffer = std::make_unique<char[]>(static_cast<std::size_t>(needed));
        text = heapBuffer.get();
    }
    encoder_.resetState();
    char* const textEnd = encoder_.appendToBuffer(text, message.message);
    if (encoder_.hasError()) {
        return;
    }
    const auto textLength = static_cast<std::size_t>(textEnd - text);

    const LocalTimeCache::Fields t = time_.fields(message.timestamp);
    const QByteArray threadId = message.threadID.left(8).toLatin1();
    char prefix[128 + 256];
    const int prefixLength =
        std::snprintf(prefix, sizeof prefix, "%04ld-%02ld-%02ld %02ld:%02ld:%02ld:%03d %.*s[%s:%s] ",
                      long{t.year}, long{t.month}, long{t.day}, long{t.hour}, long{t.minute}, long{t.second},
                      t.millisecond, static_cast<int>(std::min<qsizetype>(processName_.size(), 200)),
                      processName_.constData(), processId_.constData(), threadId.constData());
    if (prefixLength < 0) {
        return;
    }

    static char lineFeed = '\n';
    iovec parts[3] = {
        {prefix, std::min(static_cast<std::size_t>(prefixLength), sizeof prefix - 1)},
        {text, textLength},
        {&lineFeed, 1},
    };
    const bool endsWithLineFeed = textLength > 0 && text[textLength - 1] == '\n';
    writeFully(fileDescriptor_, parts, endsWithLineFeed ? 2 : 3);
}
