#include "BRSSignatureService.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "FileSizeLimit.h"
#include "Hashes.h"
#include "ImageReferences.h"
#include "LogCapture.h"
#include "TestEnvironment.h"

namespace {

using Text = std::optional<QString>;

const QUrl kImageHost(QStringLiteral("https://img.example"));

// The cache in the test's home, for the calls that fetch nothing.
BRSSignatureService cache() {
    return BRSSignatureService(BRSSignatureService::Fetch(), kImageHost,
                               testEnvironment().folders.applicationSupport);
}

// What the cache holds for a name, or nothing when it cannot be read.
Text cached(const QString& name) {
    const Result<QString> contents = cache().readContentsFromSignatureFile(name);
    return contents.ok() ? Text(contents.value()) : std::nullopt;
}

QByteArray answerFrom(const QByteArray& json) {
    EXPECT_TRUE(QJsonDocument::fromJson(json).isObject()) << json.constData();
    return json;
}

QStringList names(const QList<BRSSignature>& signatures) {
    QStringList result;
    for (const BRSSignature& signature : signatures) {
        result.append(signature.name());
    }
    return result;
}

class BRSSignatureServiceTest : public ::testing::Test {
protected:
    void SetUp() override { QDir(testEnvironment().folders.applicationSupport).removeRecursively(); }
    void TearDown() override { QDir(testEnvironment().folders.applicationSupport).removeRecursively(); }

    // A service whose fetch answers at once with what the test put in `next`.
    BRSSignatureService serviceAnswering() {
        return BRSSignatureService(
            [this](const BRSLoginCredentials&, const std::optional<AnswerValidator>& ifChangedSince,
                   BRSSignatureService::FetchCompletion completion) {
                ++fetches;
                sentValidator = ifChangedSince;
                OrlinSyncService::SignIn signIn{next.token, next.userName};
                // A service that honours the condition: the same validator is "not modified".
                if (ifChangedSince && next.answer && next.answer->validator() == ifChangedSince) {
                    completion({OrlinSyncService::Signatures(OrlinSyncService::NotModified{}), signIn});
                    return;
                }
                completion(next.error ? OrlinSyncService::SignaturesReply{*next.error, signIn}
                                      : OrlinSyncService::SignaturesReply{
                                            OrlinSyncService::Signatures(*next.answer), signIn});
            },
            kImageHost, testEnvironment().folders.applicationSupport);
    }

