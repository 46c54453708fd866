#include "BRSAppDelegate.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "BRSAppleScript.h"
#include "BRSOutlookService.h"
#include "BRSViewState.h"
#include "FakeFrontEnd.h"
#include "PreferencesStorage.h"
#include "QtRepeatingTimer.h"
#include "RecordingInstaller.h"
#include "ServiceTransport.h"
#include "UrlErrors.h"
#include "UserDefaults.h"

namespace {

using Text = std::optional<QString>;

const BRSLoginCredentials kNoCredentials = BRSLoginCredentials::initWithUserName(std::nullopt, std::nullopt);
const BRSLoginCredentials kToken = BRSLoginCredentials::initWithToken(QStringLiteral("refresh-1"));
const BRSLoginCredentials kDomainToken =
    BRSLoginCredentials::initWithDomainToken(QStringLiteral("domain-1"), QStringLiteral("ann"));
const Error kOffline{QStringLiteral("NSURLErrorDomain"), -1009, QStringLiteral("offline")};

// Time for the run loop's own timer, moved on by hand: each interval that passes lets a tick fall due.
class ManualClock final {
public:
    [[nodiscard]] QtRepeatingTimer::TickSource source() {
        return [this](std::chrono::milliseconds interval, std::function<void()> fellDue) {
            interval_ = interval;
            fellDue_ = std::move(fellDue);
            sinceLastTick_ = std::chrono::milliseconds(0);
        };
    }

    void advance(std::chrono::milliseconds by) {
        sinceLastTick_ += by;
        while (fellDue_ && interval_.count() > 0 && sinceLastTick_ >= interval_) {
            sinceLastTick_ -= interval_;
            fellDue_();
        }
    }

private:
    std::chrono::milliseconds interval_{0};
    std::chrono::milliseconds sinceLastTick_{0};
    std::function<void()> fellDue_;
};

class BRSAppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override { testDefaults().resetForTesting(); }
    void TearDown() override { testDefaults().resetForTesting(); }

    BRSAppDelegate& makeController() {
        BRSAppDelegate::Dependencies dependencies;
        dependencies.frontEnd = &frontEnd;
        dependencies.defaults = &testDefaults();
        dependencies.backend = SyncBackend::live(testEnvironment());
        dependencies.mailClients = UpdateCycle::MailClients::live(testEnvironment());
        dependencies.makeTimer = [this]() -> std::unique_ptr<RepeatingTimer> {
            if (runLoopTimer) {
                return std::make_unique<QtRepeatingTimer>(clock.source());
            }
            auto made = std::make_unique<ManualTimer>();
            timer = made.get();
            return made;
        };
        dependencies.configureLogging = [this] { frontEnd.log.append(QStringLiteral("logging")); };
        SyncBackend& backend = dependencies.backend;
        backend.getCredentials = [this] { return credentials; };
        backend.storeSignIn = [this](const OrlinSyncService::SignIn& signIn) {
            storedTokens.append({signIn.refreshToken, signIn.userName});
        };
        backend.checkForSignatureUpdates = [this](const BRSLoginCredentials&,
                                                  BRSSignatureService::CheckCompletion completion) {
            frontEnd.log.append(QStringLiteral("check"));
            checks.push_back(std::move(completion));
        };
        backend.getSignaturesForUpdate = [this](const BRSLoginCredentials&, bool onlyChanged,
                                                BRSSignatureService::UpdateCompletion completion) {
            frontEnd.log.append(QStringLiteral("retrieve onlyChanged=%1").arg(onlyChanged));
            retrievals.push_back(std::move(completion));
        };
        backend.cacheDigests = [this](const QList<BRSSignatureService::CachedDigest>& digests) {
            for (const BRSSignatureService::CachedDigest& kept : digests) {
                cachedDigests.append(kept.name + QLatin1Char(' ') + QString::fromLatin1(kept.digest));
            }
        };
        backend.getProfile = [this](const BRSLoginCredentials& used,
                                    OrlinSyncService::ProfileCompletion completion) {
            frontEnd.log.append(QStringLiteral("getProfile"));
            profileCredentials = used;
            profileRequests.push_back(std::move(completion));
        };
        backend.saveProfile = [this](const BRSLoginCredentials& used, const ProfileUpdateModel& model,
                                     OrlinSyncService::SaveCompletion completion) {
            frontEnd.log.append(QStringLiteral("saveProfile"));
            saveCredentials = used;
            savedModels.append(model);
            saveRequests.push_back(std::move(completion));
        };
        dependencies.mailClients.makeOutlook = [this]() -> std::unique_ptr<BRSMailAppService> {
            if (outlook) {
                return outlook();
            }
            return std::make_unique<RecordingInstaller>(QStringLiteral("Outlook"), frontEnd.log);
        };
        dependencies.mailClients.makeAppleMail = [this](bool) {
            return std::make_unique<RecordingInstaller>(QStringLiteral("Apple Mail"), frontEnd.log);
        };
        dependencies.mailClients.runAppleScript = [](const QString&) -> Result<QString> {
            return BRSAppleScript::genericError();
        };
        controller = std::make_unique<BRSAppDelegate>(std::move(dependencies));
        controller->statusPresenter().connectMenu(menu);
        return *controller;
    }

