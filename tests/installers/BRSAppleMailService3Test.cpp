#include "BRSAppleMailService3.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/fs.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#endif

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QVariant>
#include <QXmlStreamReader>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "FakeOsascript.h"
#include "FileSizeLimit.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

namespace {

// Mail's files below the test's home.
BRSAppleMailService3 mailService(bool isUsingICloudDrive) {
    return BRSAppleMailService3(isUsingICloudDrive, testEnvironment().folders.library, testDefaults());
}

std::optional<QString> folderOf(const BRSAppleMailService3& mail) {
    const Result<QString> folder = mail.getFolderUrlForSignatures();
    return folder ? std::optional(folder.value()) : std::nullopt;
}

// Every outcome an update reported, in order; the update goes on after each.
QList<Result<void>> outcomesOf(const std::function<void(const BRSMailAppService::Observer&)>& update) {
    QList<Result<void>> outcomes;
    update({.willInstall = {}, .installed = [&outcomes](qsizetype, const Result<void>& outcome) {
                outcomes.append(outcome);
                return BRSMailAppService::Next::Continue;
            }});
    return outcomes;
}

// How often `name` was renamed into `folder` while `work` ran; -1 where that cannot be watched.
int renamesInto(const QString& folder, const QString& name, const std::function<void()>& work) {
#ifdef __linux__
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0 || ::inotify_add_watch(fd, QFile::encodeName(folder).constData(), IN_MOVED_TO) < 0) {
        work();
        return -1;
    }
    work();
    const QByteArray wanted = QFile::encodeName(name);
    int count = 0;
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t length = 0; (length = ::read(fd, buffer, sizeof buffer)) > 0;) {
        for (qsizetype at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            count += event->len > 0 && wanted == event->name ? 1 : 0;
            at += qsizetype(sizeof(inotify_event)) + event->len;
        }
    }
    ::close(fd);
    return count;
#else
    Q_UNUSED(folder);
    Q_UNUSED(name);
    work();
    return -1;
#endif
}

// An update of one signature: false on failure, with the error set.
bool succeeded(const QList<Result<void>>& outcomes, Error* error) {
    if (outcomes.size() != 1) {
        ADD_FAILURE() << outcomes.size() << " outcomes for one signature";
        return false;
    }
    if (!outcomes.front() && error) {
        *error = outcomes.front().error();
    }
    return outcomes.front().ok();
}

bool setSignatureWithName(BRSAppleMailService3& mail, const QString& name, const QString& html,
                          const QString& text, Error* error = nullptr, bool clean = false) {
    return succeeded(outcomesOf([&](const BRSMailAppService::Observer& observer) {
                         mail.install({BRSSignature(name, html, text)}, clean, observer);
                     }),
                     error);
}

bool setSignatureWithName(BRSAppleMailService3&& mail, const QString& name, const QString& html,
                          const QString& text, Error* error = nullptr) {
    return setSignatureWithName(mail, name, html, text, error);
}

bool setSignature(BRSAppleMailService3& mail, const QString& name, const QString& content,
                  const QString& folder, const QString& filePrefix, Error* error = nullptr,
                  bool clean = false) {
    return succeeded(outcomesOf([&](const BRSMailAppService::Observer& observer) {
                         mail.setSignatures({BRSSignature(name, content, QString())}, clean, folder,
                                            filePrefix, observer);
                     }),
                     error);
}

bool setSignature(BRSAppleMailService3&& mail, const QString& name, const QString& content,
                  const QString& folder, const QString& filePrefix, Error* error = nullptr) {
    return setSignature(mail, name, content, folder, filePrefix, error);
}

const QString kUnsupported =
    QStringLiteral("Apple Mail is supported on El Capitan up to and including Catalina.");
const QRegularExpression kUpperUuid(
    QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QVariant toVariant(plist_t node) {
    char* text = nullptr;
    switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            plist_get_string_val(node, &text);
            QString value = QString::fromUtf8(text);
            std::free(text);
            return value;
        }
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return value != 0;
        }
        case PLIST_UINT: {
            uint64_t value = 0;
            plist_get_uint_val(node, &value);
            return static_cast<qint64>(value);
        }
        case PLIST_ARRAY: {
            QVariantList list;
            for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
                list.append(toVariant(plist_array_get_item(node, i)));
            }
            return list;
        }
        case PLIST_DICT: {
            QVariantMap map;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            for (;;) {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, it, &key, &value);
                if (!key) {
                    break;
                }
                map.insert(QString::fromUtf8(key), toVariant(value));
                std::free(key);
            }
            std::free(it);
            return map;
        }
        default:
            return QStringLiteral("<other>");
    }
}

// The list as the test sees it; invalid when the file is not a property list.
QVariant readList(const QString& path) {
    const QByteArray bytes = readFile(path);
    plist_t root = nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    if (plist_is_binary(bytes.constData(), length)) {
        plist_from_bin(bytes.constData(), length, &root);
    } else {
        plist_from_xml(bytes.constData(), length, &root);
    }
    if (!root) {
        return {};
    }
    QVariant value = toVariant(root);
    plist_free(root);
    return value;
}

QVariantMap entry(const QString& name, const QString& id) {
    return {{QStringLiteral("SignatureName"), name}, {QStringLiteral("SignatureUniqueId"), id}};
}

QVariantMap addedEntry(const QString& name, const QString& id) {
    QVariantMap map = entry(name, id);
    map.insert(QStringLiteral("SignatureIsRich"), QStringLiteral("true"));
    return map;
}