    struct Answer {
        std::optional<SignaturesAnswer> answer;
        Text token;
        Text userName;
        std::optional<Error> error;
    } next;
    int fetches = 0;
    std::optional<AnswerValidator> sentValidator;
    const BRSLoginCredentials credentials = BRSLoginCredentials::initWithToken(QStringLiteral("t"));
};

TEST(HashesTest, DigestsAreLowerCaseHexOfTheUtf8Bytes) {
    EXPECT_EQ(Hashes::sha1(QString()), QStringLiteral("da39a3ee5e6b4b0d3255bfef95601890afd80709"));
    EXPECT_EQ(Hashes::sha1(QStringLiteral("abc")),
              QStringLiteral("a9993e364706816aba3e25717850c26c9cd0d89d"));
    EXPECT_EQ(Hashes::md5(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(Hashes::sha256(QStringLiteral("abc")),
              QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_EQ(Hashes::sha1(QStringLiteral("æ")), QStringLiteral("4aa1c8a038c33f18f91d18d6eefb58d2956fe8b7"));
    EXPECT_EQ(Hashes::sha224(QString()).size(), 56);
    EXPECT_EQ(Hashes::sha384(QString()).size(), 96);
    EXPECT_EQ(Hashes::sha512(QString()).size(), 128);
    EXPECT_EQ(Hashes::sha512(QStringLiteral("x")), Hashes::sha512(QStringLiteral("x")).toLower());
    EXPECT_EQ(Hashes::sha1OfUtf8(QByteArrayView()), QByteArray("da39a3ee5e6b4b0d3255bfef95601890afd80709"));
    EXPECT_EQ(Hashes::sha1OfUtf8(QStringLiteral("æ").toUtf8()),
              QByteArray("4aa1c8a038c33f18f91d18d6eefb58d2956fe8b7"));
}

TEST(BRSSignatureTest, ADefaultRecordHasThreeEmptyTexts) {
    const BRSSignature empty;
    EXPECT_TRUE(empty.name().isEmpty());
    EXPECT_TRUE(empty.htmlContent().isEmpty());
    EXPECT_TRUE(empty.textContent().isEmpty());
    QString name = QStringLiteral("A");
    const BRSSignature record(name, QStringLiteral("<b/>"), QStringLiteral("b"));
    name.append(QLatin1Char('!'));
    EXPECT_EQ(record.name(), QStringLiteral("A"));
}

TEST_F(BRSSignatureServiceTest, TheCacheReturnsExactlyWhatWasWrittenAndNothingForOtherNames) {
    const QString digest = Hashes::sha1(QStringLiteral("<p>x</p>"));
    EXPECT_FALSE(cached(QStringLiteral("Main")).has_value());
    ASSERT_TRUE(cache().writeContentsToFileForSignature(QStringLiteral("Main"), digest));
    EXPECT_EQ(cached(QStringLiteral("Main")), digest);

    QFile file(testEnvironment().folders.applicationSupport + QStringLiteral("/Main.brs"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), digest.toUtf8()) << "the digest alone, no line end";
    file.close();

    // A full disk keeps the digest last installed; a link is replaced, never written through.
    {
        const FileSizeLimit full(8);
        const Result<void> written =
            cache().writeContentsToFileForSignature(QStringLiteral("Main"), digest + digest);
        EXPECT_FALSE(written);
        EXPECT_EQ(written.error().code, EFBIG);
    }
    EXPECT_EQ(cached(QStringLiteral("Main")), digest);
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("outside"));
    ASSERT_TRUE(
        QFile::link(outside, testEnvironment().folders.applicationSupport + QStringLiteral("/Linked.brs")));
    ASSERT_TRUE(cache().writeContentsToFileForSignature(QStringLiteral("Linked"), digest));
    EXPECT_FALSE(QFile::exists(outside));
    EXPECT_EQ(cached(QStringLiteral("Linked")), digest);
}

TEST_F(BRSSignatureServiceTest, EveryNameGetsItsOwnFileInsideTheCacheFolder) {
    const QString support = testEnvironment().folders.applicationSupport;
    const QString longName(300, QLatin1Char('x'));
    const QStringList names{QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../../.profile"),
                            QStringLiteral("Sales/EU"), QStringLiteral("Sales%2FEU"),
                            QStringLiteral("Sales%2FEU.brs-escaped"), QStringLiteral("Sales/EU/"),
                            QStringLiteral("Sales%2FEU/"), QStringLiteral("nul\0byte"), QStringLiteral("nul"),
                            longName, longName.left(299) + QLatin1Char('y'), QString(251, QLatin1Char('p')),
                            QString(252, QLatin1Char('p')), QString(126, QChar(u'\u00e6')),
                            // UTF-8 has no form for a lone surrogate: these must not share a file.
                            QChar(0xD800) + QStringLiteral("x"), QChar(0xD801) + QStringLiteral("x"),
                            longName + QChar(0xDC00), longName + QChar(0xDC01)};
    for (const QString& name : names) {
        const Result<void> written = cache().writeContentsToFileForSignature(name, Hashes::sha1(name));
        EXPECT_TRUE(written) << name.toStdString() << ": "
                             << written.error().localizedDescription.toStdString();
    }
    for (const QString& name : names) {
        EXPECT_EQ(cached(name), Hashes::sha1(name)) << name.toStdString();
    }
    // Names that already make a file name keep it byte for byte, so no stored cache is invalidated.
    for (const QString& plain :
         {QStringLiteral("..brs"), QStringLiteral("...brs"), QStringLiteral("Sales%2FEU.brs"),
          QStringLiteral("nul.brs"), QString(251, QLatin1Char('p')) + QStringLiteral(".brs")}) {
        EXPECT_TRUE(QFile::exists(support + QLatin1Char('/') + plain)) << plain.toStdString();
    }
    const QStringList files = QDir(support).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(files.size(), names.size()) << files.join(QLatin1Char('|')).toStdString();
    for (const QString& file : files) {
        EXPECT_LE(file.toUtf8().size(), 255) << file.toStdString();
    }
    EXPECT_TRUE(QDir(support).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_FALSE(QFile::exists(support + QStringLiteral("/../../.profile.brs")));
}

TEST_F(BRSSignatureServiceTest, UnusualNamesSettleAfterOneUpdate) {
    QJsonArray signatures;
    for (const QString& name :
         {QStringLiteral(".."), QStringLiteral("Sales/EU"), QString(300, QLatin1Char('n'))}) {
        signatures.append(QJsonObject{{QStringLiteral("Name"), name}, {QStringLiteral("HTML"), name}});
    }
    next.answer = SignaturesAnswer::fromJsonData(
        QJsonDocument(QJsonObject{{QStringLiteral("signatures"), signatures}}).toJson());
    BRSSignatureService service = serviceAnswering();
    std::optional<bool> available;
    const auto check = [&] {
        available.reset();
        service.checkForSignatureUpdatesAsynchronous(credentials, [&](BRSSignatureService::CheckReply reply) {
            available = reply.result.ok() && reply.result.value().updatesAvailable;
        });
        return available;
    };
    EXPECT_EQ(check(), true);
    std::optional<BRSSignatureService::UpdateOutcome> retrieved;
    service.getSignaturesAsynchronous(credentials, true, false, [&](BRSSignatureService::UpdateReply reply) {
        if (reply.result.ok()) {
            retrieved = std::move(reply.result).value();
        }
    });
    ASSERT_TRUE(retrieved.has_value());
    ASSERT_EQ(retrieved->signatures.size(), 3);
    EXPECT_EQ(check(), true) << "nothing is cached before the mail clients have installed it";
    service.cacheDigests(retrieved->digestsOf({true, false, true}));
    EXPECT_EQ(check(), true) << "a signature that was not installed is still reported";
    service.cacheDigests(retrieved->digestsOf({false, true, false}));
    EXPECT_EQ(check(), false) << "every name was cached once installed";
}

TEST_F(BRSSignatureServiceTest, NullBodiesAndMissingOrEmptyNames) {
    const QByteArray answer = answerFrom(R"({"signatures": [
        {"Name": "A", "HTML": null, "Text": null},
        {"Name": "", "HTML": "<p>skipped</p>"},
        {"HTML": "<p>no name</p>"},
        {"Name": 7, "HTML": "<p>number</p>"},
        {"Name": "B", "HTML": 12, "Text": "plain"}
    ]})");
    const QList<BRSSignature> taken = cache().signaturesFromAnswer(answer, kImageHost, true, false);
    ASSERT_EQ(names(taken), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_TRUE(taken.at(0).htmlContent().isEmpty());
    EXPECT_TRUE(taken.at(0).textContent().isEmpty());
    EXPECT_TRUE(taken.at(1).htmlContent().isEmpty());
    EXPECT_EQ(taken.at(1).textContent(), QStringLiteral("plain"));
    EXPECT_EQ(cached(QStringLiteral("A")), Hashes::sha1(QString()));
    EXPECT_EQ(QDir(testEnvironment().folders.applicationSupport).entryList(QDir::Files).size(), 2)
        << "skipped entries leave no cache file";
}

TEST_F(BRSSignatureServiceTest, ImageReferencesAreRewrittenLiterallyInAnswerOrder) {
    const QByteArray answer = answerFrom(R"({
        "images": [
            {"Name": "logo", "Url": "/img/logo one.png"},
            {"Name": "logo", "Url": "/img/second.png"},
            {"Name": "logo2", "Url": "/img/two.png"},
            {"Name": "abs", "Url": "https://cdn.example/x.png?a=1&b=%"},
            {"Name": "rel", "Url": "banner.png"},
            {"Name": "bad", "Url": ""},
            {"Name": 3, "Url": "/ignored.png"}
        ],
        "signatures": [{"Name": "A", "HTML":
            "<img src=\"logo\"><img src=\"logo2\"><img src=\"LOGO\"><img src='logo'><img src=\"abs\"><img src=\"rel\"><img src=\"bad\">"}]
    })");
    const QList<BRSSignature> taken = cache().signaturesFromAnswer(answer, kImageHost, false, false);
    ASSERT_EQ(taken.size(), 1);
    EXPECT_EQ(
        taken.front().htmlContent(),
        QStringLiteral(
            "<img src=\"https://img.example/img/logo%20one.png\"><img "
            "src=\"https://img.example/img/two.png\">"
            "<img src=\"LOGO\"><img src='logo'>"
            "<img src=\"https://cdn.example/x.png?a=1&b=%25\"><img src=\"https://img.example/banner.png\">"
            "<img src=\"bad\">"));
}

TEST_F(BRSSignatureServiceTest, AnAddressThatIsAnotherImagesNameIsRewrittenAgainOnlyByALaterImage) {
    const auto rewritten = [](const char* images) {
        const QByteArray answer =
            answerFrom(QByteArray(R"({"images": )") + images +
                       R"(, "signatures": [{"Name": "A", "HTML": "<img src=\"a\">"}]})");
        const QList<BRSSignature> taken = cache().signaturesFromAnswer(answer, kImageHost, false, false);
        return taken.size() == 1 ? taken.front().htmlContent() : QString();
    };
    EXPECT_EQ(
        rewritten(R"([{"Name": "a", "Url": "/b"}, {"Name": "https://img.example/b", "Url": "/c.png"}])"),
        QStringLiteral("<img src=\"https://img.example/c.png\">"));
    EXPECT_EQ(
        rewritten(R"([{"Name": "https://img.example/b", "Url": "/c.png"}, {"Name": "a", "Url": "/b"}])"),
        QStringLiteral("<img src=\"https://img.example/b\">"));
}

TEST_F(BRSSignatureServiceTest, RelativeAddressesResolveAgainstTheImageHostAbsoluteOnesStayAsGiven) {
    const QUrl hostWithPath(QStringLiteral("https://img.example/base/"));
    EXPECT_EQ(ImageReferences::resolve(QStringLiteral("/a.png"), hostWithPath),
              QStringLiteral("https://img.example/a.png"));
    EXPECT_EQ(ImageReferences::resolve(QStringLiteral("a.png"), kImageHost),
              QStringLiteral("https://img.example/a.png"));
    EXPECT_EQ(ImageReferences::resolve(QStringLiteral("../a.png"), hostWithPath),
              QStringLiteral("https://img.example/a.png"));
    EXPECT_EQ(ImageReferences::resolve(QStringLiteral("//cdn.Example/a.png"), kImageHost),
              QStringLiteral("https://cdn.Example/a.png"));
    EXPECT_EQ(ImageReferences::resolve(QStringLiteral("/æ ø!$&'()*+,;=:@~_-.png"), kImageHost),
              QStringLiteral("https://img.example/%C3%A6%20%C3%B8!$&'()*+,;=:@~_-.png"));
    EXPECT_EQ(ImageReferences::resolve(QStringLiteral("HTTPS://CDN.Example/a/../b.png"), kImageHost),
              QStringLiteral("HTTPS://CDN.Example/a/../b.png"));
    EXPECT_EQ(ImageReferences::resolve(QStringLiteral("https://bücher.example/\"x\".png#top"), kImageHost),
              QStringLiteral("https://b%C3%BCcher.example/%22x%22.png%23top"));
    EXPECT_TRUE(ImageReferences::resolve(QString(), kImageHost).isEmpty());
}

TEST_F(BRSSignatureServiceTest, AChangedImageAddressAloneIsReportedAndTheRewrittenBodyIsCached) {
    const char* const html = R"("signatures": [{"Name": "A", "HTML": "<img src=\"logo\">"}])";
    const QByteArray before =
        answerFrom(QByteArray(R"({"images": [{"Name": "logo", "Url": "/v1.png"}], )") + html + '}');
    const QByteArray after =
        answerFrom(QByteArray(R"({"images": [{"Name": "logo", "Url": "/v2.png"}], )") + html + '}');
    ASSERT_EQ(cache().signaturesFromAnswer(before, kImageHost, true, false).size(), 1);
    EXPECT_EQ(names(cache().signaturesFromAnswer(after, kImageHost, false, true)),
              QStringList{QStringLiteral("A")});
    ASSERT_EQ(cache().signaturesFromAnswer(after, kImageHost, true, false).size(), 1);
    EXPECT_EQ(cached(QStringLiteral("A")),
              Hashes::sha1(QStringLiteral("<img src=\"https://img.example/v2.png\">")));
    EXPECT_TRUE(cache().signaturesFromAnswer(after, kImageHost, false, true).isEmpty());
}