    BRSAppDelegate& launch() {
        makeController().applicationDidFinishLaunching();
        return *controller;
    }

    // Answers the oldest pending check.
    void answerCheck(bool updatesAvailable, std::optional<Error> error = std::nullopt,
                     Text token = QStringLiteral("refresh-2"), Text userName = QStringLiteral("ann")) {
        ASSERT_FALSE(checks.empty());
        auto completion = std::move(checks.front());
        checks.erase(checks.begin());
        if (error) {
            completion({*error, {token, userName}});
        } else {
            completion({BRSSignatureService::CheckOutcome{updatesAvailable}, {token, userName}});
        }
    }

    // Answers a pending retrieval with what arrived, or with why nothing did.
    static void retrieved(const BRSSignatureService::UpdateCompletion& completion,
                          Result<BRSSignatureService::UpdateOutcome> result, Text token = std::nullopt,
                          Text userName = std::nullopt) {
        completion({std::move(result), {std::move(token), std::move(userName)}});
    }

    BRSViewState& state() { return *controller->viewState(); }
    RecordingStatusView& view() { return *frontEnd.statusView; }
    // The log from the given entry on.
    QStringList logSince(qsizetype from) const { return frontEnd.log.mid(from); }

    FakeFrontEnd frontEnd;
    FakeStatusMenu menu{frontEnd.log};
    ManualTimer* timer = nullptr;
    // Set to install into this Outlook instead of the recording one.
    std::function<std::unique_ptr<BRSMailAppService>()> outlook;
    // Set to run the launch with the run loop's timer, on `clock`, instead of the hand-fired one.
    bool runLoopTimer = false;
    ManualClock clock;
    BRSLoginCredentials credentials = kNoCredentials;
    std::vector<BRSSignatureService::CheckCompletion> checks;
    std::vector<BRSSignatureService::UpdateCompletion> retrievals;
    std::vector<OrlinSyncService::ProfileCompletion> profileRequests;
    std::vector<OrlinSyncService::SaveCompletion> saveRequests;
    std::optional<BRSLoginCredentials> profileCredentials;
    std::optional<BRSLoginCredentials> saveCredentials;
    QList<ProfileUpdateModel> savedModels;
    QList<std::pair<Text, Text>> storedTokens;
    QStringList cachedDigests;
    std::unique_ptr<BRSAppDelegate> controller;
};

TEST_F(BRSAppDelegateTest, LaunchRunsItsStepsInOrderAndTicksAtOnce) {
    launch();

    const QStringList expected = {
        QStringLiteral("logging"),
        QStringLiteral("create BRSPreferencesWindowController"),
        QStringLiteral("create BRSAboutWindowController"),
        QStringLiteral("create BRSCredentialsWindowController"),
        QStringLiteral("create Profile2WindowController"),
        // harIndtastetToken: the menus follow the stored credentials.
        QStringLiteral("menu update disabled"),
        QStringLiteral("menu enter-token enabled"),
        QStringLiteral("menu preferences enabled"),
        QStringLiteral("create status view"),
        QStringLiteral("status-menu on"),
        QStringLiteral("status-image Orlin_Avatar_20x20"),
        QStringLiteral("install main menu"),
        // The first tick, fired by hand inside the launch.
        QStringLiteral("menu update disabled"),
        QStringLiteral("menu enter-token enabled"),
        QStringLiteral("menu preferences enabled"),
        QStringLiteral("popover ") + StatusPresenter::kGetStartedText,
    };
    EXPECT_EQ(frontEnd.log, expected);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval, std::chrono::seconds(300));
    EXPECT_EQ(timer->schedules, 1);
    EXPECT_EQ(timer->fires, 1);
    EXPECT_EQ(frontEnd.windows.value(QStringLiteral("BRSCredentialsWindowController"))->viewState,
              controller->viewState());
}