// A list written the way Mail does, in XML or binary form; string, integer and boolean values only.
QByteArray listBytes(const QVariantList& elements, bool binary = false) {
    plist_t root = plist_new_array();
    for (const QVariant& element : elements) {
        if (element.typeId() != QMetaType::QVariantMap) {
            plist_array_append_item(root, plist_new_string(element.toString().toUtf8().constData()));
            continue;
        }
        plist_t dict = plist_new_dict();
        const QVariantMap map = element.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            plist_t value = it->typeId() == QMetaType::Bool ? plist_new_bool(it->toBool())
                            : it->typeId() == QMetaType::Int
                                ? plist_new_uint(static_cast<uint64_t>(it->toInt()))
                                : plist_new_string(it->toString().toUtf8().constData());
            plist_dict_set_item(dict, it.key().toUtf8().constData(), value);
        }
        plist_array_append_item(root, dict);
    }
    char* out = nullptr;
    uint32_t length = 0;
    binary ? plist_to_bin(root, &out, &length) : plist_to_xml(root, &out, &length);
    QByteArray bytes(out, static_cast<qsizetype>(length));
    std::free(out);
    plist_free(root);
    return bytes;
}

class BRSAppleMailService3Test : public ::testing::Test {
protected:
    void SetUp() override {
        testDefaults().resetForTesting();
        QDir(testEnvironment().folders.library).removeRecursively();
        setVersion(QStringLiteral("10.15"));
        fake.setMailRunning(true);
    }
    void TearDown() override {
        testDefaults().resetForTesting();
        QDir(testEnvironment().folders.library).removeRecursively();
    }

    static void setVersion(const QString& version) {
        testDefaults().setArgumentDomain({{QStringLiteral("simulatedSystemVersion"), version}});
    }
    static QString folder(const QString& relative) {
        return testEnvironment().folders.library + QLatin1Char('/') + relative;
    }
    static QString v7() { return folder(QStringLiteral("Mail/V7/MailData/Signatures")); }

    FakeOsascript fake;
};

TEST_F(BRSAppleMailService3Test, ChoosesTheFolderBySystemVersionAndICloudDrive) {
    const QString icloud4 = QStringLiteral("Mobile Documents/com~apple~mail/Data/V4/Signatures");
    const struct {
        const char* version;
        const char* local;
        QString icloud;
    } table[] = {
        {"10.11", "Mail/V3/MailData/Signatures",
         QStringLiteral("Mobile Documents/com~apple~mail/Data/V3/MailData/Signatures")},
        {"10.12", "Mail/V4/MailData/Signatures", icloud4},
        {"10.13.6", "Mail/V5/MailData/Signatures", icloud4},
        {"10.14", "Mail/V6/MailData/Signatures", icloud4},
        {"10.15.7", "Mail/V7/MailData/Signatures", icloud4},
    };
    for (const auto& row : table) {
        setVersion(QString::fromLatin1(row.version));
        EXPECT_EQ(folderOf(mailService(false)), folder(QString::fromLatin1(row.local))) << row.version;
        EXPECT_EQ(folderOf(mailService(true)), folder(row.icloud)) << row.version;
    }
    EXPECT_TRUE(QFileInfo(testEnvironment().folders.library).isDir())
        << "the Library folder is made when missing";
}

TEST_F(BRSAppleMailService3Test, RefusesUnsupportedVersionsAndNeverTellsMailToQuit) {
    writeFile(v7() + QStringLiteral("/AllSignatures.plist"), listBytes({}));
    const QByteArray before = readFile(v7() + QStringLiteral("/AllSignatures.plist"));
    for (const char* version : {"10.10", "10.16", "9.15", "ten", ""}) {
        setVersion(QString::fromLatin1(version));
        fake.setMailRunning(true);
        BRSAppleMailService3 mail = mailService(false);
        Error error;
        EXPECT_FALSE(
            setSignatureWithName(mail, QStringLiteral("A"), QStringLiteral("<p/>"), QString(), &error));
        EXPECT_EQ(error.domain, ErrorDomains::kOrlin) << version;
        EXPECT_EQ(error.localizedDescription, kUnsupported) << version;
        EXPECT_TRUE(fake.mailRunning()) << version << ": quitting Mail is the update cycle's job";
    }
    testDefaults().resetForTesting();
    EXPECT_EQ(folderOf(mailService(false)), std::nullopt) << "no version at all";
    EXPECT_EQ(readFile(v7() + QStringLiteral("/AllSignatures.plist")), before);
    EXPECT_EQ(QDir(v7()).entryList(QDir::Files).size(), 1);
}