TEST_F(BRSSignatureServiceTest, ChecksReportOnlyChangesAndUpdatesTakeEverything) {
    const QByteArray first = answerFrom(R"({"clean": true, "signatures": [
        {"Name": "A", "HTML": "<p>a</p>"}, {"Name": "B", "HTML": "<p>b</p>"}]})");
    EXPECT_EQ(names(cache().signaturesFromAnswer(first, kImageHost, false, true)).size(), 2)
        << "nothing cached yet";
    EXPECT_FALSE(cached(QStringLiteral("A")).has_value()) << "a check never writes the cache";

    bool clean = false;
    EXPECT_EQ(cache().signaturesFromAnswer(first, kImageHost, true, false, &clean).size(), 2);
    EXPECT_TRUE(clean);
    EXPECT_TRUE(cache().signaturesFromAnswer(first, kImageHost, false, true).isEmpty())
        << "right after an update a check finds nothing, clean or not";
    EXPECT_EQ(cache().signaturesFromAnswer(first, kImageHost, true, true).size(), 2)
        << "clean makes an update take everything even when only changes are asked for";

    const QByteArray changed = answerFrom(R"({"signatures": [
        {"Name": "A", "HTML": "<p>a</p>", "Text": "text changes alone are not reported"},
        {"Name": "B", "HTML": "<p>B</p>"}]})");
    EXPECT_EQ(names(cache().signaturesFromAnswer(changed, kImageHost, false, true)),
              QStringList{QStringLiteral("B")});
    EXPECT_EQ(names(cache().signaturesFromAnswer(changed, kImageHost, true, true)),
              QStringList{QStringLiteral("B")});
    EXPECT_TRUE(cache().signaturesFromAnswer(changed, kImageHost, false, true).isEmpty());
    EXPECT_TRUE(cache().signaturesFromAnswer(QByteArray("{}"), kImageHost, true, false).isEmpty());

    // A number stands for the flag: 1 is set, 0 is not.
    const QByteArray numberOne =
        answerFrom(R"({"clean": 1, "signatures": [{"Name": "B", "HTML": "<p>B</p>"}]})");
    EXPECT_EQ(cache().signaturesFromAnswer(numberOne, kImageHost, true, true, &clean).size(), 1);
    EXPECT_TRUE(clean);
    const QByteArray numberZero =
        answerFrom(R"({"clean": 0, "signatures": [{"Name": "B", "HTML": "<p>B</p>"}]})");
    EXPECT_TRUE(cache().signaturesFromAnswer(numberZero, kImageHost, true, true, &clean).isEmpty());
    EXPECT_FALSE(clean);
}

