#include "BRSFileLogger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "BRSLog.h"
#include "BRSSystemLog.h"
#include "LogFileWatcher.h"

namespace {

constexpr int kReportedWriteFailures = 10;
// A run's lines go out in pieces of about this size, so that the buffer gathering them is reused from one
// piece and one run to the next instead of growing afresh, megabytes at a time, for a busy run.
constexpr qsizetype kWrittenPiece = 256 * 1024;
constexpr double kLongestTimerWait = 7.0 * 24 * 60 * 60;

}  // namespace

BRSFileLogger::BRSFileLogger() : BRSFileLogger(std::make_shared<BRSLogFileManagerDefault>()) {}

BRSFileLogger::BRSFileLogger(std::shared_ptr<BRSLogFileManagerDefault> logFileManager)
    : BRSLogger("brisel.log.fileLogger"),
      manager_(logFileManager ? std::move(logFileManager) : std::make_shared<BRSLogFileManagerDefault>()) {
    // The watch reports on its own thread; the decision whether to roll is taken on the logger's queue.
    watcher_ = std::make_unique<LogFileWatcher>([this](quint64 generation) {
        loggerQueue().async([this, generation] {
            if (generation == generation_ && fd_ >= 0 && currentFileIsGone()) {
                rollNow();
            }
        });
    });
}