TEST_F(BRSAppleMailService3Test, ElCapitanWithICloudDriveUsesThePrefixForBothFiles) {
    setVersion(QStringLiteral("10.11"));
    const QString icloud =
        folder(QStringLiteral("Mobile Documents/com~apple~mail/Data/V3/MailData/Signatures"));
    writeFile(icloud + QStringLiteral("/ubiquitous_AllSignatures.plist"), listBytes({}));
    writeFile(icloud + QStringLiteral("/AllSignatures.plist"), listBytes({}));
    const QByteArray plain = readFile(icloud + QStringLiteral("/AllSignatures.plist"));

    BRSAppleMailService3 mail = mailService(true);
    Error error;
    ASSERT_TRUE(
        setSignatureWithName(mail, QStringLiteral("A"), QStringLiteral("<p>a</p>"), QString(), &error))
        << error.localizedDescription.toStdString();
    const QVariantList list = readList(icloud + QStringLiteral("/ubiquitous_AllSignatures.plist")).toList();
    ASSERT_EQ(list.size(), 1);
    const QString id = list[0].toMap().value(QStringLiteral("SignatureUniqueId")).toString();
    EXPECT_TRUE(
        QFile::exists(icloud + QStringLiteral("/ubiquitous_") + id + QStringLiteral(".mailsignature")));
    EXPECT_EQ(readFile(icloud + QStringLiteral("/AllSignatures.plist")), plain);

    // Without iCloud Drive, El Capitan keeps the unprefixed files in the local V3 folder.
    const QString local = folder(QStringLiteral("Mail/V3/MailData/Signatures"));
    writeFile(local + QStringLiteral("/AllSignatures.plist"), listBytes({}));
    writeFile(local + QStringLiteral("/ubiquitous_AllSignatures.plist"), listBytes({}));
    const QByteArray prefixedBefore = readFile(local + QStringLiteral("/ubiquitous_AllSignatures.plist"));
    ASSERT_TRUE(setSignatureWithName(mailService(false), QStringLiteral("A"), QStringLiteral("<p/>"),
                                     QString(), &error))
        << error.localizedDescription.toStdString();
    const QVariantList localList = readList(local + QStringLiteral("/AllSignatures.plist")).toList();
    ASSERT_EQ(localList.size(), 1);
    const QString localId = localList[0].toMap().value(QStringLiteral("SignatureUniqueId")).toString();
    EXPECT_TRUE(QFile::exists(local + QLatin1Char('/') + localId + QStringLiteral(".mailsignature")));
    EXPECT_EQ(readFile(local + QStringLiteral("/ubiquitous_AllSignatures.plist")), prefixedBefore);

    // Later versions keep the iCloud copies without a prefix.
    setVersion(QStringLiteral("10.12"));
    const QString v4 = folder(QStringLiteral("Mobile Documents/com~apple~mail/Data/V4/Signatures"));
    writeFile(v4 + QStringLiteral("/AllSignatures.plist"), listBytes({}));
    ASSERT_TRUE(setSignatureWithName(mail, QStringLiteral("A"), QStringLiteral("<p>a</p>"), QString()));
    EXPECT_EQ(readList(v4 + QStringLiteral("/AllSignatures.plist")).toList().size(), 1);
}

TEST_F(BRSAppleMailService3Test, ANewNameGetsAnEntryAndAFileThatRoundTrips) {
    writeFile(
        v7() + QStringLiteral("/AllSignatures.plist"),
        listBytes({entry(QStringLiteral("Sales"), QStringLiteral("11111111-2222-3333-4444-555555555555"))}));
    BRSAppleMailService3 mail = mailService(false);
    EXPECT_EQ(mail.appName(), QStringLiteral("Apple Mail"));
    // Names differing only in case are different Mail signatures.
    const QString name = QStringLiteral("sales & <co> \"ü\"");
    const QString html = QStringLiteral("<p class=\"x\">%1 ünïcode\n\n&amp; more</p>");
    Error error;
    ASSERT_TRUE(setSignatureWithName(mail, name, html, QStringLiteral("text"), &error))
        << error.localizedDescription.toStdString();
    ASSERT_TRUE(setSignatureWithName(mail, name, html, QStringLiteral("text"), &error));

    const QVariantList list = readList(v7() + QStringLiteral("/AllSignatures.plist")).toList();
    ASSERT_EQ(list.size(), 2);
    const QString id = list[1].toMap().value(QStringLiteral("SignatureUniqueId")).toString();
    EXPECT_TRUE(kUpperUuid.match(id).hasMatch()) << id.toStdString();
    EXPECT_EQ(list[1].toMap(), addedEntry(name, id)) << "exactly three keys, SignatureIsRich as text";

    const QString content =
        QString::fromUtf8(readFile(v7() + QLatin1Char('/') + id + QStringLiteral(".mailsignature")));
    const qsizetype split = content.indexOf(QStringLiteral("\n\n"));
    ASSERT_GT(split, 0);
    const QStringList headers = content.left(split).split(QLatin1Char('\n'));
    ASSERT_EQ(headers.size(), 5);
    EXPECT_EQ(headers[0], QStringLiteral("Content-Transfer-Encoding: 7bit"));
    EXPECT_EQ(headers[1], QStringLiteral("Content-Type: text/html;"));
    EXPECT_EQ(headers[2], QStringLiteral("charset=us-ascii"));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^Message-Id: <[0-9A-F-]{36}@lan>$")).match(headers[3]).hasMatch());
    EXPECT_EQ(headers[4], QStringLiteral("Mime-Version: 1.0 (Mac OS X Mail 7.2 \\(1874\\))"));
    EXPECT_EQ(content.mid(split + 2), html + QLatin1Char('\n'));
}

TEST_F(BRSAppleMailService3Test, TheMessageIdChangesOnEveryWrite) {
    writeFile(v7() + QStringLiteral("/AllSignatures.plist"), listBytes({}));
    BRSAppleMailService3 mail = mailService(false);
    ASSERT_TRUE(setSignatureWithName(mail, QStringLiteral("A"), QStringLiteral("<p/>"), QString()));
    const QString id = readList(v7() + QStringLiteral("/AllSignatures.plist"))
                           .toList()[0]
                           .toMap()
                           .value(QStringLiteral("SignatureUniqueId"))
                           .toString();
    const QString path = v7() + QLatin1Char('/') + id + QStringLiteral(".mailsignature");
    const QByteArray first = readFile(path);
    ASSERT_TRUE(setSignatureWithName(mail, QStringLiteral("A"), QStringLiteral("<p/>"), QString()));
    EXPECT_NE(readFile(path), first);
    EXPECT_EQ(readList(v7() + QStringLiteral("/AllSignatures.plist")).toList().size(), 1);
}