TEST_F(BRSAppDelegateTest, WithoutCredentialsEveryTickShowsTheGetStartedPopoverAndMakesNoRequest) {
    launch();
    timer->fire();
    timer->fire();

    EXPECT_EQ(view().popovers, QStringList(3, StatusPresenter::kGetStartedText));
    EXPECT_TRUE(checks.empty());
    EXPECT_FALSE(menu.update.isEnabled());
    EXPECT_TRUE(menu.enterToken.isEnabled());
    EXPECT_TRUE(menu.preferences.isEnabled());
}

TEST_F(BRSAppDelegateTest, MenusFollowTheFormOfTheCredentials) {
    credentials = kDomainToken;
    launch();
    EXPECT_TRUE(menu.update.isEnabled());
    EXPECT_FALSE(menu.enterToken.isEnabled());
    EXPECT_FALSE(menu.preferences.isEnabled());
    EXPECT_EQ(checks.size(), 1u);

    credentials = kToken;
    EXPECT_TRUE(controller->statusPresenter().enableDisableMenus(credentials));
    EXPECT_TRUE(menu.update.isEnabled());
    EXPECT_TRUE(menu.enterToken.isEnabled());
    EXPECT_TRUE(menu.preferences.isEnabled());

    EXPECT_TRUE(controller->statusPresenter().enableDisableMenus(
        BRSLoginCredentials::initWithUserName(QStringLiteral("u"), {})));
    EXPECT_TRUE(controller->statusPresenter().enableDisableMenus(
        BRSLoginCredentials::initWithDomainToken(QStringLiteral("domain-1"), QString())))
        << "a domain token is usable without a user name";
    EXPECT_FALSE(controller->statusPresenter().enableDisableMenus(std::nullopt));
    EXPECT_FALSE(menu.update.isEnabled());
    EXPECT_TRUE(menu.enterToken.isEnabled());
}

TEST_F(BRSAppDelegateTest, EverySetOfHarIndtastetTokenReevaluatesTheMenusWithFreshCredentials) {
    launch();
    ASSERT_FALSE(menu.update.isEnabled());

    credentials = kToken;
    state().setHarIndtastetToken(true);
    EXPECT_TRUE(menu.update.isEnabled());

    credentials = kDomainToken;
    const qsizetype before = frontEnd.log.size();
    state().setHarIndtastetToken(true);  // the same value again
    EXPECT_EQ(logSince(before),
              (QStringList{QStringLiteral("menu update enabled"), QStringLiteral("menu enter-token disabled"),
                           QStringLiteral("menu preferences disabled"), QStringLiteral("menu update enabled"),
                           QStringLiteral("status-tooltip ") + StatusPresenter::kCheckingText,
                           QStringLiteral("check")}));
}

TEST_F(BRSAppDelegateTest, ASavedAccessCodeIsCheckedAtOnceByTheTicksRules) {
    launch();
    EXPECT_TRUE(checks.empty()) << "launch lowers the flag, which checks nothing";

    credentials = kToken;
    state().setHarIndtastetToken(true);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_TRUE(menu.update.isEnabled());
    answerCheck(false, Error{QStringLiteral("any"), -1012, QStringLiteral("bad code")});
    EXPECT_EQ(view().imageName, StatusImages::kError);
    EXPECT_EQ(view().tooltip, StatusPresenter::kConnectionProblemText);
    EXPECT_TRUE(frontEnd.alerts.shownAlerts().isEmpty()) << "a check reports through the icon only";
}