TEST_F(BRSSignatureServiceTest, ACheckSeesAChangeInAnySignatureAndAnyByteOfItsCacheFile) {
    next.answer = SignaturesAnswer::fromJsonData(answerFrom(
        R"({"signatures": [{"Name": "A", "HTML": "<p>a</p>"}, {"Name": "B", "HTML": "<p>b</p>"}]})"));
    BRSSignatureService service = serviceAnswering();
    const auto check = [&] {
        std::optional<bool> available;
        service.checkForSignatureUpdatesAsynchronous(credentials, [&](BRSSignatureService::CheckReply reply) {
            available = reply.result.ok() && reply.result.value().updatesAvailable;
        });
        return available;
    };
    const QString a = Hashes::sha1(QStringLiteral("<p>a</p>"));
    const QString b = Hashes::sha1(QStringLiteral("<p>b</p>"));
    ASSERT_TRUE(cache().writeContentsToFileForSignature(QStringLiteral("A"), a));
    ASSERT_TRUE(cache().writeContentsToFileForSignature(QStringLiteral("B"), b));
    EXPECT_EQ(check(), false);

    ASSERT_TRUE(
        cache().writeContentsToFileForSignature(QStringLiteral("A"), Hashes::sha1(QStringLiteral("old"))));
    EXPECT_EQ(check(), true) << "only the first of two changed";

    ASSERT_TRUE(cache().writeContentsToFileForSignature(QStringLiteral("A"), a));
    ASSERT_TRUE(cache().writeContentsToFileForSignature(QStringLiteral("B"), b + QLatin1Char('0')));
    EXPECT_EQ(check(), true) << "a cache file one byte longer than the digest";
}