TEST_F(BRSAppleMailService3Test, AnExistingEntryKeepsItsIdAndIsLeftAsItWas) {
    const QVariantMap existing{
        {QStringLiteral("SignatureName"), QStringLiteral("Sales")},
        {QStringLiteral("SignatureUniqueId"), QStringLiteral("abcdef01-2345-6789-abcd-ef0123456789")},
        {QStringLiteral("SignatureIsRich"), true},
        {QStringLiteral("MailPrivateKey"), 42}};
    const QVariantList elements{
        QStringLiteral("not a dictionary"),
        entry(QStringLiteral("Sales"), QStringLiteral("not-a-uuid")),
        QVariantMap{{QStringLiteral("SignatureName"), QStringLiteral("Sales")}},
        existing,
        entry(QStringLiteral("Sales"), QStringLiteral("99999999-9999-9999-9999-999999999999")),
    };
    // Binary input comes back as XML, with everything else in it unchanged.
    writeFile(v7() + QStringLiteral("/AllSignatures.plist"), listBytes(elements, true));
    const QVariant before = readList(v7() + QStringLiteral("/AllSignatures.plist"));

    BRSAppleMailService3 mail = mailService(false);
    Error error;
    ASSERT_TRUE(
        setSignatureWithName(mail, QStringLiteral("Sales"), QStringLiteral("<p>new</p>"), QString(), &error))
        << error.localizedDescription.toStdString();
    const QByteArray written = readFile(v7() + QStringLiteral("/AllSignatures.plist"));
    EXPECT_TRUE(written.startsWith("<?xml")) << written.left(20).toStdString();
    EXPECT_EQ(readList(v7() + QStringLiteral("/AllSignatures.plist")), before);
    EXPECT_EQ(
        readFile(v7() + QStringLiteral("/ABCDEF01-2345-6789-ABCD-EF0123456789.mailsignature")).right(11),
        QByteArray("<p>new</p>\n"));
    EXPECT_EQ(QDir(v7()).entryList({QStringLiteral("*.mailsignature")}, QDir::Files).size(), 1);
}

TEST_F(BRSAppleMailService3Test, AnUpdateReplacesTheListOnceAndACleanOneKeepsOnlyItsSignatures) {
    const QString list = v7() + QStringLiteral("/AllSignatures.plist");
    const QString idA = QStringLiteral("AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA");
    writeFile(list,
              listBytes({entry(QStringLiteral("X"), QStringLiteral("12345678-1234-1234-1234-123456789012")),
                         entry(QStringLiteral("A"), idA)}));
    QList<BRSSignature> six{BRSSignature(QStringLiteral("A"), QStringLiteral("<p>a</p>"), QString()),
                            BRSSignature(QStringLiteral("B"), QStringLiteral("<p>b</p>"), QString())};
    for (int i = 3; i <= 6; ++i) {
        six.append(BRSSignature(QStringLiteral("S%1").arg(i), QStringLiteral("<p/>"), QString()));
    }
    BRSAppleMailService3 mail = mailService(false);

    // While the list is missing, every signature fails with why, until the observer has heard enough.
    QFile::rename(list, list + QStringLiteral(".away"));
    const QList<Result<void>> missing =
        outcomesOf([&](const BRSMailAppService::Observer& observer) { mail.install(six, true, observer); });
    ASSERT_EQ(missing.size(), 6);
    for (const Result<void>& outcome : missing) {
        EXPECT_EQ(outcome.error().localizedDescription,
                  QStringLiteral(
                      "Apple Mail's signature list was not found. Open Apple Mail once, then try again."));
    }
    int reported = 0;
    mail.install(six, true, {.willInstall = {}, .installed = [&reported](qsizetype, const Result<void>&) {
                                 ++reported;
                                 return BRSMailAppService::Next::StopClient;
                             }});
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(QDir(v7()).entryList(QDir::Files), QStringList{QStringLiteral("AllSignatures.plist.away")});
    QFile::rename(list + QStringLiteral(".away"), list);

    QList<Result<void>> outcomes;
    const int listReplacements = renamesInto(v7(), QStringLiteral("AllSignatures.plist"), [&] {
        outcomes = outcomesOf(
            [&](const BRSMailAppService::Observer& observer) { mail.install(six, true, observer); });
    });
    ASSERT_EQ(outcomes.size(), 6);
    for (const Result<void>& outcome : outcomes) {
        EXPECT_TRUE(outcome.ok()) << outcome.error().localizedDescription.toStdString();
    }
#ifdef __linux__
    EXPECT_EQ(listReplacements, 1);
#endif
    const QVariantList entries = readList(list).toList();
    ASSERT_EQ(entries.size(), 6);
    EXPECT_EQ(entries[0].toMap().value(QStringLiteral("SignatureName")), QStringLiteral("A"));
    EXPECT_EQ(entries[1].toMap().value(QStringLiteral("SignatureName")), QStringLiteral("B"));
    EXPECT_NE(entries[0].toMap().value(QStringLiteral("SignatureUniqueId")), idA)
        << "a fresh id after emptying";
    EXPECT_EQ(QDir(v7()).entryList({QStringLiteral("*.mailsignature")}, QDir::Files).size(), 6);
    EXPECT_FALSE(QFile::exists(list + QStringLiteral(".lock"))) << "the lock goes with the update";
}

TEST_F(BRSAppleMailService3Test, AListThatIsNotAnArrayOrNotAPropertyListIsLeftUntouched) {
    const QString list = v7() + QStringLiteral("/AllSignatures.plist");
    const QByteArray dictionary =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n"
        "<dict><key>SignatureName</key><string>A</string></dict>\n</plist>\n";
    for (const QByteArray& bytes :
         {dictionary, QByteArray("not a list"), QByteArray(), QByteArray("bplist00\x01", 9)}) {
        writeFile(list, bytes);
        BRSAppleMailService3 mail = mailService(false);
        Error error;
        EXPECT_FALSE(
            setSignatureWithName(mail, QStringLiteral("A"), QStringLiteral("<p/>"), QString(), &error, true));
        EXPECT_FALSE(error.localizedDescription.isEmpty());
        EXPECT_NE(error.domain, ErrorDomains::kOutlook) << "the quit's success leaves no error";
        EXPECT_EQ(readFile(list), bytes);
        EXPECT_TRUE(QDir(v7()).entryList({QStringLiteral("*.mailsignature")}, QDir::Files).isEmpty());
    }
}