TEST_F(BRSAppDelegateTest, CheckOutcomesSwitchIconTooltipAndMenu) {
    credentials = kToken;
    launch();

    answerCheck(false);
    EXPECT_EQ(view().imageName, StatusImages::kOk);
    EXPECT_EQ(view().tooltip, std::nullopt);
    EXPECT_EQ(view().menu, &menu);
    EXPECT_FALSE(state().hasError());

    timer->fire();
    EXPECT_EQ(view().tooltip, StatusPresenter::kCheckingText) << "while the check waits on the service";
    answerCheck(false, Error{QStringLiteral("NSURLErrorDomain"), -1009, QStringLiteral("offline")});
    EXPECT_EQ(view().imageName, StatusImages::kError);
    EXPECT_EQ(view().tooltip, StatusPresenter::kConnectionProblemText);
    EXPECT_TRUE(state().hasError());
    EXPECT_FALSE(state().areUpdatesAvailable());
    EXPECT_TRUE(view().popovers.isEmpty()) << "a failed check shows no popover";
    EXPECT_TRUE(frontEnd.alerts.shownAlerts().isEmpty()) << "nor an alert";

    timer->fire();
    answerCheck(true);
    EXPECT_EQ(view().imageName, StatusImages::kNotify);
    EXPECT_EQ(view().tooltip, StatusPresenter::kUpdatesAvailableText);
    EXPECT_EQ(view().popovers, QStringList{StatusPresenter::kUpdatesAvailableText});

    timer->fire();
    answerCheck(true);
    EXPECT_EQ(view().popovers.size(), 2) << "the popover shows again on every tick while updates wait";

    timer->fire();
    answerCheck(false);
    EXPECT_EQ(view().imageName, StatusImages::kOk);
    EXPECT_EQ(view().tooltip, std::nullopt);
    EXPECT_TRUE(retrievals.empty()) << "no automatic update unless the user chose it";
}

TEST_F(BRSAppDelegateTest, EveryCheckThatBringsATokenStoresItEvenAFailedOne) {
    credentials = kToken;
    launch();
    answerCheck(false, std::nullopt, QStringLiteral("refresh-2"), QStringLiteral("ann"));
    timer->fire();
    answerCheck(false, std::nullopt, QString(), QStringLiteral("ann"));
    timer->fire();
    answerCheck(false, std::nullopt, std::nullopt, std::nullopt);
    timer->fire();
    // The answer after the sign-in was unreadable; the token it rotated is the only one still valid.
    answerCheck(false, Error::serviceError(QStringLiteral("no")), QStringLiteral("refresh-3"), {});

    ASSERT_EQ(storedTokens.size(), 2);
    EXPECT_EQ(storedTokens.front().first, QStringLiteral("refresh-2"));
    EXPECT_EQ(storedTokens.front().second, QStringLiteral("ann"));
    EXPECT_EQ(storedTokens.back().first, QStringLiteral("refresh-3"));

    // An update and a profile fetch that fail after signing in keep their token too.
    controller->updateAllSignatures();
    ASSERT_EQ(retrievals.size(), 1u);
    retrieved(retrievals.front(), Error::serviceError(QStringLiteral("unreadable")),
              QStringLiteral("refresh-4"), QStringLiteral("ann"));
    controller->showProfile();
    ASSERT_EQ(profileRequests.size(), 1u);
    profileRequests.front()({Error::serviceError(QStringLiteral("unreadable")),
                             {QStringLiteral("refresh-5"), QStringLiteral("ann")}});
    ASSERT_EQ(storedTokens.size(), 4);
    EXPECT_EQ(storedTokens[2].first, QStringLiteral("refresh-4"));
    EXPECT_EQ(storedTokens[3].first, QStringLiteral("refresh-5"));
}

TEST_F(BRSAppDelegateTest, AutomaticUpdateStartsBeforeTheNotifyIconAndItsEndRestoresTheDefaultStatus) {
    testDefaults().setBool(true, QStringLiteral("updateSignaturesAutomatically"));
    credentials = kToken;
    launch();
    const qsizetype before = frontEnd.log.size();
    answerCheck(true);

    const QStringList afterCheck = logSince(before);
    const qsizetype updating = afterCheck.indexOf(QStringLiteral("status-image ") + StatusImages::kUpdating);
    const qsizetype notify = afterCheck.indexOf(QStringLiteral("status-image ") + StatusImages::kNotify);
    ASSERT_GE(updating, 0);
    ASSERT_GE(notify, 0);
    EXPECT_LT(updating, notify);
    EXPECT_TRUE(afterCheck.contains(QStringLiteral("retrieve onlyChanged=0")));
    EXPECT_TRUE(state().isUpdating());
    EXPECT_EQ(view().tooltip, StatusPresenter::kUpdatingText) << "not the updates-available text";
    EXPECT_EQ(view().menu, &menu) << "the menu, and Quit with it, stays while the update runs";
    EXPECT_FALSE(menu.update.isEnabled());
    EXPECT_FALSE(menu.preferences.isEnabled());
    EXPECT_EQ(view().popovers, QStringList{StatusPresenter::kUpdatesAvailableText});

    ASSERT_EQ(retrievals.size(), 1u);
    retrieved(retrievals.front(), Error::serviceError(QStringLiteral("down")));
    EXPECT_FALSE(state().isUpdating());
    EXPECT_TRUE(menu.preferences.isEnabled());
    EXPECT_TRUE(menu.update.isEnabled());
    EXPECT_EQ(view().menu, &menu);
    EXPECT_EQ(view().imageName, StatusImages::kError) << "a failed retrieval is a failure, not an ok";
    ASSERT_EQ(frontEnd.alerts.shownAlerts().size(), 1);
    EXPECT_EQ(frontEnd.alerts.shownAlerts().front().messageText, QStringLiteral("down"));
}

