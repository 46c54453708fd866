#include "MailSignatureRecord.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BRSAppleMailService3.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

namespace {

const QString kIdA = QStringLiteral("AAAAAAAA-0000-0000-0000-000000000001");
const QString kIdB = QStringLiteral("BBBBBBBB-0000-0000-0000-000000000002");

// Mail's 10.15 folder below the test's home, its list naming A and B with the ids above, and a record in
// a folder of the test's own.
class MailSignatureRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(data.isValid());
        testDefaults().resetForTesting();
        testDefaults().setArgumentDomain(
            {{QStringLiteral("simulatedSystemVersion"), QStringLiteral("10.15")}});
        QDir(testEnvironment().folders.library).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder()));
        write(folder() + QStringLiteral("/AllSignatures.plist"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>"
              "<dict><key>SignatureName</key><string>A</string><key>SignatureUniqueId</key><string>" +
                  kIdA.toUtf8() +
                  "</string></dict>"
                  "<dict><key>SignatureName</key><string>B</string><key>SignatureUniqueId</key><string>" +
                  kIdB.toUtf8() + "</string></dict></array></plist>\n");
    }
    void TearDown() override {
        testDefaults().resetForTesting();
        QDir(testEnvironment().folders.library).removeRecursively();
    }

    static QString folder() {
        return testEnvironment().folders.library + QStringLiteral("/Mail/V7/MailData/Signatures");
    }
    static QString fileOf(const QString& id) { return folder() + QLatin1Char('/') + id + ".mailsignature"; }
    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString recordPath() const { return MailSignatureRecord::pathIn(data.path() + QStringLiteral("/data")); }
    MailSignatureRecord record() const { return MailSignatureRecord(recordPath()); }

    // How each signature of an update went.
    QList<bool> install(const QList<BRSSignature>& signatures) {
        BRSAppleMailService3 mail(false, testEnvironment().folders.library, testDefaults(), recordPath());
        QList<bool> outcomes;
        mail.install(signatures, false,
                     {.willInstall = {}, .installed = [&outcomes](qsizetype, const Result<void>& outcome) {
                          outcomes.append(outcome.ok());
                          return BRSMailAppService::Next::Continue;
                      }});
        return outcomes;
    }
    QList<bool> installBoth() {
        return install({BRSSignature(QStringLiteral("A"), QStringLiteral("<p>a</p>"), QString()),
                        BRSSignature(QStringLiteral("B"), QStringLiteral("<p>b</p>"), QString())});
    }

    QTemporaryDir data;
};

TEST_F(MailSignatureRecordTest, ARewrittenBodyOrAMissingFileDriftsAndAHeaderOnlyChangeDoesNot) {
    ASSERT_EQ(installBoth(), QList<bool>({true, true}));
    EXPECT_EQ(record().drifted(), QStringList());

    // Mail writes its own headers back as it likes; only the HTML is ours.
    QByteArray b = read(fileOf(kIdB));
    b.replace("7bit", "quoted-printable").replace("@lan>", "@mail.example>");
    write(fileOf(kIdB), b);
    EXPECT_EQ(record().drifted(), QStringList());

    QByteArray a = read(fileOf(kIdA));
    a.replace("<p>a</p>", "<p>A</p>");
    write(fileOf(kIdA), a);
    EXPECT_EQ(record().drifted(), QStringList{QStringLiteral("A")});

    ASSERT_TRUE(QFile::remove(fileOf(kIdB)));
    EXPECT_EQ(record().drifted(), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(read(fileOf(kIdA)), a) << "a check never writes Mail's files";
}

TEST_F(MailSignatureRecordTest, AFileWhoseStampHoldsIsNotRead) {
    ASSERT_EQ(installBoth(), QList<bool>({true, true}));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(fileOf(kIdA)).constData(), &before), 0);
    // The same size in place, with the old time put back: only reading the file could tell.
    QFile file(fileOf(kIdA));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray content = file.readAll();
    ASSERT_TRUE(file.seek(content.indexOf("<p>a</p>")));
    file.write("<p>X</p>");
    file.close();
#ifdef __APPLE__
    const timespec times[2] = {before.st_atimespec, before.st_mtimespec};
#else
    const timespec times[2] = {before.st_atim, before.st_mtim};
#endif
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(fileOf(kIdA)).constData(), times, 0), 0);
    EXPECT_EQ(record().drifted(), QStringList());

    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(fileOf(kIdA)).constData(), nullptr, 0), 0);
    EXPECT_EQ(record().drifted(), QStringList{QStringLiteral("A")}) << "a moved time has the file read";
}

TEST_F(MailSignatureRecordTest, OnlyWhatMailTookIsRecordedAndAnUpdateThatWroteNothingLeavesTheRecord) {
    // B's file cannot be replaced: a folder stands where it belongs.
    ASSERT_TRUE(QDir().mkpath(fileOf(kIdB)));
    ASSERT_EQ(installBoth(), QList<bool>({true, false}));
    Result<QList<MailSignatureRecord::Entry>> recorded = record().entries();
    ASSERT_TRUE(recorded);
    ASSERT_EQ(recorded.value().size(), 1);
    EXPECT_EQ(recorded.value().front().name, QStringLiteral("A"));
    EXPECT_EQ(recorded.value().front().path, fileOf(kIdA));

    const QByteArray kept = read(recordPath());
    ASSERT_TRUE(QFile::remove(folder() + QStringLiteral("/AllSignatures.plist")));
    ASSERT_EQ(installBoth(), QList<bool>({false, false}));
    EXPECT_EQ(read(recordPath()), kept);

    write(recordPath(), "not json");
    EXPECT_EQ(record().drifted(), QStringList()) << "an unreadable record compares nothing";
}

}  // namespace