TEST_F(BRSAppleMailService3Test, ElevenAndLaterUseTheNewestLocalFolderOrTheICloudFolder) {
    const auto makeSignatures = [](const QString& version) {
        ASSERT_TRUE(QDir().mkpath(folder(QStringLiteral("Mail/%1/MailData/Signatures").arg(version))));
    };
    for (const char* version : {"V7", "V8", "V9", "V10"}) {
        makeSignatures(QString::fromLatin1(version));
    }
    // Neither a folder without signatures nor a name that is not a version counts.
    ASSERT_TRUE(QDir().mkpath(folder(QStringLiteral("Mail/V12/MailData"))));
    makeSignatures(QStringLiteral("V99999999999999999999"));
    makeSignatures(QStringLiteral("V1x"));
    setVersion(QStringLiteral("14.5"));
    EXPECT_EQ(folderOf(mailService(false)), folder(QStringLiteral("Mail/V10/MailData/Signatures")));
    makeSignatures(QStringLiteral("V11"));
    setVersion(QStringLiteral("26.1"));
    EXPECT_EQ(folderOf(mailService(false)), folder(QStringLiteral("Mail/V11/MailData/Signatures")));
    setVersion(QStringLiteral("15.3"));
    EXPECT_EQ(folderOf(mailService(true)),
              folder(QStringLiteral("Mobile Documents/com~apple~mail/Data/V4/Signatures")));

    // The whole install on 11.2 with only V8, and iCloud Drive without a prefix.
    QDir(testEnvironment().folders.library).removeRecursively();
    setVersion(QStringLiteral("11.2"));
    const QString v8 = folder(QStringLiteral("Mail/V8/MailData/Signatures"));
    writeFile(v8 + QStringLiteral("/AllSignatures.plist"), listBytes({}));
    Error error;
    ASSERT_TRUE(setSignatureWithName(mailService(false), QStringLiteral("A"), QStringLiteral("<p/>"),
                                     QString(), &error))
        << error.localizedDescription.toStdString();
    EXPECT_EQ(QDir(v8).entryList({QStringLiteral("*.mailsignature")}, QDir::Files).size(), 1);
    const QString icloud = folder(QStringLiteral("Mobile Documents/com~apple~mail/Data/V4/Signatures"));
    writeFile(icloud + QStringLiteral("/AllSignatures.plist"), listBytes({}));
    ASSERT_TRUE(setSignatureWithName(mailService(true), QStringLiteral("A"), QStringLiteral("<p/>"),
                                     QString(), &error));
    EXPECT_EQ(readList(icloud + QStringLiteral("/AllSignatures.plist")).toList().size(), 1);
}

TEST_F(BRSAppleMailService3Test, ElevenAndLaterWithoutAMailFolderFailAndWriteNothing) {
    writeFile(v7() + QStringLiteral("/AllSignatures.plist"), listBytes({}));
    for (const char* version : {"11.0", "15.3"}) {
        setVersion(QString::fromLatin1(version));
        Error error;
        EXPECT_FALSE(setSignatureWithName(mailService(false), QStringLiteral("A"), QStringLiteral("<p/>"),
                                          QString(), &error));
        EXPECT_EQ(
            error.localizedDescription,
            QStringLiteral("Apple Mail's signature folder was not found. Open Apple Mail once, then try "
                           "again."))
            << version;
    }
    EXPECT_EQ(QDir(v7()).entryList(QDir::Files), QStringList{QStringLiteral("AllSignatures.plist")});
}

TEST_F(BRSAppleMailService3Test, NamesSettleToOneEntryEachStayApartAndReadBackAsGiven) {
    const QString list = v7() + QStringLiteral("/AllSignatures.plist");
    // Mail's own entry may hold a character XML forbids when it arrives in binary form.
    QVariantMap foreign =
        entry(QStringLiteral("Mine"), QStringLiteral("11111111-2222-3333-4444-555555555555"));
    foreign.insert(QStringLiteral("Note\u0001"), QStringLiteral("bell\u0007"));
    writeFile(list, listBytes({foreign}, true));
    const QString names[] = {QStringLiteral("nul") + QChar(u'\0') + QStringLiteral("cut"),
                             QStringLiteral("lone") + QChar(0xD800) + QStringLiteral("x"),
                             QStringLiteral("lone") + QChar(0xD801) + QStringLiteral("x"),
                             QStringLiteral("bell\u0007") + QChar(0xFFFF),
                             QStringLiteral("A\rB"),
                             QStringLiteral("C\r\nD\tE\nF")};
    BRSAppleMailService3 mail = mailService(false);
    for (int round = 0; round < 3; ++round) {
        for (const QString& name : names) {
            Error error;
            ASSERT_TRUE(setSignatureWithName(mail, name, QStringLiteral("<p/>"), QString(), &error))
                << error.localizedDescription.toStdString();
        }
    }
    // Read as any XML reader reads it, which folds a raw return into a line feed.
    const QByteArray xml = readFile(list);
    QStringList strings;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("string")) {
            strings.append(reader.readElementText());
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_TRUE(strings.contains(QStringLiteral("A\rB")));
    EXPECT_TRUE(strings.contains(QStringLiteral("C\r\nD\tE\nF")));

    const QVariantList entries = readList(list).toList();
    ASSERT_EQ(entries.size(), 7);
    const QString expected[] = {QStringLiteral("nul\uFFFD0000cut"),
                                QStringLiteral("lone\uFFFDD800x"),
                                QStringLiteral("lone\uFFFDD801x"),
                                QStringLiteral("bell\uFFFD0007\uFFFDFFFF"),
                                QStringLiteral("A\rB"),
                                QStringLiteral("C\r\nD\tE\nF")};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(entries[i + 1].toMap().value(QStringLiteral("SignatureName")), expected[i]) << i;
    }
    EXPECT_EQ(entries[0].toMap().value(QStringLiteral("Note\uFFFD0001")), QStringLiteral("bell\uFFFD0007"));
    EXPECT_EQ(QDir(v7()).entryList({QStringLiteral("*.mailsignature")}, QDir::Files).size(), 6);
}