TEST_F(BRSAppDelegateTest, AnUpdateInstallsWhatArrivedStoresTheTokenAndEnds) {
    credentials = kToken;
    launch();
    bool finished = false;
    bool succeeded = false;
    controller->setUpdateFinishedHandler([&](bool ok) {
        finished = true;
        succeeded = ok;
    });
    controller->updateAllSignatures();
    EXPECT_TRUE(state().isUpdating());
    ASSERT_EQ(retrievals.size(), 1u);
    const qsizetype before = frontEnd.log.size();
    retrieved(retrievals.front(),
              BRSSignatureService::UpdateOutcome(
                  {BRSSignature(QStringLiteral("A"), QStringLiteral("<b>A</b>"), QString())}, {}, true),
              QStringLiteral("refresh-9"), QStringLiteral("ann"));

    EXPECT_TRUE(finished);
    EXPECT_TRUE(succeeded);
    EXPECT_FALSE(state().isUpdating());
    const QStringList after = logSince(before);
    EXPECT_EQ(after.mid(0, 3),
              (QStringList{QStringLiteral("Outlook keep A"),
                           QStringLiteral("status-tooltip Updating your signatures (1 of 1)…"),
                           QStringLiteral("Outlook set A <b>A</b>")}));
    EXPECT_EQ(after.last(), QStringLiteral("status-image ") + StatusImages::kOk);
    ASSERT_EQ(frontEnd.alerts.shownAlerts().size(), 1);
    EXPECT_EQ(frontEnd.alerts.shownAlerts().front().messageText,
              QStringLiteral("Your signatures have been updated successfully."));
    ASSERT_EQ(storedTokens.size(), 1);
    EXPECT_EQ(storedTokens.front().first, QStringLiteral("refresh-9"));
}

TEST_F(BRSAppDelegateTest, AnUpdateCachesTheDigestsOfWhatEveryClientInstalledAndNothingElse) {
    outlook = [this] {
        return std::make_unique<RecordingInstaller>(QStringLiteral("Outlook"), frontEnd.log,
                                                    QStringList{QStringLiteral("B")});
    };
    credentials = kToken;
    launch();
    std::optional<bool> succeeded;
    controller->setUpdateFinishedHandler([&](bool ok) { succeeded = ok; });
    controller->updateAllSignatures();
    ASSERT_EQ(retrievals.size(), 1u);
    retrieved(retrievals.front(), BRSSignatureService::UpdateOutcome(
                                      {BRSSignature(QStringLiteral("A"), QStringLiteral("<a>"), QString()),
                                       BRSSignature(QStringLiteral("B"), QStringLiteral("<b>"), QString())},
                                      {QByteArrayLiteral("da"), QByteArrayLiteral("db")}));
    EXPECT_EQ(succeeded, false);
    EXPECT_EQ(cachedDigests, QStringList{QStringLiteral("A da")}) << "B failed in Outlook";
}

TEST_F(BRSAppDelegateTest, WhileAScriptHangsTheMenuStaysAndQuitEndsTheUpdateAtOnce) {
    // An Outlook that never answers its Apple event: the script process reads nothing and waits.
    const QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("osascript"));
    QFile file(program);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexec sleep 600\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    outlook = [program] {
        return std::make_unique<BRSOutlookService>(BRSAppleScript(
            ScriptProcess({.program = program, .environment = {}, .timeout = std::chrono::minutes(2)})));
    };
    credentials = kToken;
    launch();
    std::optional<bool> updateSucceeded;
    controller->setUpdateFinishedHandler([&](bool ok) { updateSucceeded = ok; });
    controller->updateAllSignatures();

    // What the user does while the script waits: open the menu, then choose Quit.
    bool menuWasThere = false;
    QTimer::singleShot(300, [&] {
        menuWasThere = view().menu == &menu && !menu.update.isEnabled();
        QCoreApplication::exit(0);
    });
    QElapsedTimer quitting;
    QTimer::singleShot(0, [&] {
        retrieved(retrievals.front(), BRSSignatureService::UpdateOutcome({BRSSignature(
                                          QStringLiteral("A"), QStringLiteral("<a>"), QString())}));
    });
    quitting.start();
    QCoreApplication::exec();

    EXPECT_TRUE(menuWasThere) << "the event loop ran, with the menu in place, while the script waited";
    EXPECT_LT(quitting.elapsed(), 5000) << "Quit waited for the script";
    EXPECT_EQ(updateSucceeded, false);
    EXPECT_FALSE(state().isUpdating());
    EXPECT_TRUE(frontEnd.alerts.shownAlerts().isEmpty()) << "nothing to say to a user who quits";
}

