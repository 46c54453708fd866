#include "TestEnvironment.h"
#include "UpdateCycle.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "BRSAppleScript.h"
#include "BRSViewState.h"
#include "PreferencesStorage.h"
#include "RecordingInstaller.h"
#include "ScriptedAlertPresenter.h"
#include "UserDefaults.h"

namespace {

// An Apple Mail that records only the names it is asked to write, and writes each of them.
class NameRecordingMail final : public BRSMailAppService {
public:
    explicit NameRecordingMail(QStringList& log) : log_(log) {}
    void install(const QList<BRSSignature>& signatures, bool, const Observer& observer) override {
        for (qsizetype i = 0; i < signatures.size(); ++i) {
            observer.announce(i);
            log_.append(QStringLiteral("Apple Mail set ") + signatures.at(i).name());
            if (observer.report(i, {}) == Next::StopClient) {
                return;
            }
        }
    }
    QString appName() const override { return QStringLiteral("Apple Mail"); }

private:
    QStringList& log_;
};

class UpdateCycleTest : public ::testing::Test {
protected:
    void SetUp() override { testDefaults().resetForTesting(); }
    void TearDown() override { testDefaults().resetForTesting(); }

    bool run(const QList<BRSSignature>& signatures, bool clean = false) {
        UpdateCycle::MailClients clients;
        clients.makeOutlook = [this] {
            return std::make_unique<RecordingInstaller>(QStringLiteral("Outlook"), log, failing,
                                                        outlookFailure);
        };
        clients.makeAppleMail = [this](bool iCloud) -> std::unique_ptr<BRSMailAppService> {
            log.append(QStringLiteral("Apple Mail iCloud=%1").arg(iCloud));
            if (mail) {
                return mail();
            }
            return std::make_unique<RecordingInstaller>(QStringLiteral("Apple Mail"), log,
                                                        failing + mailFailing, mailFailure);
        };
        clients.isRunningNewOutlook = [this] { return newOutlook; };
        clients.fullDiskAccessApplies = fullDiskAccessApplies;
        if (offersSystemSettings) {
            clients.openSystemSettings = [this](const QString& url) { openedUrls.append(url); };
        }
        clients.runAppleScript = [this](const QString& source) -> Result<QString> {
            // Kept apart from the log: where the quit falls is asserted on its own.
            if (source == UpdateCycle::kQuitMailScript) {
                quitsAt.append(log.size());
                if (quitFailure) {
                    return *quitFailure;
                }
                return QString();
            }
            log.append(QStringLiteral("script ") + source);
            if (source == UpdateCycle::kMailIsRunningScript && !mailRunning) {
                return BRSAppleScript::genericError();
            }
            return source == UpdateCycle::kMailIsRunningScript ? *mailRunning : QString();
        };
        UpdateCycle cycle(viewState, alerts, clients, [this](int current, int total) {
            progress.append(QStringLiteral("%1/%2").arg(current).arg(total));
        });
        const UpdateCycle::Outcome outcome =
            cycle.install(signatures, clean, PreferencesStorage(testDefaults()).getPreferences());
        installed = outcome.installed;
        return outcome.succeeded;
    }

    static void set(const char* key, bool value) { testDefaults().setBool(value, QString::fromLatin1(key)); }

    QStringList alertMessages() const {
        QStringList messages;
        for (const Alert& alert : alerts.shownAlerts()) {
            messages.append(alert.messageText + QStringLiteral(" | ") + alert.informativeText);
        }
        return messages;
    }