BRSFileLogger::~BRSFileLogger() {
    watcher_.reset();
    stopQueue();
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void BRSFileLogger::change(std::function<void()> work) {
    BRSLog* log = owningLog();
    if (!log) {
        loggerQueue().async(std::move(work));
        return;
    }
    // Through the logging queue, so the change falls between the messages in the order they were logged.
    std::weak_ptr<BRSLogger> self = weak_from_this();
    log->runOnLoggingQueue(
        [self, work = std::move(work)]() mutable {
            if (const auto logger = self.lock()) {
                logger->loggerQueue().async(std::move(work));
            }
        },
        false);
}

void BRSFileLogger::read(const std::function<void()>& work) {
    BRSLog* log = owningLog();
    if (!log || loggerQueue().isCurrent() || log->isOnLoggingQueue()) {
        loggerQueue().sync(work);
        return;
    }
    log->runOnLoggingQueue([this, &work] { loggerQueue().sync(work); }, true);
}

void BRSFileLogger::setMaximumFileSize(quint64 bytes) {
    change([this, bytes] {
        maximumFileSize_ = bytes;
        if (fd_ >= 0 && maximumFileSize_ != 0 && position_ >= maximumFileSize_) {
            rollNow();
        }
    });
}

quint64 BRSFileLogger::maximumFileSize() {
    quint64 value = 0;
    read([this, &value] { value = maximumFileSize_; });
    return value;
}

void BRSFileLogger::setRollingFrequency(double seconds) {
    change([this, seconds] {
        rollingFrequency_ = seconds;
        armAgeTimer();
    });
}

double BRSFileLogger::rollingFrequency() {
    double value = 0;
    read([this, &value] { value = rollingFrequency_; });
    return value;
}

void BRSFileLogger::setDoNotReuseLogFiles(bool doNotReuse) {
    change([this, doNotReuse] { doNotReuseLogFiles_ = doNotReuse; });
}

bool BRSFileLogger::doNotReuseLogFiles() {
    bool value = false;
    read([this, &value] { value = doNotReuseLogFiles_; });
    return value;
}

void BRSFileLogger::rollLogFile() {
    change([this] { rollNow(); });
}

std::optional<BRSLogFileInfo> BRSFileLogger::currentLogFileInfo() {
    std::optional<BRSLogFileInfo> info;
    read([this, &info] {
        if (fd_ >= 0) {
            info.emplace(currentPath_);
        }
    });
    return info;
}

void BRSFileLogger::logMessage(const BRSLogMessage& message) {
    logMessages(std::span<const BRSLogMessage>(&message, 1), BRSLogLevel::All);
}

void BRSFileLogger::logMessages(std::span<const BRSLogMessage> messages, BRSLogLevel level) {
    // Once per run rather than per line: a file deleted from outside is noticed before the next message
    // even when the watch has not reported yet.
    if (fd_ >= 0 && currentFileIsGone()) {
        rollNow();
    }
    for (const BRSLogMessage& message : messages) {
        if (levelHasFlag(level, message.flag)) {
            appendLine(message);
        }
    }
    writeBuffer();
}

void BRSFileLogger::flush() {
    writeBuffer();
    if (fd_ >= 0) {
        ::fsync(fd_);
    }
}

void BRSFileLogger::appendLine(const BRSLogMessage& message) {
    if (fd_ < 0 && !openCurrentFile()) {
        return;
    }
    formatter_.appendLogMessage(message, buffer_);
    if (!buffer_.endsWith('\n')) {
        buffer_.append('\n');
    }
    // The lines of a run are written together, a piece at a time; the size rule still applies line by line,
    // so a file ends with the line that reached the limit, as it would with a write per line.
    if (maximumFileSize_ != 0 && position_ + static_cast<quint64>(buffer_.size()) >= maximumFileSize_) {
        writeBuffer();
        rollNow();
    } else if (buffer_.size() >= kWrittenPiece) {
        writeBuffer();
    }
}

void BRSFileLogger::writeBuffer() {
    if (buffer_.isEmpty()) {
        return;
    }
    const char* data = buffer_.constData();
    auto left = static_cast<std::size_t>(buffer_.size());
    while (fd_ >= 0 && left > 0) {
        const ssize_t written = ::write(fd_, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            reportWriteFailure(errno);
            dropPartialLine(static_cast<std::size_t>(data - buffer_.constData()));
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
        position_ += static_cast<quint64>(written);
    }
    // Kept for the next lines, unless one long line has made it large.
    if (buffer_.capacity() > 2 * kWrittenPiece) {
        buffer_ = QByteArray();
    } else {
        buffer_.resize(0);
    }
}

void BRSFileLogger::dropPartialLine(std::size_t written) {
    // A line cut off by a full disk would run into the next line written once there is room again.
    const QByteArrayView whole = QByteArrayView(buffer_).first(static_cast<qsizetype>(written));
    const qsizetype lastLineEnd = whole.lastIndexOf('\n');
    const auto partial = static_cast<quint64>(whole.size() - (lastLineEnd + 1));
    if (partial != 0 && ::ftruncate(fd_, static_cast<off_t>(position_ - partial)) == 0) {
        position_ -= partial;
    }
}

void BRSFileLogger::reportWriteFailure(int error) {
    if (writeFailures_ >= kReportedWriteFailures) {
        return;
    }
    ++writeFailures_;
    BRSSystemLog::report(
        QStringLiteral("BRSFileLogger.logMessage: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
    if (writeFailures_ == kReportedWriteFailures) {
        BRSSystemLog::report(QStringLiteral(
            "BRSFileLogger.logMessage: Too many exceptions -- will not log any more of them."));
    }
}

bool BRSFileLogger::openCurrentFile() {
    const QDateTime now = manager_->now();
    QString path;
    std::vector<BRSLogFileInfo> infos = manager_->sortedLogFileInfos();
    if (!infos.empty() && !infos.front().isArchived()) {
        BRSLogFileInfo& newest = infos.front();
        const bool full =
            maximumFileSize_ != 0 && static_cast<quint64>(newest.fileSize()) >= maximumFileSize_;
        const bool old = rollingFrequency_ > 0 && newest.age(now) >= rollingFrequency_;
        if (full || old) {
            newest.setIsArchived(true);
        } else if (!doNotReuseLogFiles_) {
            path = newest.filePath();
        }
    }
    // A file made here is as old as this logger's clock says, whatever the file system recorded: should
    // the two disagree, a new file must not count as too old and be rolled before its first line.
    QDateTime creationDate;
    if (path.isEmpty()) {
        path = manager_->createNewLogFile();
        creationDate = now;
    }
    if (path.isEmpty()) {
        return false;
    }
    fd_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd_ < 0) {
        return false;
    }
    // A file kept from an earlier version may have been readable by others; it holds signatures.
    ::fchmod(fd_, 0600);
    struct stat status {};
    position_ = ::fstat(fd_, &status) == 0 ? static_cast<quint64>(status.st_size) : 0;
    currentPath_ = path;
    currentCreationDate_ = creationDate.isValid() ? creationDate : BRSLogFileInfo(path).creationDate();
    ++generation_;
    watcher_->watch(path, generation_);
    armAgeTimer();
    return true;
}

bool BRSFileLogger::currentFileIsGone() const {
    struct stat open {};
    struct stat named {};
    if (::fstat(fd_, &open) != 0 || open.st_nlink == 0) {
        return true;
    }
    if (::stat(QFile::encodeName(currentPath_).constData(), &named) != 0) {
        return true;
    }
    return open.st_ino != named.st_ino || open.st_dev != named.st_dev;
}

void BRSFileLogger::rollNow() {
    if (fd_ < 0) {
        return;
    }
    writeBuffer();
    // Through the descriptor: a file renamed from outside is still the one to mark.
    BRSLogFileInfo::setIsArchived(fd_, currentPath_);
    ::close(fd_);
    fd_ = -1;
    currentPath_.clear();
    position_ = 0;
    ++generation_;
    watcher_->unwatch();
    if (ageTimer_ != 0) {
        loggerQueue().cancel(ageTimer_);
        ageTimer_ = 0;
    }
}

void BRSFileLogger::armAgeTimer() {
    if (ageTimer_ != 0) {
        loggerQueue().cancel(ageTimer_);
        ageTimer_ = 0;
    }
    // Written so that a frequency that is not a number counts as none.
    if (fd_ < 0 || !(rollingFrequency_ > 0)) {
        return;
    }
    const double age = static_cast<double>(currentCreationDate_.msecsTo(manager_->now())) / 1000.0;
    if (age >= rollingFrequency_) {
        rollNow();
        return;
    }
    // A far deadline is approached in steps; the timer re-arms itself until the file is old enough.
    // Converting a huge frequency to the clock's ticks in one go would overflow.
    const auto delay = std::chrono::duration<double>(std::min(rollingFrequency_ - age, kLongestTimerWait));
    const quint64 generation = generation_;
    ageTimer_ =
        loggerQueue().asyncAfter(std::chrono::ceil<SerialQueue::Clock::duration>(delay), [this, generation] {
            if (generation != generation_) {
                return;
            }
            ageTimer_ = 0;
            armAgeTimer();
        });
}