TEST_F(BRSAppDelegateTest, AnUpdateEndsOnTheOutcomeOfItsOwnRetrieval) {
    credentials = kToken;
    launch();
    answerCheck(false, kOffline);
    ASSERT_EQ(view().imageName, StatusImages::kError);

    controller->updateAllSignatures();
    retrieved(retrievals.back(), BRSSignatureService::UpdateOutcome());
    EXPECT_FALSE(state().hasError());
    EXPECT_EQ(view().imageName, StatusImages::kOk) << "the update cleared the failed check's error";
    EXPECT_EQ(view().tooltip, std::nullopt);

    controller->updateAllSignatures();
    retrieved(retrievals.back(), kOffline);
    EXPECT_TRUE(state().hasError());
    EXPECT_EQ(view().imageName, StatusImages::kError);
    EXPECT_EQ(view().tooltip, StatusPresenter::kConnectionProblemText);
    EXPECT_EQ(view().menu, &menu);
    EXPECT_EQ(frontEnd.alerts.shownAlerts().last().messageText, QStringLiteral("offline"));
}

TEST_F(BRSAppDelegateTest, AnOpenAlertHoldsThePollAndTheTicksThatFellDueRunOnceWhenItCloses) {
    testDefaults().setBool(true, QStringLiteral("updateSignaturesAutomatically"));
    credentials = kToken;
    const std::chrono::milliseconds interval = BRSAppDelegate::kPollInterval;
    runLoopTimer = true;
    launch();
    answerCheck(true);
    ASSERT_EQ(retrievals.size(), 1u);

    // The success alert stays open across five and a half intervals.
    std::optional<std::size_t> checksWhileOpen;
    frontEnd.alerts.setWhileOpen([&](const Alert&) {
        clock.advance(interval * 11 / 2);
        checksWhileOpen = checks.size();
    });
    retrieved(retrievals.front(), BRSSignatureService::UpdateOutcome());
    ASSERT_TRUE(checksWhileOpen.has_value()) << "the success alert was shown";
    EXPECT_EQ(*checksWhileOpen, 0u);
    EXPECT_FALSE(state().isUpdating());
    EXPECT_TRUE(checks.empty()) << "nor inside the update's own completion";

    QCoreApplication::processEvents();
    EXPECT_EQ(checks.size(), 1u) << "one tick for all that fell due, as soon as the loop is back";

    clock.advance(interval);
    EXPECT_EQ(checks.size(), 2u) << "the schedule resumes";
}

TEST_F(BRSAppDelegateTest, AlertOptionsAreSeededFromThePreferencesAndWrittenBack) {
    testDefaults().setBool(true, QStringLiteral("hideInfobox"));
    launch();
    EXPECT_FALSE(state().notifyAfterUpdate());
    EXPECT_TRUE(state().notifyBeforeShuttingDownMail());

    state().setNotifyBeforeShuttingDownMail(false);
    EXPECT_TRUE(PreferencesStorage(testDefaults()).getPreferences().hideQuitMailInfobox());
    state().setNotifyAfterUpdate(true);
    EXPECT_FALSE(PreferencesStorage(testDefaults()).getPreferences().hideInfobox());

    const FakeWindow* preferences = frontEnd.windows.value(QStringLiteral("BRSPreferencesWindowController"));
    ASSERT_EQ(preferences->observations.size(), 4);
    EXPECT_EQ(preferences->observations.at(0).first, QStringLiteral("notifyAfterUpdate"));
    EXPECT_EQ(preferences->observations.at(1).first, QStringLiteral("notifyBeforeShuttingDownMail"));
    for (const auto& [key, context] : preferences->observations) {
        EXPECT_EQ(context, controller->viewState()) << key.toStdString();
    }
}