TEST_F(BRSAppleMailService3Test, AHostilelyDeepListFailsWithoutACrashAndIsLeftUntouched) {
    const QString list = v7() + QStringLiteral("/AllSignatures.plist");
    const QByteArray deep = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" +
                            QByteArray("<array>").repeated(50000) + QByteArray("</array>").repeated(50000) +
                            "</plist>\n";
    writeFile(list, deep);
    Error error;
    EXPECT_FALSE(setSignatureWithName(mailService(false), QStringLiteral("A"), QStringLiteral("<p/>"),
                                      QString(), &error));
    EXPECT_EQ(error.localizedDescription,
              QStringLiteral("The data couldn’t be read because it isn’t in the correct format."));
    EXPECT_EQ(readFile(list), deep);
    EXPECT_EQ(QDir(v7()).entryList(QDir::Files), QStringList{QStringLiteral("AllSignatures.plist")});
}

// A binary list may share one object between many places; written out as XML each place gets a copy.
TEST_F(BRSAppleMailService3Test, AListThatWouldBeWrittenFarLargerThanReadIsLeftUntouched) {
    const QString list = v7() + QStringLiteral("/AllSignatures.plist");
    const auto big32 = [](quint32 v) {
        const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(bytes, 4);
    };
    // An array of 1000 references to one 8 KiB string: 8 MB as XML, about 12 KB as read.
    QByteArray bytes = QByteArray("bplist00\xAF\x11\x03\xE8", 12) + QByteArray("\0\1", 2).repeated(1000);
    const quint32 stringAt = quint32(bytes.size());
    bytes += QByteArray("\x5F\x11\x20\x00", 4) + QByteArray(8192, 'x');
    const quint32 tableAt = quint32(bytes.size());
    bytes += big32(8) + big32(stringAt) + QByteArray(6, '\0') + char(4) + char(2) + QByteArray(4, '\0') +
             big32(2) + QByteArray(12, '\0') + big32(tableAt);
    writeFile(list, bytes);
    Error error;
    EXPECT_FALSE(setSignatureWithName(mailService(false), QStringLiteral("A"), QStringLiteral("<p/>"),
                                      QString(), &error));
    EXPECT_FALSE(error.localizedDescription.isEmpty());
    EXPECT_EQ(readFile(list), bytes);
    EXPECT_EQ(QDir(v7()).entryList(QDir::Files), QStringList{QStringLiteral("AllSignatures.plist")});
}

// Drops to an unprivileged user while it lives, so that file permissions apply even when the tests run as
// root; does nothing for a user who is not root already.
class UnprivilegedScope final {
public:
    UnprivilegedScope() : wasRoot_(geteuid() == 0) {
        if (wasRoot_) {
            ok_ = seteuid(65534) == 0;
        }
    }
    ~UnprivilegedScope() {
        if (wasRoot_ && ok_) {
            (void)seteuid(0);
        }
    }
    [[nodiscard]] bool ok() const { return !wasRoot_ || ok_; }

private:
    bool wasRoot_;
    bool ok_ = false;
};

TEST(BRSAppleMailService3WriteTest, AListThatCannotBeWrittenStopsBeforeTheSignatureFile) {
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/mail-readonly-XXXXXX"));
    ASSERT_TRUE(root.isValid());
    const QString folder = root.filePath(QStringLiteral("Signatures"));
    const QString list = folder + QStringLiteral("/AllSignatures.plist");
    writeFile(list, listBytes({}));
    const QByteArray before = readFile(list);
    const auto readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ExeOwner |
                          QFile::ExeGroup | QFile::ExeOther;
    QFile::setPermissions(root.path(), readable | QFile::WriteOwner);
    QFile::setPermissions(list, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::WriteOwner);
    QFile::setPermissions(folder, readable);

    BRSAppleMailService3 mail = mailService(false);
    Error error;
    bool installed = true;
    {
        UnprivilegedScope scope;
        ASSERT_TRUE(scope.ok());
        installed =
            setSignature(mail, QStringLiteral("A"), QStringLiteral("<p/>"), folder, QString(), &error);
    }
    QFile::setPermissions(folder, readable | QFile::WriteOwner);
    EXPECT_FALSE(installed);
    EXPECT_EQ(error.domain, ErrorDomains::kPosix);
    EXPECT_EQ(error.code, EACCES);
    EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("AllSignatures.plist")))
        << error.localizedDescription.toStdString();
    EXPECT_EQ(readFile(list), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("AllSignatures.plist")});
}

TEST(BRSAppleMailService3WriteTest, AFailedSignatureWriteLeavesAWholeList) {
    QTemporaryDir root;
    const QString id = QStringLiteral("11111111-2222-3333-4444-555555555555");
    const QString list = root.filePath(QStringLiteral("AllSignatures.plist"));
    writeFile(
        list,
        listBytes({entry(QStringLiteral("Other"), QStringLiteral("22222222-2222-3333-4444-555555555555")),
                   entry(QStringLiteral("A"), id)}));
    // A folder where the signature file belongs cannot be replaced by a file, not even by root.
    writeFile(root.filePath(id + QStringLiteral(".mailsignature/keep")), "x");

    BRSAppleMailService3 mail = mailService(false);
    Error error;
    ASSERT_TRUE(
        setSignature(mail, QStringLiteral("B"), QStringLiteral("<p/>"), root.path(), QString(), &error));
    EXPECT_FALSE(
        setSignature(mail, QStringLiteral("A"), QStringLiteral("<p/>"), root.path(), QString(), &error));
    EXPECT_EQ(error.domain, ErrorDomains::kPosix);
    EXPECT_EQ(error.code, EISDIR);
    const QVariantList entries = readList(list).toList();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[1].toMap(), entry(QStringLiteral("A"), id));
    EXPECT_EQ(QDir(root.path())
                  .entryList({QStringLiteral("AllSignatures.plist*")}, QDir::Files | QDir::Hidden)
                  .size(),
              1)
        << "no temporary file left behind";
}