TEST_F(BRSSignatureServiceTest, OnlyAQuietCheckKeepsTheValidatorForTheNextCheck) {
    const auto answer = [](const char* html, const char* tag) {
        std::optional<SignaturesAnswer> parsed =
            SignaturesAnswer::fromJsonData(QByteArrayLiteral(R"({"signatures": [{"Name": "A", "HTML": ")") +
                                           html + QByteArrayLiteral(R"("}]})"));
        parsed->setValidator(
            AnswerValidator::fromHeaders(QStringLiteral("https://orlin.example/u/sync3"), tag, {}));
        return parsed;
    };
    BRSSignatureService service = serviceAnswering();
    const auto check = [&] {
        std::optional<bool> available;
        service.checkForSignatureUpdatesAsynchronous(credentials, [&](BRSSignatureService::CheckReply reply) {
            available = reply.result.ok() && reply.result.value().updatesAvailable;
        });
        return available;
    };
    const auto update = [&] {
        service.getSignaturesAsynchronous(credentials, true, false,
                                          [&](BRSSignatureService::UpdateReply reply) {
                                              ASSERT_TRUE(reply.result.ok());
                                              service.cacheDigests(reply.result.value().digestsOf(
                                                  QList<bool>(reply.result.value().signatures.size(), true)));
                                          });
    };

    // A check that leaves something to install keeps nothing, so its change is asked about in full again.
    next.answer = answer("<p>1</p>", "\"v1\"");
    EXPECT_EQ(check(), true);
    EXPECT_EQ(check(), true);
    EXPECT_FALSE(sentValidator);

    update();
    EXPECT_FALSE(sentValidator) << "an update always downloads the whole answer";
    EXPECT_EQ(check(), false);
    EXPECT_FALSE(sentValidator) << "the update forgot any earlier answer";
    {
        LogCapture log;
        const int before = fetches;
        EXPECT_EQ(check(), false) << "not modified is nothing changed";
        EXPECT_EQ(sentValidator, next.answer->validator());
        EXPECT_EQ(fetches, before + 1);
        EXPECT_TRUE(log.lines().filter(QStringLiteral("not modified")).size() == 1)
            << log.lines().join('\n').toStdString();
    }
    EXPECT_EQ(check(), false);
    EXPECT_EQ(sentValidator, next.answer->validator()) << "a 304 keeps the validator";

    // A cache file gone since the quiet check: the check that kept the validator no longer holds.
    ASSERT_TRUE(QFile::remove(testEnvironment().folders.applicationSupport + QStringLiteral("/A.brs")));
    next.answer = answer("<p>1</p>", "\"v1\"");
    EXPECT_EQ(check(), true);
    EXPECT_FALSE(sentValidator);
    update();
    EXPECT_EQ(check(), false);

    // Another image host makes other bodies from the same answer.
    service = BRSSignatureService(
        [this](const BRSLoginCredentials&, const std::optional<AnswerValidator>& ifChangedSince,
               BRSSignatureService::FetchCompletion completion) {
            sentValidator = ifChangedSince;
            completion({OrlinSyncService::Signatures(*next.answer), {}});
        },
        QUrl(QStringLiteral("https://other.example")), testEnvironment().folders.applicationSupport);
    EXPECT_EQ(check(), false);
    EXPECT_FALSE(sentValidator);

    // A service that sends no validator is asked as before, every time.
    service = serviceAnswering();
    next.answer = answer("<p>1</p>", "");
    EXPECT_EQ(check(), false);
    EXPECT_EQ(check(), false);
    EXPECT_FALSE(sentValidator);
}