TEST_F(BRSAppDelegateTest, PopoverBeforeTheStatusViewExistsDoesNothing) {
    makeController();
    controller->statusPresenter().showPopoverWithText(QStringLiteral("early"));
    controller->statusPresenter().setStatusImageForName(StatusImages::kOk);
    EXPECT_EQ(frontEnd.statusView, nullptr);
    EXPECT_TRUE(frontEnd.log.isEmpty());
}

TEST_F(BRSAppDelegateTest, UnknownImageNamesLeaveTheItemWithoutAnImage) {
    launch();
    controller->statusPresenter().setStatusImageForName(QStringLiteral("no such image"));
    EXPECT_EQ(view().imageName, std::nullopt);
    EXPECT_EQ(frontEnd.log.last(), QStringLiteral("status-image "));
}

TEST_F(BRSAppDelegateTest, ConnectionAlertNamesBadCredentialsForUnreadableAnswersAndCancelledAuthentication) {
    const QString informative = QStringLiteral(
        "An error occurred while connecting to Orlin. Please check your network connection and your "
        "credentials "
        "and try again.");
    for (const qint64 code : {qint64{3840}, qint64{-1012}}) {
        const Alert alert =
            BRSAppDelegate::connectionErrorAlert(Error{QStringLiteral("any"), code, QStringLiteral("raw")});
        EXPECT_EQ(alert.messageText, QStringLiteral("Did you enter an incorrect username or password?"))
            << code;
        EXPECT_EQ(alert.informativeText, informative);
        EXPECT_EQ(alert.effectiveButtonTitles(), QStringList{QStringLiteral("OK")});
    }
    // A proxy's refusal is no hint at the access code.
    const Alert proxy = BRSAppDelegate::connectionErrorAlert(
        Error{UrlErrors::kDomain, ServiceTransport::kProxyAuthenticationRequired, QStringLiteral("raw")});
    EXPECT_EQ(proxy.messageText,
              QStringLiteral("Your network's proxy server asked Orlin to sign in (HTTP 407). Ask your "
                             "administrator for proxy access for Orlin."));
    const Alert other = BRSAppDelegate::connectionErrorAlert(
        Error{QStringLiteral("any"), -1001, QStringLiteral("The request timed out.")});
    EXPECT_EQ(other.messageText, QStringLiteral("The request timed out."));
    EXPECT_EQ(other.informativeText, informative);

    ScriptedAlertPresenter presenter;
    BRSAppDelegate::showAlert(Error::serviceError(QStringLiteral("x")), presenter);
    ASSERT_EQ(presenter.shownAlerts().size(), 1);
    EXPECT_EQ(presenter.shownAlerts().front().messageText, QStringLiteral("x"));
}

TEST_F(BRSAppDelegateTest, WindowActionsCentreActivateAndShowTheirWindow) {
    launch();
    const struct {
        void (BRSAppDelegate::*action)();
        const char* resource;
    } cases[] = {
        {&BRSAppDelegate::showPreferences, "BRSPreferencesWindowController"},
        {&BRSAppDelegate::showAbout, "BRSAboutWindowController"},
        {&BRSAppDelegate::showEnterToken, "BRSCredentialsWindowController"},
    };
    for (const auto& c : cases) {
        const qsizetype before = frontEnd.log.size();
        (controller.get()->*c.action)();
        const QString name = QString::fromLatin1(c.resource);
        EXPECT_EQ(logSince(before), (QStringList{QStringLiteral("center ") + name, QStringLiteral("activate"),
                                                 QStringLiteral("show ") + name}));
    }
}