const QString kOwnId = QStringLiteral("11111111-2222-3333-4444-555555555555");

// A list holding the user's own signature, padded the way years of Mail use make it large.
QByteArray userList() {
    QVariantMap own = entry(QStringLiteral("Mine"), kOwnId);
    own.insert(QStringLiteral("Padding"), QString(40 * 1024, QLatin1Char('p')));
    return listBytes({own});
}

TEST(BRSAppleMailService3WriteTest, AFullDiskBlocksOnlyNewEntriesAndLeavesTheListByteIdentical) {
    QTemporaryDir root;
    const QString list = root.filePath(QStringLiteral("AllSignatures.plist"));
    writeFile(list, userList());
    const QByteArray before = readFile(list);
    const QString ownFile = root.filePath(kOwnId + QStringLiteral(".mailsignature"));

    BRSAppleMailService3 mail = mailService(false);
    Error error;
    bool added = true;
    bool addedAfterEmptying = true;
    bool updated = false;
    {
        const FileSizeLimit limit(16 * 1024);
        added =
            setSignature(mail, QStringLiteral("New"), QStringLiteral("<p/>"), root.path(), QString(), &error);
        updated =
            setSignature(mail, QStringLiteral("Mine"), QStringLiteral("<p>mine</p>"), root.path(), QString());
        addedAfterEmptying = setSignature(mail, QString(20 * 1024, QLatin1Char('n')), QStringLiteral("<p/>"),
                                          root.path(), QString(), nullptr, true);
    }
    EXPECT_FALSE(added);
    EXPECT_EQ(error.domain, ErrorDomains::kPosix);
    EXPECT_EQ(error.code, EFBIG);
    EXPECT_FALSE(addedAfterEmptying);
    EXPECT_TRUE(updated) << "an entry that does not change needs no list write";
    EXPECT_EQ(readFile(list), before);
    EXPECT_TRUE(readFile(ownFile).endsWith("<p>mine</p>\n"));
    EXPECT_EQ(
        QDir(root.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList({kOwnId + QStringLiteral(".mailsignature"), QStringLiteral("AllSignatures.plist")}));
}

// Mounting a small memory file system takes root and Linux's mount().
#ifdef __linux__
TEST(BRSAppleMailService3WriteTest, AFullFileSystemLeavesTheListByteIdentical) {
    QTemporaryDir root;
    const QString mountPoint = root.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    if (::geteuid() != 0 ||
        ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    }
    const QString list = mountPoint + QStringLiteral("/AllSignatures.plist");
    writeFile(list, userList());
    const QByteArray before = readFile(list);
    // Leaves room for the lock and a signature file, not for a second list.
    writeFile(mountPoint + QStringLiteral("/filler"), QByteArray(8 * 1024, 'f'));

    Error error;
    EXPECT_FALSE(setSignature(mailService(false), QStringLiteral("New"), QStringLiteral("<p/>"), mountPoint,
                              QString(), &error));
    EXPECT_EQ(error.code, ENOSPC);
    EXPECT_EQ(readFile(list), before);
    EXPECT_TRUE(QDir(mountPoint).entryList({QStringLiteral("*.mailsignature")}, QDir::Files).isEmpty());
    ::umount(QFile::encodeName(mountPoint).constData());
}
#endif

TEST(BRSAppleMailService3WriteTest, LinksAreReplacedAndReadOnlyFilesKeepTheirMode) {
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Signatures"));
    const QString outsideList = root.filePath(QStringLiteral("outside.plist"));
    const QString outsideSignature = root.filePath(QStringLiteral("outside.txt"));
    writeFile(outsideList, listBytes({entry(QStringLiteral("Mine"), kOwnId)}));
    writeFile(outsideSignature, "keep me");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString list = folder + QStringLiteral("/AllSignatures.plist");
    const QString ownFile = folder + QLatin1Char('/') + kOwnId + QStringLiteral(".mailsignature");
    ASSERT_TRUE(QFile::link(outsideList, list));
    ASSERT_TRUE(QFile::link(outsideSignature, ownFile));
    const QByteArray outsideBefore = readFile(outsideList);

    BRSAppleMailService3 mail = mailService(false);
    Error error;
    ASSERT_TRUE(setSignature(mail, QStringLiteral("Mine"), QStringLiteral("<p/>"), folder, QString(), &error))
        << error.localizedDescription.toStdString();
    ASSERT_TRUE(setSignature(mail, QStringLiteral("B"), QStringLiteral("<p/>"), folder, QString(), &error));
    EXPECT_EQ(readFile(outsideList), outsideBefore);
    EXPECT_EQ(readFile(outsideSignature), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo(list).isSymLink());
    EXPECT_FALSE(QFileInfo(ownFile).isSymLink());
    EXPECT_EQ(readList(list).toList().size(), 2);

    // Read-only files in a folder the user may write to, as an unprivileged user.
    ASSERT_EQ(::chmod(QFile::encodeName(root.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(list).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(ownFile).constData(), 0444), 0);
    bool installed = false;
    {
        UnprivilegedScope scope;
        ASSERT_TRUE(scope.ok());
        installed = setSignature(mail, QStringLiteral("Mine"), QStringLiteral("<p>ro</p>"), folder, QString(),
                                 &error);
        installed = installed && setSignature(mail, QStringLiteral("C"), QStringLiteral("<p/>"), folder,
                                              QString(), &error);
    }
    EXPECT_TRUE(installed) << error.localizedDescription.toStdString();
    EXPECT_EQ(readList(list).toList().size(), 3);
    EXPECT_TRUE(readFile(ownFile).endsWith("<p>ro</p>\n"));
    for (const QString& path : {list, ownFile}) {
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0444u) << path.toStdString();
    }
}

TEST(BRSAppleMailService3WriteTest, AnotherWriterHoldingTheListLockFailsTheInstall) {
    QTemporaryDir root;
    const QString list = root.filePath(QStringLiteral("AllSignatures.plist"));
    writeFile(list, listBytes({}));
    const QByteArray before = readFile(list);
    const QString lockPath = list + QStringLiteral(".lock");

    BRSAppleMailService3 mail = mailService(false);
    mail.setListLockTimeout(std::chrono::milliseconds(200));
    {
        QLockFile other(lockPath);
        ASSERT_TRUE(other.tryLock(0));
        Error error;
        EXPECT_FALSE(
            setSignature(mail, QStringLiteral("A"), QStringLiteral("<p/>"), root.path(), QString(), &error));
        EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("in use")))
            << error.localizedDescription.toStdString();
        EXPECT_EQ(readFile(list), before);
    }

    // A holder that died without letting go does not block for ever.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QLockFile dying(lockPath);
        ::_exit(dying.tryLock(0) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(QFile::exists(lockPath));
    Error error;
    EXPECT_TRUE(
        setSignature(mail, QStringLiteral("A"), QStringLiteral("<p/>"), root.path(), QString(), &error))
        << error.localizedDescription.toStdString();
    EXPECT_FALSE(QFile::exists(lockPath));
}

