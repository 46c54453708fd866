#include "InstanceLock.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include "FileLock.h"

namespace {

void put(const QString& path, const QByteArray& contents) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(contents), contents.size());
}

// An agent killed while it ran leaves its lock file behind, naming it. Only the kernel's lock decides: the
// next agent takes the file over whatever it says, even a process that is alive, and is refused only
// while an agent really holds the lock.
TEST(InstanceLockTest, ALockLeftByADeadAgentIsTakenOverWhateverTheFileSays) {
    const QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    const QString path = InstanceLock(data.path()).path();
    const QByteArray encoded = QFile::encodeName(path);

    // Only system calls in the child: the parent's other threads may hold locks a fork copies.
    const pid_t agent = ::fork();
    ASSERT_GE(agent, 0);
    if (agent == 0) {
        const FileLock::Attempt attempt = FileLock::tryLock(encoded, 0600);
        ::_exit(attempt.fd >= 0 && FileLock::writeHint(attempt.fd, "dying agent\n") == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(agent, &status, 0), agent);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the agent never held the lock";

    const QByteArray alive = QByteArray::number(qint64(::getppid())) + '\n';
    for (const QByteArray& left : {QByteArray("dying agent\n"), QByteArray(), QByteArray("\xff\0garbage", 9),
                                   alive, QByteArray(1 << 16, '9')}) {
        SCOPED_TRACE(left.left(16).toStdString());
        if (left != "dying agent\n") {
            put(path, left);
        }
        InstanceLock next(data.path());
        QString problem;
        ASSERT_TRUE(next.tryLock(&problem)) << problem.toStdString();
        EXPECT_TRUE(problem.isEmpty());

        InstanceLock another(data.path());
        EXPECT_FALSE(another.tryLock(&problem)) << "the running agent holds it, whatever it wrote";
        EXPECT_TRUE(problem.isEmpty()) << "a held lock is no problem with the file";
    }
}

}  // namespace