TEST_F(BRSSignatureServiceTest, AChecksLogHoldsTheTextsOfChangedSignaturesOnlyAndAnUpdatesOfAll) {
    next.answer = SignaturesAnswer::fromJsonData(answerFrom(
        R"({"signatures": [{"Name": "Same", "HTML": "<p>s</p>"}, {"Name": "New", "HTML": "<p>n</p>", "Text": "n"}]})"));
    ASSERT_TRUE(cache().writeContentsToFileForSignature(QStringLiteral("Same"),
                                                        Hashes::sha1(QStringLiteral("<p>s</p>"))));
    BRSSignatureService service = serviceAnswering();
    const auto texts = [](LogCapture& log) {
        return log.lines()
            .filter(QRegularExpression(QStringLiteral("^verbose (Name|HTML|Text): ")))
            .replaceInStrings(QStringLiteral("verbose "), QString())
            .join(u'|')
            .toStdString();
    };
    {
        LogCapture log;
        service.checkForSignatureUpdatesAsynchronous(credentials, [](BRSSignatureService::CheckReply) {});
        EXPECT_EQ(texts(log), "Name: New|HTML: <p>n</p>|Text: n");
    }
    {
        LogCapture log;
        service.getSignaturesAsynchronous(credentials, true, true, [](BRSSignatureService::UpdateReply) {});
        EXPECT_EQ(texts(log), "Name: Same|HTML: <p>s</p>|Text: |Name: New|HTML: <p>n</p>|Text: n");
    }
}

TEST_F(BRSSignatureServiceTest, EveryRetrievalEndsWithOneCompletion) {
    BRSSignatureService service = serviceAnswering();
    int calls = 0;
    std::optional<Error> seen;
    Text token;
    const auto record = [&](BRSSignatureService::UpdateReply reply) {
        ++calls;
        seen = reply.result.ok() ? std::nullopt : std::optional<Error>(reply.result.error());
        token = reply.signIn.refreshToken;
    };

    next = {std::nullopt, QStringLiteral("t1"), QStringLiteral("u"),
            Error::serviceError(QStringLiteral("down"))};
    service.getSignaturesAsynchronous(credentials, true, false, record);
    EXPECT_EQ(seen->localizedDescription, QStringLiteral("down"));
    EXPECT_EQ(token, QStringLiteral("t1")) << "the token passes through with the error";

    next = {SignaturesAnswer::fromJsonData(answerFrom(R"({"signatures": [{"Name": "A", "HTML": "x"}]})")),
            QStringLiteral("t2"),
            {},
            {}};
    bool available = false;
    service.checkForSignatureUpdatesAsynchronous(credentials, [&](BRSSignatureService::CheckReply reply) {
        ++calls;
        ASSERT_TRUE(reply.result.ok());
        available = reply.result.value().updatesAvailable;
        token = reply.signIn.refreshToken;
    });
    EXPECT_TRUE(available);
    EXPECT_EQ(token, QStringLiteral("t2"));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(fetches, 2);
}