TEST(BRSAppleMailService3WriteTest, ALeftOverListLockIsTakenOverWhateverItHolds) {
    QTemporaryDir root;
    const QString list = root.filePath(QStringLiteral("AllSignatures.plist"));
    writeFile(list, listBytes({}));
    const QString lockPath = list + QStringLiteral(".lock");
    BRSAppleMailService3 mail = mailService(false);
    mail.setListLockTimeout(std::chrono::milliseconds(200));
    // Cut short by a power cut, garbage, and one that iCloud Drive has just brought from another Mac,
    // naming a process number that is alive here.
    const QByteArray leftOvers[] = {
        QByteArray(), QByteArray("\xff\0garbage", 9),
        QByteArray::number(qint64(::getppid())) + "\norlin-agent\nother-mac.local\n"};
    for (const QByteArray& contents : leftOvers) {
        writeFile(lockPath, contents);
        Error error;
        EXPECT_TRUE(
            setSignature(mail, QStringLiteral("A"), QStringLiteral("<p/>"), root.path(), QString(), &error))
            << contents.toHex().toStdString() << ": " << error.localizedDescription.toStdString();
        EXPECT_FALSE(QFile::exists(lockPath));
    }
}

// Running out of inodes takes root and Linux's mount().
#ifdef __linux__
TEST(BRSAppleMailService3WriteTest, AListLockThatCannotBeMadeReportsItsErrno) {
    QTemporaryDir root;
    const QString mountPoint = root.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    // Room for the folder and the list, and for no other file.
    if (::geteuid() != 0 || ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0,
                                    "size=64k,nr_inodes=2") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    }
    const QString list = mountPoint + QStringLiteral("/AllSignatures.plist");
    writeFile(list, listBytes({}));
    const QByteArray before = readFile(list);
    Error error;
    const bool installed = setSignature(mailService(false), QStringLiteral("A"), QStringLiteral("<p/>"),
                                        mountPoint, QString(), &error);
    const QByteArray after = readFile(list);
    ::umount(QFile::encodeName(mountPoint).constData());
    EXPECT_FALSE(installed);
    EXPECT_EQ(error.domain, ErrorDomains::kPosix);
    EXPECT_EQ(error.code, ENOSPC);
    EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("couldn’t be locked")))
        << error.localizedDescription.toStdString();
    EXPECT_EQ(after, before);
}
#endif

TEST(BRSAppleMailService3WriteTest, AFolderTheSystemRefusesFailsWithEperm) {
    QTemporaryDir root;
    const QString list = root.filePath(QStringLiteral("AllSignatures.plist"));
    writeFile(list, listBytes({}));
    const QByteArray folderPath = QFile::encodeName(root.path());
#ifdef __linux__
    const int fd = ::open(folderPath.constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    const bool immutable = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                           ::ioctl(fd, FS_IOC_SETFLAGS, &(flags |= FS_IMMUTABLE_FL)) == 0;
    if (!immutable) {
        ::close(fd);
        GTEST_SKIP() << "this file system cannot make a folder immutable";
    }
#else
    // The owner may set the user immutable flag on a Mac without root; writes into the folder then fail
    // with EPERM, as they do under chattr +i.
    struct stat status {};
    ASSERT_EQ(::stat(folderPath.constData(), &status), 0);
    if (::chflags(folderPath.constData(), status.st_flags | UF_IMMUTABLE) != 0) {
        GTEST_SKIP() << "this file system cannot make a folder immutable";
    }
#endif
    Error error;
    const bool installed = setSignature(mailService(false), QStringLiteral("A"), QStringLiteral("<p/>"),
                                        root.path(), QString(), &error);
#ifdef __linux__
    flags &= ~FS_IMMUTABLE_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
#else
    ::chflags(folderPath.constData(), status.st_flags);
#endif
    EXPECT_FALSE(installed);
    EXPECT_EQ(error.domain, ErrorDomains::kPosix);
    EXPECT_EQ(error.code, EPERM);
}

}  // namespace
