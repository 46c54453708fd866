#include "BRSOutlookService.h"

#include <gtest/gtest.h>

#include "FakeOsascript.h"

namespace {

using Signatures = QList<QPair<QString, QString>>;

// One signature as these cases install it: false on failure, with the error set.
bool setSignature(BRSOutlookService& outlook, const QString& name, const QString& html,
                  const QString& /*text*/, Error* error = nullptr) {
    const Result<void> set = outlook.setSignatureWithName(name, html);
    if (!set && error) {
        *error = set.error();
    }
    return set.ok();
}

class BRSOutlookServiceTest : public ::testing::Test {
protected:
    FakeOsascript fake;
    BRSOutlookService outlook{FakeOsascript::script()};
};

TEST_F(BRSOutlookServiceTest, NamesAndContentsReachOutlookIntact) {
    // Quotes, backslashes, a quote joined by a combining mark, arg() markers and line breaks all have to
    // survive the trip through the script text.
    const QString name = QStringLiteral("Sales \"EU\" \\ Tëam \"\u0301 %1");
    const QString html = QStringLiteral("<p style=\"color:red\">%1 %2\n\\n & 50%</p>");
    Error error;
    ASSERT_TRUE(setSignature(outlook, name, html, QStringLiteral("ignored text"), &error))
        << error.localizedDescription.toStdString();
    EXPECT_EQ(fake.outlookSignatures(), (Signatures{{name, html}}));
    EXPECT_EQ(outlook.appName(), QStringLiteral("Outlook"));
}

TEST_F(BRSOutlookServiceTest, InstallingANameAgainUpdatesTheOneSignatureIgnoringCase) {
    ASSERT_TRUE(setSignature(outlook, QStringLiteral("Sales"), QStringLiteral("<p>1</p>"), QString()));
    ASSERT_TRUE(
        setSignature(outlook, QStringLiteral("Sales"), QStringLiteral("<p>2</p>"), QStringLiteral("a")));
    ASSERT_TRUE(
        setSignature(outlook, QStringLiteral("SALES"), QStringLiteral("<p>3</p>"), QStringLiteral("b")));
    EXPECT_EQ(fake.outlookSignatures(), (Signatures{{QStringLiteral("Sales"), QStringLiteral("<p>3</p>")}}));
}

TEST_F(BRSOutlookServiceTest, CleanUpDeletesEveryUnlistedSignatureAndNothingForAnEmptyList) {
    fake.addOutlookSignatures({QStringLiteral("A"), QStringLiteral("hand made"), QStringLiteral("b"),
                               QStringLiteral("Old \"one\""), QStringLiteral("hand made")});
    const qint64 before = fake.scriptsRun();
    outlook.deleteAllSignaturesNotIn({});
    EXPECT_EQ(fake.scriptsRun(), before) << "an empty list runs no script";
    EXPECT_EQ(fake.outlookSignatureNames().size(), 5);

    const QString script =
        BRSOutlookService::deleteSignaturesScript({QStringLiteral("A"), QStringLiteral("B")});
    EXPECT_TRUE(script.startsWith(QStringLiteral("set orlinSignatures to {\"A\",\"B\"}\n")));
    EXPECT_EQ(script.count(QLatin1Char('\n')), 14);
    EXPECT_TRUE(script.endsWith(QStringLiteral("end repeat\nend tell\n")));

    outlook.deleteAllSignaturesNotIn({QStringLiteral("a"), QStringLiteral("B")});
    EXPECT_EQ(fake.outlookSignatureNames(), (QStringList{QStringLiteral("A"), QStringLiteral("b")}));
}

TEST_F(BRSOutlookServiceTest, AListedNameWithAQuoteIsKept) {
    fake.addOutlookSignatures({QStringLiteral("Say \"hi\""), QStringLiteral("other")});
    outlook.deleteAllSignaturesNotIn({QStringLiteral("Say \"hi\"")});
    EXPECT_EQ(fake.outlookSignatureNames(), QStringList{QStringLiteral("Say \"hi\"")});
}

TEST_F(BRSOutlookServiceTest, NamesNoLiteralCanHoldAreMappedAsMailMapsThemStayApartAndSettle) {
    const QStringList names = {QStringLiteral("nul") + QChar(u'\0') + QStringLiteral("cut"),
                               QChar(0xD800) + QStringLiteral("x"), QChar(0xD801) + QStringLiteral("x")};
    const QString script = BRSOutlookService::setSignatureScript(names[0], QStringLiteral("<p>a\0b</p>"));
    EXPECT_FALSE(script.contains(QChar(u'\0')));
    for (int round = 0; round < 2; ++round) {
        for (const QString& name : names) {
            Error error;
            ASSERT_TRUE(setSignature(outlook, name, QStringLiteral("<p/>"), QString(), &error))
                << error.localizedDescription.toStdString();
        }
        outlook.deleteAllSignaturesNotIn(names);
    }
    const QStringList expected = {QStringLiteral("nul\uFFFD0000cut"), QStringLiteral("\uFFFDD800x"),
                                  QStringLiteral("\uFFFDD801x")};
    EXPECT_EQ(fake.outlookSignatureNames(), expected) << "the names Mail's list holds for them";
}

TEST_F(BRSOutlookServiceTest, FailuresComeBackAsOutlookErrorsAndTheCleanUpStaysSilent) {
    fake.addOutlookSignatures({QStringLiteral("keep me")});
    fake.setFailure(QStringLiteral("Microsoft Outlook"), QStringLiteral("notInstalled"));
    Error error;
    EXPECT_FALSE(setSignature(outlook, QStringLiteral("A"), QStringLiteral("<p/>"), QString(), &error));
    EXPECT_EQ(error, (Error{ErrorDomains::kOutlook, -1728,
                            QStringLiteral("Can’t get application \"Microsoft Outlook\".")}));
    EXPECT_FALSE(setSignature(outlook, QStringLiteral("A"), QStringLiteral("<p/>"), QString()));

    fake.setFailure(QStringLiteral("Microsoft Outlook"), QStringLiteral("notAuthorized"));
    EXPECT_FALSE(setSignature(outlook, QStringLiteral("A"), QStringLiteral("<p/>"), QString(), &error));
    EXPECT_EQ(error.localizedDescription,
              QStringLiteral("Not authorized to send Apple events to Microsoft Outlook."));
    EXPECT_TRUE(BRSAppleScript::isNotAuthorized(error)) << "the number tells the refusal apart";
    outlook.deleteAllSignaturesNotIn({QStringLiteral("A")});
    EXPECT_EQ(fake.outlookSignatureNames(), QStringList{QStringLiteral("keep me")});
}

TEST_F(BRSOutlookServiceTest, AnUpdateCleansFirstThenSetsEachUntilTheObserverStopsIt) {
    fake.addOutlookSignatures({QStringLiteral("hand made")});
    const QList<BRSSignature> update{BRSSignature(QStringLiteral("A"), QStringLiteral("<a>"), QString()),
                                     BRSSignature(QStringLiteral("B"), QStringLiteral("<b>"), QString())};
    QStringList seen;
    outlook.install(update, true,
                    {.willInstall = [&](qsizetype i) { seen.append(QStringLiteral("before %1").arg(i)); },
                     .installed =
                         [&](qsizetype i, const Result<void>& outcome) {
                             seen.append(QStringLiteral("%1 %2").arg(i).arg(outcome.ok()));
                             return BRSMailAppService::Next::Continue;
                         }});
    EXPECT_EQ(seen, (QStringList{QStringLiteral("before 0"), QStringLiteral("0 1"),
                                 QStringLiteral("before 1"), QStringLiteral("1 1")}));
    EXPECT_EQ(fake.outlookSignatures(), (Signatures{{QStringLiteral("A"), QStringLiteral("<a>")},
                                                    {QStringLiteral("B"), QStringLiteral("<b>")}}));

    // Told to stop after a failure, the update sends Outlook no further script.
    fake.setFailure(QStringLiteral("Microsoft Outlook"), QStringLiteral("notAuthorized"));
    const qint64 before = fake.scriptsRun();
    int reported = 0;
    outlook.install(update, false,
                    {.willInstall = {}, .installed = [&](qsizetype, const Result<void>& outcome) {
                         ++reported;
                         EXPECT_TRUE(BRSAppleScript::isNotAuthorized(outcome.error()));
                         return BRSMailAppService::Next::StopClient;
                     }});
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(fake.scriptsRun(), before + 1);
}

}  // namespace