// The rewrite as it was before it became one pass: every image in answer order, a full literal replace
// each. Kept here only to prove the one-pass rewrite gives the same bytes.
QString rewriteImageByImage(const QByteArray& answer, const QUrl& imageHost, QString html) {
    const auto attribute = [](const QString& value) { return QStringLiteral("src=\"") + value + u'"'; };
    for (const QJsonValue& image : QJsonDocument::fromJson(answer).object().value(u"images").toArray()) {
        const QJsonValue name = image.toObject().value(u"Name");
        const QJsonValue url = image.toObject().value(u"Url");
        const QString address =
            url.isString() ? ImageReferences::resolve(url.toString(), imageHost) : QString();
        if (name.isString() && !address.isEmpty()) {
            html.replace(attribute(name.toString()), attribute(address), Qt::CaseSensitive);
        }
    }
    return html;
}

TEST_F(BRSSignatureServiceTest, TheOnePassRewriteGivesTheBytesOfTheImageByImageRewrite) {
    // Names and addresses that overlap, repeat, end in src=, hold quotes or name another image's address
    // are where answer order shows; each image set below mixes them into ordinary ones.
    const QStringList awkwardNames{QStringLiteral("logo"),
                                   QStringLiteral("logo2"),
                                   QStringLiteral("LOGO"),
                                   QStringLiteral(""),
                                   QStringLiteral("a src="),
                                   QStringLiteral("q\"uote"),
                                   QStringLiteral("https://img.example/x.png"),
                                   QStringLiteral("æø"),
                                   QStringLiteral("src=\"logo")};
    const QStringList urls{QStringLiteral("/x.png"), QStringLiteral("/y.png?src="), QStringLiteral("a b.png"),
                           QStringLiteral(""), QStringLiteral("https://cdn.example/z.png")};
    QRandomGenerator random(16);
    const auto pick = [&random](const QStringList& list) { return list.at(random.bounded(list.size())); };
    for (int round = 0; round < 300; ++round) {
        QJsonArray images;
        QStringList used;
        const int count = 1 + random.bounded(4);
        for (int i = 0; i < count; ++i) {
            // Most rounds use ordinary names only, so the one-pass path is the one compared.
            const QString name =
                round % 3 == 0 ? pick(awkwardNames) : QStringLiteral("image%1").arg(random.bounded(5));
            used.append(name);
            images.append(QJsonObject{{QStringLiteral("Name"), name}, {QStringLiteral("Url"), pick(urls)}});
        }
        QString html;
        for (int i = 0; i < 12; ++i) {
            const QStringList pieces{QStringLiteral("<img src=\"") + pick(used) + u'"',
                                     QStringLiteral("src=\""),
                                     QStringLiteral("\">"),
                                     QStringLiteral("<p>text ø</p>"),
                                     pick(used),
                                     QStringLiteral("src='") + pick(used) + u'\'',
                                     QStringLiteral("src=")};
            html += pick(pieces);
        }
        const QByteArray answer =
            QJsonDocument(QJsonObject{{QStringLiteral("images"), images},
                                      {QStringLiteral("signatures"),
                                       QJsonArray{QJsonObject{{QStringLiteral("Name"), QStringLiteral("A")},
                                                              {QStringLiteral("HTML"), html}}}}})
                .toJson(QJsonDocument::Compact);
        const QList<BRSSignature> taken = cache().signaturesFromAnswer(answer, kImageHost, false, false);
        ASSERT_EQ(taken.size(), 1);
        ASSERT_EQ(taken.front().htmlContent(), rewriteImageByImage(answer, kImageHost, html))
            << answer.constData();
    }
}

}  // namespace