    const QList<BRSSignature> two = {
        BRSSignature(QStringLiteral("A"), QStringLiteral("<a>"), QStringLiteral("a")),
        BRSSignature(QStringLiteral("B"), QStringLiteral("<b>"), QStringLiteral("b"))};
    BRSViewState viewState;
    ScriptedAlertPresenter alerts;
    QStringList log;
    QStringList failing;
    std::optional<QString> mailRunning = QStringLiteral("true");
    // How Mail answers the quit script, and where in the log each quit was sent.
    std::optional<Error> quitFailure;
    QList<qsizetype> quitsAt;
    // Set to install into this Apple Mail instead of the recording one.
    std::function<std::unique_ptr<BRSMailAppService>()> mail;
    QStringList mailFailing;
    std::optional<Error> mailFailure;
    std::optional<Error> outlookFailure;
    bool fullDiskAccessApplies = true;
    bool newOutlook = false;
    bool offersSystemSettings = false;
    QStringList openedUrls;
    // "k/n" for every installation the cycle announced.
    QStringList progress;
    // Per signature of the last run: whether every client installed it.
    QList<bool> installed;
};

const QString kSuccess = QStringLiteral("Your signatures have been updated successfully.");

TEST_F(UpdateCycleTest, WithNoClientChosenOutlookIsServedAndSuccessShown) {
    set("updateSignaturesForOutlook", false);
    EXPECT_TRUE(run(two));
    EXPECT_EQ(log, (QStringList{QStringLiteral("Outlook set A <a>"), QStringLiteral("Outlook set B <b>")}));
    ASSERT_EQ(alerts.shownAlerts().size(), 1);
    const Alert& success = alerts.shownAlerts().front();
    EXPECT_EQ(success.messageText, kSuccess);
    EXPECT_TRUE(success.informativeText.isEmpty());
    EXPECT_TRUE(success.showsSuppressionButton);
    EXPECT_EQ(success.suppressionButtonTitle, QStringLiteral("Don't show again"));
    EXPECT_EQ(success.effectiveButtonTitles(), QStringList{QStringLiteral("OK")});
}

TEST_F(UpdateCycleTest, MailRunningAndContinueInstallsRestartsMailAndSaysSo) {
    set("updateSignaturesForMail", true);
    set("isUsingICloudDrive", false);
    alerts.enqueueAnswer({0, false});
    EXPECT_TRUE(run(two));
    EXPECT_EQ(log, (QStringList{QStringLiteral("script application \"Mail\" is running"),
                                QStringLiteral("Apple Mail iCloud=0"), QStringLiteral("Outlook set A <a>"),
                                QStringLiteral("Outlook set B <b>"), QStringLiteral("Apple Mail set A <a>"),
                                QStringLiteral("Apple Mail set B <b>"),
                                QStringLiteral("script tell application \"Mail\" to run")}));
    ASSERT_EQ(alerts.shownAlerts().size(), 2);
    const Alert& question = alerts.shownAlerts().at(0);
    EXPECT_EQ(question.style, AlertStyle::Critical);
    EXPECT_EQ(question.messageText, QStringLiteral("We need to quit Apple Mail."));
    EXPECT_EQ(
        question.informativeText,
        QStringLiteral("We need to quit Apple Mail to update your signatures. Please save any unsaved work "
                       "in Mail before continuing."));
    EXPECT_EQ(question.buttonTitles, (QStringList{QStringLiteral("Continue"), QStringLiteral("Cancel")}));
    EXPECT_EQ(question.suppressionButtonTitle, QStringLiteral("Don't show again"));
    EXPECT_EQ(alerts.shownAlerts().at(1).informativeText,
              QStringLiteral("Apple Mail has been restarted.\r\r"));
}

TEST_F(UpdateCycleTest, ASuppressedPromptMeansNoProbeNoRestartAndAnEmptyInformativeText) {
    set("updateSignaturesForOutlook", false);
    set("updateSignaturesForMail", true);
    set("hideQuitMailInfobox", true);
    EXPECT_TRUE(run(two));
    EXPECT_EQ(log, (QStringList{QStringLiteral("Apple Mail iCloud=1"), QStringLiteral("Apple Mail set A <a>"),
                                QStringLiteral("Apple Mail set B <b>")}));
    EXPECT_EQ(alertMessages(), QStringList{kSuccess + QStringLiteral(" | ")});
}

TEST_F(UpdateCycleTest, DontShowAgainWithCancelStillSuppressesLaterPromptsAndLeavesMailOut) {
    set("updateSignaturesForOutlook", false);
    set("updateSignaturesForMail", true);
    bool heard = false;
    viewState.setNotifyBeforeShuttingDownMail(true);
    QObject::connect(&viewState, &BRSViewState::notifyBeforeShuttingDownMailChanged, [&] { heard = true; });
    alerts.enqueueAnswer({1, true});
    EXPECT_FALSE(run(two));
    EXPECT_TRUE(heard);
    EXPECT_FALSE(viewState.notifyBeforeShuttingDownMail());
    EXPECT_EQ(log, QStringList{QStringLiteral("script application \"Mail\" is running")})
        << "with Mail the only client, cancelling installs nothing and shows nothing more";
    EXPECT_EQ(alerts.shownAlerts().size(), 1);
}

TEST_F(UpdateCycleTest, ProgressCountsEveryInstallationOfEverySignatureInEveryClient) {
    set("updateSignaturesForMail", true);
    set("hideQuitMailInfobox", true);
    EXPECT_TRUE(run(two));
    EXPECT_EQ(progress, (QStringList{QStringLiteral("1/4"), QStringLiteral("2/4"), QStringLiteral("3/4"),
                                     QStringLiteral("4/4")}));
}

TEST_F(UpdateCycleTest, MailIsToldToQuitOncePerUpdateRightBeforeItsPart) {
    QList<BRSSignature> six;
    for (int i = 1; i <= 6; ++i) {
        six.append(BRSSignature(QStringLiteral("S%1").arg(i), QStringLiteral("<p>"), QString()));
    }
    set("updateSignaturesForMail", true);
    set("hideQuitMailInfobox", true);
    EXPECT_TRUE(run(six, true));
    ASSERT_EQ(quitsAt.size(), 1);
    EXPECT_EQ(log.at(quitsAt.front()), QStringLiteral("Apple Mail keep S1,S2,S3,S4,S5,S6"))
        << "after Outlook's part, before Mail's";

    // A quit Mail refuses does not keep its signatures from being written.
    quitFailure = Error{ErrorDomains::kOutlook, BRSAppleScript::kNotAuthorizedCode, QStringLiteral("no")};
    log.clear();
    EXPECT_TRUE(run(six));
    EXPECT_EQ(log.count(QStringLiteral("Apple Mail set S6 <p>")), 1);

    // Orlin quitting while Mail is told to quit drops Mail's part without a word.
    quitFailure->code = BRSAppleScript::kCancelledCode;
    log.clear();
    quitsAt.clear();
    const qsizetype shown = alerts.shownAlerts().size();
    EXPECT_FALSE(run(six));
    EXPECT_EQ(quitsAt.size(), 1);
    EXPECT_FALSE(log.join(QLatin1Char('\n')).contains(QStringLiteral("Apple Mail set")));
    EXPECT_EQ(installed, QList<bool>(6, false));
    EXPECT_EQ(alerts.shownAlerts().size(), shown);

    // Mail the user keeps running, or no signature at all, is not told to quit.
    set("hideQuitMailInfobox", false);
    alerts.enqueueAnswer({1, false});
    quitsAt.clear();
    EXPECT_FALSE(run(six));
    set("hideQuitMailInfobox", true);
    EXPECT_TRUE(run({}));
    EXPECT_TRUE(quitsAt.isEmpty());
}

TEST_F(UpdateCycleTest, AFailedProbeCountsAsMailNotRunning) {
    set("updateSignaturesForOutlook", false);
    set("updateSignaturesForMail", true);
    mailRunning = std::nullopt;
    EXPECT_TRUE(run(two));
    EXPECT_EQ(alerts.shownAlerts().size(), 1) << "no question, only the success alert";
    EXPECT_FALSE(log.contains(QStringLiteral("script tell application \"Mail\" to run")));
}

TEST_F(UpdateCycleTest, CleanRemovesBeforeInstallingIntoEachClient) {
    set("updateSignaturesForMail", true);
    set("hideQuitMailInfobox", true);
    set("hideInfobox", true);
    EXPECT_TRUE(run(two, true));
    EXPECT_EQ(log, (QStringList{QStringLiteral("Apple Mail iCloud=1"), QStringLiteral("Outlook keep A,B"),
                                QStringLiteral("Outlook set A <a>"), QStringLiteral("Outlook set B <b>"),
                                QStringLiteral("Apple Mail keep A,B"), QStringLiteral("Apple Mail set A <a>"),
                                QStringLiteral("Apple Mail set B <b>")}));
    EXPECT_TRUE(alerts.shownAlerts().isEmpty()) << "hideInfobox suppresses the success alert";

    log.clear();
    EXPECT_TRUE(run(two, false));
    EXPECT_FALSE(log.join(QLatin1Char('\n')).contains(QStringLiteral("keep"))) << "no clean, no removal";
}

TEST_F(UpdateCycleTest, AnEmptyListStillEndsWithTheSuccessAlert) {
    EXPECT_TRUE(run({}));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(alertMessages(), QStringList{kSuccess + QStringLiteral(" | ")});
}

TEST_F(UpdateCycleTest, AnOutlookFailureStillServesMailButSkipsRestartAndSuccess) {
    set("updateSignaturesForMail", true);
    failing = {QStringLiteral("A")};
    alerts.enqueueAnswer({0, false});
    EXPECT_FALSE(run(two));
    EXPECT_TRUE(log.contains(QStringLiteral("Apple Mail set B <b>")));
    EXPECT_FALSE(log.contains(QStringLiteral("script tell application \"Mail\" to run")));
    EXPECT_EQ(
        alertMessages(),
        (QStringList{QStringLiteral("We need to quit Apple Mail. | We need to quit Apple Mail to update your "
                                    "signatures. Please save any unsaved work in Mail before continuing."),
                     QStringLiteral("Outlook refused A | An error occurred while updating the signature 'A' "
                                    "in Outlook."),
                     QStringLiteral("Apple Mail refused A | An error occurred while updating the signature "
                                    "'A' in Apple Mail.")}));
}

TEST_F(UpdateCycleTest, OnlyASignatureEveryServedClientInstalledCountsAsInstalled) {
    const QList<BRSSignature> three =
        two +
        QList<BRSSignature>{BRSSignature(QStringLiteral("C"), QStringLiteral("<c>"), QStringLiteral("c"))};
    set("updateSignaturesForMail", true);
    set("hideQuitMailInfobox", true);
    failing = {QStringLiteral("A")};
    mailFailing = {QStringLiteral("C")};
    EXPECT_FALSE(run(three));
    EXPECT_EQ(installed, (QList<bool>{false, true, false}));

    // Mail left running by the user's Cancel has none of them, so the next check reports them again, and
    // the success alert for Outlook says Mail was skipped.
    set("hideQuitMailInfobox", false);
    alerts.enqueueAnswer({1, false});
    failing.clear();
    EXPECT_FALSE(run(three));
    EXPECT_EQ(installed, (QList<bool>{false, false, false}));
    ASSERT_FALSE(alerts.shownAlerts().isEmpty());
    EXPECT_EQ(alertMessages().last(),
              kSuccess + QStringLiteral(" | Apple Mail was not updated, because it was not quit."));

    // Quitting Orlin mid-update leaves the later clients without any of them.
    failing = {QStringLiteral("B")};
    outlookFailure =
        Error{ErrorDomains::kOutlook, BRSAppleScript::kCancelledCode, QStringLiteral("quitting")};
    set("hideQuitMailInfobox", true);
    EXPECT_FALSE(run(three));
    EXPECT_EQ(installed, (QList<bool>{false, false, false}));
}

TEST_F(UpdateCycleTest, ATimeOutEndsThatClientsPartWithOneAlertNamingItAndTheTimeOut) {
    set("updateSignaturesForMail", true);
    set("hideQuitMailInfobox", true);
    const Error timedOut{ErrorDomains::kOutlook, BRSAppleScript::kTimedOutCode,
                         QStringLiteral("The script did not answer within 150 seconds and was stopped.")};
    failing = {QStringLiteral("A"), QStringLiteral("B")};
    outlookFailure = timedOut;
    mail = [this] { return std::make_unique<RecordingInstaller>(QStringLiteral("Apple Mail"), log); };
    EXPECT_FALSE(run(two));
    EXPECT_EQ(log,
              (QStringList{QStringLiteral("Apple Mail iCloud=1"), QStringLiteral("Outlook set A <a>"),
                           QStringLiteral("Apple Mail set A <a>"), QStringLiteral("Apple Mail set B <b>")}))
        << "Outlook is not sent a second script; Mail is still served";
    EXPECT_EQ(alertMessages(), QStringList{QStringLiteral(
                                   "Outlook did not answer. | The script did not answer within 150 seconds "
                                   "and was stopped. The rest of your signatures were not installed in "
                                   "Outlook. Make sure Outlook is running and not waiting for you, then "
                                   "update again.")});
    EXPECT_EQ(installed, (QList<bool>{false, false}));

    // Mail's quit script: the signature written while it waited counts, the rest of Mail's part is skipped.
    set("updateSignaturesForOutlook", false);
    mail = [this] { return std::make_unique<NameRecordingMail>(log); };
    quitFailure = Error{ErrorDomains::kOutlook, BRSAppleScript::kTimedOutCode, QStringLiteral("No answer.")};
    log.clear();
    EXPECT_FALSE(run(two));
    EXPECT_EQ(log, (QStringList{QStringLiteral("Apple Mail iCloud=1"), QStringLiteral("Apple Mail set A")}));
    EXPECT_EQ(alertMessages().size(), 2);
    EXPECT_TRUE(alertMessages().last().startsWith(QStringLiteral("Apple Mail did not answer. | No answer.")));
    EXPECT_EQ(installed, (QList<bool>{true, false}));
}

TEST_F(UpdateCycleTest, TickingDontShowAgainOnTheSuccessAlertTurnsItOff) {
    alerts.enqueueAnswer({0, true});
    EXPECT_TRUE(run(two));
    EXPECT_FALSE(viewState.notifyAfterUpdate());
}

const QString kFullDiskAccess = QStringLiteral(
    "Orlin needs Full Disk Access to install signatures into Apple Mail. | Open System Settings › Privacy & "
    "Security › Full Disk Access, turn on Orlin, and update again.");

TEST_F(UpdateCycleTest, WithoutFullDiskAccessMailEndsWithOneAlertAndOutlookIsStillServed) {
    set("updateSignaturesForMail", true);
    set("hideQuitMailInfobox", true);
    mailFailing = {QStringLiteral("A"), QStringLiteral("B")};
    mailFailure = Error{ErrorDomains::kPosix, EPERM, QStringLiteral("Operation not permitted")};
    EXPECT_FALSE(run(two));
    EXPECT_EQ(log, (QStringList{QStringLiteral("Apple Mail iCloud=1"), QStringLiteral("Outlook set A <a>"),
                                QStringLiteral("Outlook set B <b>"), QStringLiteral("Apple Mail set A <a>")}))
        << "the refusal ends Apple Mail's part at its first signature";
    EXPECT_EQ(alertMessages(), QStringList{kFullDiskAccess}) << "one alert for the cycle, no success";
    EXPECT_EQ(alerts.shownAlerts().front().effectiveButtonTitles(), QStringList{QStringLiteral("OK")})
        << "nothing to open where there are no System Settings";

    // Where System Settings exist, the alert offers to open the pane the user needs.
    offersSystemSettings = true;
    alerts.enqueueAnswer({1, false});
    EXPECT_FALSE(run(two));
    ASSERT_EQ(alerts.shownAlerts().size(), 2);
    EXPECT_EQ(alerts.shownAlerts().back().effectiveButtonTitles(),
              (QStringList{QStringLiteral("OK"), QStringLiteral("Open System Settings")}));
    EXPECT_EQ(openedUrls, QStringList{QStringLiteral(
                              "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles")});

    // Another refusal of the operating system is an ordinary failure, told per signature.
    mailFailure->code = EACCES;
    EXPECT_FALSE(run(two));
    EXPECT_EQ(alerts.shownAlerts().size(), 4);

    // Without Full Disk Access in the system (Linux), EPERM too is an ordinary failure with its reason.
    fullDiskAccessApplies = false;
    mailFailure->code = EPERM;
    EXPECT_FALSE(run(two));
    EXPECT_EQ(alertMessages().mid(4),
              (QStringList{QStringLiteral("Operation not permitted | An error occurred while updating the "
                                          "signature 'A' in Apple Mail."),
                           QStringLiteral("Operation not permitted | An error occurred while updating the "
                                          "signature 'B' in Apple Mail.")}));
}

TEST_F(UpdateCycleTest, ARefusedAutomationConsentGetsOneAlertPerUpdateThatOffersItsPane) {
    set("updateSignaturesForMail", true);
    set("hideQuitMailInfobox", true);
    failing = {QStringLiteral("A"), QStringLiteral("B")};
    outlookFailure = Error{ErrorDomains::kOutlook, -1743,
                           QStringLiteral("Not authorized to send Apple events to Microsoft Outlook.")};
    mailFailure = outlookFailure;
    offersSystemSettings = true;
    alerts.enqueueAnswer({1, false});
    EXPECT_FALSE(run(two));
    EXPECT_EQ(log, (QStringList{QStringLiteral("Apple Mail iCloud=1"), QStringLiteral("Outlook set A <a>"),
                                QStringLiteral("Apple Mail set A <a>")}))
        << "the refusal ends each client's part at its first signature";
    EXPECT_EQ(alertMessages(),
              QStringList{QStringLiteral(
                  "Orlin is not allowed to control Microsoft Outlook. | Open System Settings › Privacy & "
                  "Security › Automation, allow Orlin to control Microsoft Outlook (and Mail), and update "
                  "again.")})
        << "one alert for the whole update, no success";
    EXPECT_EQ(openedUrls, QStringList{UpdateCycle::kAutomationPane});

    // The next update asks again.
    EXPECT_FALSE(run(two));
    EXPECT_EQ(alerts.shownAlerts().size(), 2);
}

TEST_F(UpdateCycleTest, AScriptGivenUpBecauseOrlinQuitsEndsTheUpdateWithoutAWord) {
    set("updateSignaturesForMail", true);
    failing = {QStringLiteral("A")};
    outlookFailure =
        Error{ErrorDomains::kOutlook, BRSAppleScript::kCancelledCode, QStringLiteral("quitting")};
    mailRunning = QStringLiteral("false");
    EXPECT_FALSE(run(two));
    EXPECT_EQ(log, (QStringList{QStringLiteral("script application \"Mail\" is running"),
                                QStringLiteral("Apple Mail iCloud=1"), QStringLiteral("Outlook set A <a>")}));
    EXPECT_TRUE(alerts.shownAlerts().isEmpty());
}

TEST_F(UpdateCycleTest, TheNewOutlookGetsNoScriptAndOneAlertWhileMailIsServedAndRestarted) {
    set("updateSignaturesForMail", true);
    newOutlook = true;
    alerts.enqueueAnswer({0, false});
    EXPECT_FALSE(run(two, true));
    EXPECT_EQ(log,
              (QStringList{QStringLiteral("script application \"Mail\" is running"),
                           QStringLiteral("Apple Mail iCloud=1"), QStringLiteral("Apple Mail keep A,B"),
                           QStringLiteral("Apple Mail set A <a>"), QStringLiteral("Apple Mail set B <b>"),
                           QStringLiteral("script tell application \"Mail\" to run")}));
    EXPECT_EQ(
        alertMessages(),
        (QStringList{QStringLiteral("The new Outlook cannot receive signatures from Orlin. | Switch "
                                    "Outlook to Legacy Outlook to install your Orlin signatures, or ask "
                                    "your Orlin administrator about signatures for the new Outlook."),
                     QStringLiteral("We need to quit Apple Mail. | We need to quit Apple Mail to update "
                                    "your signatures. Please save any unsaved work in Mail before "
                                    "continuing.")}))
        << "no success is claimed for a cycle that left Outlook out";

    // Outlook's mode does not matter to a user who serves only Apple Mail.
    set("updateSignaturesForOutlook", false);
    set("hideQuitMailInfobox", true);
    EXPECT_TRUE(run(two));
    EXPECT_EQ(alertMessages().mid(2), QStringList{kSuccess + QStringLiteral(" | ")});
}

}  // namespace