TEST_F(BRSAppDelegateTest, ProfileEditingShowsTheWindowAtOnceAndSavesWithTheSameCredentials) {
    credentials = kToken;
    launch();
    const qsizetype before = frontEnd.log.size();
    controller->showProfile();
    EXPECT_EQ(logSince(before),
              (QStringList{QStringLiteral("center Profile2WindowController"), QStringLiteral("activate"),
                           QStringLiteral("getProfile"), QStringLiteral("show Profile2WindowController")}));

    credentials = kNoCredentials;  // what the save uses is what the fetch read
    ProfileGetModel profile;
    profile.editable = true;
    profile.fields.append(
        FieldGetModel{QStringLiteral("title"), QStringLiteral("Title"), false, std::nullopt, {}, {}});
    ASSERT_EQ(profileRequests.size(), 1u);
    profileRequests.front()({profile, {QStringLiteral("refresh-5"), QStringLiteral("ann")}});
    FakeWindow* editor = frontEnd.windows.value(QStringLiteral("Profile2WindowController"));
    ASSERT_TRUE(editor->profile.has_value());
    EXPECT_EQ(editor->profile->fields.size(), 1);
    ASSERT_EQ(storedTokens.size(), 1);

    ASSERT_TRUE(editor->onSave);
    editor->onSave(
        ProfileUpdateModel({FieldUpdateModel(QStringLiteral("title"), QStringLiteral("CEO"))}, {}));
    ASSERT_EQ(saveRequests.size(), 1u);
    EXPECT_EQ(saveCredentials->token(), kToken.token());
    EXPECT_EQ(savedModels.front().fields().front().value(), QStringLiteral("CEO"));

    saveRequests.front()({Error{QStringLiteral("any"), 3840, QStringLiteral("bad")}, {}});
    ASSERT_EQ(frontEnd.alerts.shownAlerts().size(), 1);
    EXPECT_EQ(frontEnd.alerts.shownAlerts().front().messageText,
              QStringLiteral("Did you enter an incorrect username or password?"));
}

TEST_F(BRSAppDelegateTest, AProfileTheServiceSavedIsCheckedForChangedSignaturesAtOnce) {
    credentials = kToken;
    launch();
    controller->showProfile();
    profileRequests.front()({ProfileGetModel{}, {QStringLiteral("refresh-5"), QStringLiteral("ann")}});
    FakeWindow* editor = frontEnd.windows.value(QStringLiteral("Profile2WindowController"));
    ASSERT_TRUE(editor->onSave);
    editor->onSave(ProfileUpdateModel({}, {}));
    ASSERT_EQ(saveRequests.size(), 1u);
    const std::size_t before = checks.size();
    saveRequests.front()({OrlinSyncService::Saved{}, {QStringLiteral("refresh-6"), QStringLiteral("ann")}});
    EXPECT_EQ(checks.size(), before + 1);
    EXPECT_TRUE(frontEnd.alerts.shownAlerts().isEmpty());
}

TEST_F(BRSAppDelegateTest, AFailedProfileFetchShowsTheConnectionAlertAndLeavesTheEditorAlone) {
    credentials = kToken;
    launch();
    controller->showProfile();
    profileRequests.front()({Error::serviceError(QStringLiteral("gone")), {}});
    ASSERT_EQ(frontEnd.alerts.shownAlerts().size(), 1);
    EXPECT_EQ(frontEnd.alerts.shownAlerts().front().messageText, QStringLiteral("gone"));
    EXPECT_FALSE(frontEnd.windows.value(QStringLiteral("Profile2WindowController"))->profile.has_value());
    EXPECT_TRUE(storedTokens.isEmpty());
}

TEST_F(BRSAppDelegateTest, ACompletionArrivingAfterTheControllerIsGoneIsDropped) {
    credentials = kToken;
    launch();
    auto completion = std::move(checks.front());
    controller.reset();
    completion({BRSSignatureService::CheckOutcome{true}, {QStringLiteral("t"), QStringLiteral("u")}});
    EXPECT_TRUE(storedTokens.isEmpty());
}

TEST_F(BRSAppDelegateTest, AProfileReplyArrivingAfterTheControllerIsGoneIsDropped) {
    credentials = kToken;
    launch();
    controller->showProfile();
    controller->showProfile();
    ASSERT_EQ(profileRequests.size(), 2u);
    // One editing session gets as far as a save; the other is still waiting for its profile.
    profileRequests.front()({ProfileGetModel{}, {}});
    FakeWindow* editor = frontEnd.windows.value(QStringLiteral("Profile2WindowController"));
    ASSERT_TRUE(editor->onSave);
    editor->onSave(ProfileUpdateModel({}, {}));
    ASSERT_EQ(saveRequests.size(), 1u);
    const std::size_t checksBefore = checks.size();

    controller.reset();  // the editor goes with it
    profileRequests.back()({ProfileGetModel{}, {QStringLiteral("t1"), QStringLiteral("u")}});
    saveRequests.front()({OrlinSyncService::Saved{}, {QStringLiteral("t2"), QStringLiteral("u")}});
    EXPECT_TRUE(storedTokens.isEmpty());
    EXPECT_EQ(checks.size(), checksBefore) << "a save that ends now starts no check";
    EXPECT_TRUE(frontEnd.alerts.shownAlerts().isEmpty());
}

}  // namespace