// The signatures answer is read by its own parser, the service's other answers by Qt's: both must take
// the same documents and read the same texts from them, escapes and all.
TEST(SignaturesAnswerTest, TakesWhatQtsReaderTakesAndReadsTheSameTexts) {
    const QByteArray deep = QByteArray(1100, '[') + QByteArray(1100, ']');
    const QList<QByteArray> documents = {
        R"({"signatures": [{"N\u0061me": "A\"\\\/\b\f\n\r\t\u00e6\ud83d\ude00", "HTML": "<p class=\"x\">", "Text": ""}]})",
        R"({"signatures": [{"Name": "lone \ud800 high \udc00 low \ud800\u0041 then", "HTML": "\ud800\ud800\udc00"}]})",
        R"( {"signatures": [{"Name": "A", "Name": "B", "HTML": 1, "HTML": "h"}], "signatures": [{"Name": "C"}]} )",
        R"({"clean": 2, "images": [{"Name": "i", "Url": "/u"}], "big": 123456789012345678901234567890, "x": [null, true, false, -0.5e3, {}]})",
        R"({"signatures": "none", "clean": true, "clean": "yes"})",
        R"({"signatures": [{"Name": "x\\u12 \\\u0041 \\", "HTML": "\\\"u"}]})",
        "{\"signatures\": [{\"Name\": \"\\u0000nul\"}]}", "{\"a\": \"" + deep + "\"}",
        "{\"a\": " + deep.left(1000) + deep.right(1000) + "}",
        "{\"a\": " + deep.left(1022) + deep.right(1022) + "}",
        "{\"a\": " + deep.left(1023) + deep.right(1023) + "}",
        "{\"a\": " + deep.left(1024) + deep.right(1024) + "}",
        "{\"a\": " + deep.left(1025) + deep.right(1025) + "}",
        // Not JSON, or no object at its top:
        "{\"a\": " + deep + "}", R"({"a": "\q"})", R"({"a": "\u12G4"})", R"({"a": "\u12"})", "{", "{}x",
        "{} {}", "[1]", "\"s\"", "", R"({"a": tru})", R"({"a": nul})", R"({"a": 01})", R"({"a": 1,})",
        R"({"a" 1})", R"({"a": [1 2]})", R"({"a": "x" "y"})", "{\"a\": \"\x01\"}", "{\"a\": \"\xff\"}",
        R"({"a": 1e999})", R"({"\q": 1})", R"({"a": [1,]})", R"({,})", R"({"a": -})", R"({"a": "b": "c"})",
        R"({"a": [{"b": 1}: 2]})", R"({"a": [1: 2]})", R"({"a": {"b": "c": "d"}})", R"({"a": {"b": 1}: 2})",
        R"({"signatures": [{"Name": "N": "x"}]})", R"({"a": 1: 2})", "{\"a\": \"\\\xde\xb7\"}",
        "{\"a\": \"\\\x7f\"}", "{\"a\": \"\\ \"}", R"({"a": [{"b": "c"}, {"d": "e": "f"}]})",
        R"({"a": [{"b": "c"}, {"d": "e", "f": "g": "h"}]})",
        R"({"clean":false,"images":[{"Name":"logo.png","Url":"images/logo.png"}],"sigcllName":"natures":[{"Name":"Saame":"S/p>","Text":"Ann"},{"Name":"Support","HTML":"<b>Bob<)b>","Text":"Text":"Ann"},"Bob]"}]})"
        "\n"};
    for (const QByteArray& document : documents) {
        SCOPED_TRACE(document.left(120).constData());
        QJsonParseError error;
        const QJsonDocument qt = QJsonDocument::fromJson(document, &error);
        const std::optional<SignaturesAnswer> ours = SignaturesAnswer::fromJsonData(document);
        ASSERT_EQ(ours.has_value(), error.error == QJsonParseError::NoError && qt.isObject());
        if (!ours) {
            continue;
        }
        const QJsonObject object = qt.object();
        EXPECT_EQ(ours->clean(), object.value("clean").toBool() || object.value("clean").toDouble() != 0);
        EXPECT_EQ(ours->images().size(), object.value("images").toArray().size());
        const QJsonArray signatures = object.value("signatures").toArray();
        qsizetype i = 0;
        ours->visitSignatures([&](const SignaturesAnswer::Texts& signature) {
            const QJsonObject expected = signatures.at(i++).toObject();
            EXPECT_EQ(signature.name.toUtf8(), expected.value("Name").toString().toUtf8());
            EXPECT_EQ(signature.html.toByteArray(), expected.value("HTML").toString().toUtf8());
            EXPECT_EQ(signature.text.toByteArray(), expected.value("Text").toString().toUtf8());
            return true;
        });
        EXPECT_EQ(i, signatures.size());
    }
}
