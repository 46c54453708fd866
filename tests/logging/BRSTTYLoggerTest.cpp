#include "BRSTTYLogger.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDateTime>
#include <QRegularExpression>

namespace {

class BRSTTYLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::pipe(fds), 0);
        ASSERT_EQ(::fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
        logger = std::make_shared<BRSTTYLogger>(fds[1]);
    }
    void TearDown() override {
        logger.reset();
        ::close(fds[0]);
        ::close(fds[1]);
    }

    BRSLogMessage log(const QString& text) {
        const BRSLogMessage message =
            BRSLogMessage::make(text, BRSLogLevel::All, BRSLogFlag::Verbose, 0, "", "", 0, nullptr);
        logger->loggerQueue().sync([&] { logger->logMessage(message); });
        return message;
    }
    QByteArray output() {
        QByteArray all;
        char chunk[65536];
        ssize_t length = 0;
        while ((length = ::read(fds[0], chunk, sizeof chunk)) > 0) {
            all.append(chunk, length);
        }
        return all;
    }

    int fds[2] = {-1, -1};
    std::shared_ptr<BRSTTYLogger> logger;
};

TEST_F(BRSTTYLoggerTest, LineHasLocalTimeProcessAndThread) {
    const BRSLogMessage message = log(QStringLiteral("AppleScript: tell application \"Mail\""));
    const QByteArray line = output();
    const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(message.timestamp.time_since_epoch()).count());
    const QByteArray expected = stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss:zzz")).toUtf8() +
                                " logging_tests[" + QByteArray::number(::getpid()) + ":" +
                                message.threadID.left(8).toUtf8() +
                                "] AppleScript: tell application \"Mail\"\n";
    EXPECT_EQ(line, expected);
}

TEST_F(BRSTTYLoggerTest, LineFeedIsAddedOnlyWhenMissingAndLongLinesStayWhole) {
    log(QStringLiteral("has one\n"));
    log(QStringLiteral("has none"));
    const QString longText = QString(5000, QChar(0x00E9)) + QStringLiteral("end");
    log(longText);
    const QList<QByteArray> lines = output().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith("] has one"));
    EXPECT_TRUE(lines[1].endsWith("] has none"));
    EXPECT_TRUE(lines[2].endsWith("] " + longText.toUtf8())) << "10,000 bytes of UTF-8 do not fit the stack";
    EXPECT_TRUE(lines[3].isEmpty());
}

TEST_F(BRSTTYLoggerTest, TextThatIsNotValidUnicodeIsNotWritten) {
    log(QStringLiteral("broken ") + QChar(0xD800) + QStringLiteral(" surrogate"));
    log(QStringLiteral("fine"));
    const QByteArray written = output();
    EXPECT_FALSE(written.contains("broken"));
    EXPECT_TRUE(written.contains("] fine\n"));
}

}  // namespace
