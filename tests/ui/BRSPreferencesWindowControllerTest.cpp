#include "BRSPreferencesWindowController.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "AppInfo.h"
#include "BRSAboutWindowController.h"
#include "BRSCredentialsWindowController.h"
#include "BRSKeychainController.h"
#include "BRSLoginItemsService.h"
#include "BRSSettingsStorage.h"
#include "BRSViewState.h"
#include "MemorySecretStore.h"
#include "MockOrlinService.h"
#include "PreferencesStorage.h"
#include "ScriptedAlertPresenter.h"
#include "ServiceConfiguration.h"
#include "UserDefaults.h"
#include "WindowPlacement.h"

namespace {

class BRSPreferencesWindowControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testDefaults().resetForTesting();
        BRSKeychainController::sharedKeychainController().resetForTesting(store);
    }
    void TearDown() override {
        if (BRSLoginItemsService(testEnvironment()).isLaunchAtStartup()) {
            BRSLoginItemsService(testEnvironment()).toggleLaunchAtStartup();
        }
        BRSKeychainController::sharedKeychainController().resetForTesting(nullptr);
        testDefaults().resetForTesting();
    }

    static Preferences stored() { return PreferencesStorage(testDefaults()).getPreferences(); }
    static void storeClients(bool outlook, bool mail) {
        PreferencesStorage storage(testDefaults());
        storage.setUpdateSignaturesForOutlook(outlook);
        storage.setUpdateSignaturesForMail(mail);
    }
    static bool mailControlsEnabled(BRSPreferencesWindowController& preferences) {
        const bool before = preferences.notifyMeBeforeShuttingDownMail()->isEnabled();
        EXPECT_EQ(preferences.imUsingICloudDrive()->isEnabled(), before);
        EXPECT_EQ(preferences.whatIsThis()->isEnabled(), before);
        return before;
    }

    std::shared_ptr<MemorySecretStore> store = std::make_shared<MemorySecretStore>();
    ScriptedAlertPresenter alerts;
};

TEST_F(BRSPreferencesWindowControllerTest, NeitherClientStoredShowsOutlookOnlyAndWritesNothingBack) {
    storeClients(false, false);
    BRSPreferencesWindowController preferences(alerts, testEnvironment());
    preferences.window();

    EXPECT_EQ(preferences.updateSignaturesForRadio()->checkedId(),
              BRSPreferencesWindowController::kOutlookOnly);
    EXPECT_FALSE(stored().updateSignaturesForOutlook());
    EXPECT_FALSE(stored().updateSignaturesForMail());
    EXPECT_FALSE(mailControlsEnabled(preferences));
}

TEST_F(BRSPreferencesWindowControllerTest, TheRadioShowsTheStoredClientsAndWritesBothOnAClick) {
    storeClients(true, true);
    {
        BRSPreferencesWindowController preferences(alerts, testEnvironment());
        preferences.window();
        EXPECT_EQ(preferences.updateSignaturesForRadio()->checkedId(),
                  BRSPreferencesWindowController::kOutlookAndMail);
        EXPECT_TRUE(mailControlsEnabled(preferences));
    }
    storeClients(false, true);
    BRSPreferencesWindowController preferences(alerts, testEnvironment());
    preferences.window();
    QButtonGroup& radio = *preferences.updateSignaturesForRadio();
    EXPECT_EQ(radio.checkedId(), BRSPreferencesWindowController::kMailOnly);

    radio.button(BRSPreferencesWindowController::kOutlookOnly)->click();
    EXPECT_TRUE(stored().updateSignaturesForOutlook());
    EXPECT_FALSE(stored().updateSignaturesForMail());
    EXPECT_FALSE(mailControlsEnabled(preferences)) << "the Mail-only controls follow the click at once";

    radio.button(BRSPreferencesWindowController::kMailOnly)->click();
    EXPECT_FALSE(stored().updateSignaturesForOutlook());
    EXPECT_TRUE(stored().updateSignaturesForMail());
    EXPECT_TRUE(mailControlsEnabled(preferences));

    radio.button(BRSPreferencesWindowController::kOutlookAndMail)->click();
    EXPECT_TRUE(stored().updateSignaturesForOutlook());
    EXPECT_TRUE(stored().updateSignaturesForMail());
    EXPECT_TRUE(mailControlsEnabled(preferences));
}

TEST_F(BRSPreferencesWindowControllerTest, NotifyBoxesShowAndWriteTheHideSettingsInverted) {
    storeClients(true, true);
    PreferencesStorage(testDefaults()).setHideQuitMailInfobox(true);
    BRSPreferencesWindowController preferences(alerts, testEnvironment());
    preferences.window();
    EXPECT_TRUE(preferences.notifyMeAfterUpdate()->isChecked());
    EXPECT_FALSE(preferences.notifyMeBeforeShuttingDownMail()->isChecked());

    preferences.notifyMeAfterUpdate()->click();
    EXPECT_TRUE(stored().hideInfobox());
    preferences.notifyMeAfterUpdate()->click();
    EXPECT_FALSE(stored().hideInfobox());

    preferences.notifyMeBeforeShuttingDownMail()->click();
    EXPECT_FALSE(stored().hideQuitMailInfobox());
    preferences.notifyMeBeforeShuttingDownMail()->click();
    EXPECT_TRUE(stored().hideQuitMailInfobox());

    // The other two are stored as shown.
    EXPECT_TRUE(preferences.imUsingICloudDrive()->isChecked()) << "the stored default";
    preferences.imUsingICloudDrive()->click();
    EXPECT_FALSE(stored().isUsingICloudDrive());
    EXPECT_FALSE(preferences.updateSignaturesAutomatically()->isChecked());
    preferences.updateSignaturesAutomatically()->click();
    EXPECT_TRUE(stored().updateSignaturesAutomatically());
}

TEST_F(BRSPreferencesWindowControllerTest, TheViewStateKeepsTheNotifyBoxesCurrentWithoutWritingSettings) {
    BRSViewState viewState;
    BRSPreferencesWindowController preferences(alerts, testEnvironment());
    preferences.setViewState(&viewState);
    // Flags raised before the window exists are read from the settings when it loads instead.
    viewState.setNotifyAfterUpdate(false);
    preferences.window();
    EXPECT_TRUE(preferences.notifyMeAfterUpdate()->isChecked());

    viewState.setNotifyAfterUpdate(false);
    EXPECT_FALSE(preferences.notifyMeAfterUpdate()->isChecked());
    EXPECT_TRUE(preferences.notifyMeBeforeShuttingDownMail()->isChecked());

    // The flag changes unheard, so that only the other flag's signal could move the box.
    viewState.blockSignals(true);
    viewState.setNotifyBeforeShuttingDownMail(false);
    viewState.blockSignals(false);
    viewState.setHasError(true);
    EXPECT_TRUE(preferences.notifyMeBeforeShuttingDownMail()->isChecked()) << "other keys are ignored";
    viewState.setNotifyBeforeShuttingDownMail(false);
    EXPECT_FALSE(preferences.notifyMeBeforeShuttingDownMail()->isChecked());

    viewState.setNotifyAfterUpdate(true);
    EXPECT_TRUE(preferences.notifyMeAfterUpdate()->isChecked());
    EXPECT_FALSE(stored().hideInfobox());
    EXPECT_FALSE(stored().hideQuitMailInfobox()) << "the controller stores these, not the window";
}

TEST_F(BRSPreferencesWindowControllerTest,
       TheHelpPopoverIsMadeOnceHangsUnderTheCheckBoxAndOpensTheICloudPane) {
    storeClients(false, true);
    QStringList scripts;
    BRSPreferencesWindowController preferences(
        alerts, testEnvironment(),
        {.runModal = {},
         .runAppleScript = [&](const QString& source) { scripts.append(source); },
         .openSystemSettings = {}});
    preferences.showWindow();
    EXPECT_EQ(preferences.helpPopover(), nullptr);

    preferences.whatIsThis()->click();
    QFrame* popover = preferences.helpPopover();
    ASSERT_NE(popover, nullptr);
    EXPECT_TRUE(popover->isVisible());
    const QPoint boxBottom = preferences.imUsingICloudDrive()->mapToGlobal(
        QPoint(preferences.imUsingICloudDrive()->width() / 2, preferences.imUsingICloudDrive()->height()));
    EXPECT_GE(popover->geometry().top(), boxBottom.y());
    EXPECT_NEAR(popover->geometry().center().x(), boxBottom.x(), 2);

    preferences.whatIsThisClicked();
    EXPECT_EQ(preferences.helpPopover(), popover);
    const QList<QFrame*> frames = preferences.window().findChildren<QFrame*>();
    EXPECT_EQ(std::count_if(frames.cbegin(), frames.cend(),
                            [](const QFrame* frame) { return frame->windowType() == Qt::Popup; }),
              1);
    popover->hide();
    preferences.whatIsThisClicked();
    EXPECT_EQ(preferences.helpPopover(), popover);
    EXPECT_TRUE(popover->isVisible()) << "the kept popover shows again";

    const QList<QPushButton*> buttons = popover->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    buttons.constFirst()->click();
    EXPECT_EQ(scripts,
              QStringList{QStringLiteral("tell application \"System Preferences\"\nactivate\nset the "
                                         "current pane to pane id \"com.apple.preferences.icloud\"\n"
                                         "end tell\n")});
    popover->hide();

    // System Settings (macOS 13 and later) answers to an address, not to a script.
    QStringList urls;
    for (const SystemVersion version :
         {SystemVersion{12, 7, 0}, SystemVersion{13, 6, 0}, SystemVersion{15, 1, 0}}) {
        BrsHelpMeICloudDriveViewController([&](const QString& source) { scripts.append(source); },
                                           [&](const QString& url) { urls.append(url); }, version)
            .showMeClick();
    }
    EXPECT_EQ(scripts.size(), 2) << "macOS 12 still gets the System Preferences script";
    EXPECT_EQ(
        urls,
        (QStringList{
            QStringLiteral("x-apple.systempreferences:com.apple.preferences.AppleIDPrefPane?iCloud"),
            QStringLiteral("x-apple.systempreferences:com.apple.systempreferences.AppleIDSettings?iCloud")}));
}

TEST_F(BRSPreferencesWindowControllerTest, OnASmallScreenCloseStaysInReachAndTheSettingsScroll) {
    BRSPreferencesWindowController preferences(alerts, testEnvironment());
    // 1280 x 800 at twice the scale, under a 24-pixel panel.
    const QRect small(0, 24, 640, 376);
    preferences.centerWindowIn(small);
    preferences.showWindow();
    QApplication::processEvents();
    QDialog& window = preferences.window();
    EXPECT_TRUE(small.contains(window.frameGeometry())) << window.frameGeometry().height();
    const auto* close = window.findChild<QDialogButtonBox*>();
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(window.rect().contains(QRect(close->mapTo(&window, QPoint(0, 0)), close->size())));
    QScrollBar* bar = preferences.scrollView()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    preferences.scrollView()->ensureWidgetVisible(preferences.enterTokenButton());
    EXPECT_TRUE(preferences.scrollView()->viewport()->rect().contains(
        QRect(preferences.enterTokenButton()->mapTo(preferences.scrollView()->viewport(), QPoint(0, 0)),
              preferences.enterTokenButton()->size())));
    EXPECT_EQ(preferences.scrollView()->horizontalScrollBar()->maximum(), 0);

    // Where the screen has the room, nothing scrolls.
    preferences.centerWindowIn(QRect(0, 0, 1280, 800));
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), 0);
    window.close();
}

TEST_F(BRSPreferencesWindowControllerTest, TheHelpPopoverOpensAboveTheCheckBoxWhenThereIsNoRoomBelow) {
    const QRect screen(0, 0, 640, 400);
    const QSize size(300, 150);
    EXPECT_EQ(WindowPlacement::popupPosition(QRect(100, 100, 200, 20), size, screen), QPoint(49, 120));
    EXPECT_EQ(WindowPlacement::popupPosition(QRect(100, 300, 200, 20), size, screen), QPoint(49, 150))
        << "above";
    EXPECT_EQ(WindowPlacement::popupPosition(QRect(500, 300, 100, 20), size, screen), QPoint(340, 150))
        << "kept inside on the right";
    EXPECT_EQ(WindowPlacement::popupPosition(QRect(0, 100, 10, 20), QSize(300, 390), screen), QPoint(0, 10))
        << "fits neither way: the larger side, kept on screen";

    storeClients(false, true);
    BRSPreferencesWindowController preferences(
        alerts, testEnvironment(),
        {.runModal = {}, .runAppleScript = [](const QString&) {}, .openSystemSettings = {}});
    preferences.showWindow();
    QCheckBox* box = preferences.imUsingICloudDrive();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    preferences.window().move(
        preferences.window().pos() +
        QPoint(0, available.bottom() - 10 - box->mapToGlobal(box->rect().bottomLeft()).y()));
    QApplication::processEvents();
    preferences.whatIsThis()->click();
    ASSERT_NE(preferences.helpPopover(), nullptr);
    const QRect popover = preferences.helpPopover()->geometry();
    // The offscreen platform shifts a shown popup by its simulated frame, two pixels.
    EXPECT_LE(popover.bottom(), box->mapToGlobal(QPoint(0, 0)).y() + 2) << "above the check box";
    EXPECT_TRUE(available.contains(popover));
    preferences.helpPopover()->hide();
}

TEST_F(BRSPreferencesWindowControllerTest, TheHelpOffersShowMeOnlyWhereTheICloudPaneCanBeReached) {
    // A simulated macOS 12 on this desktop has no System Preferences to script.
    testDefaults().setArgumentDomain({{QStringLiteral("simulatedSystemVersion"), QStringLiteral("12.7.0")}});
    storeClients(false, true);
    BRSPreferencesWindowController preferences(alerts, testEnvironment());
    preferences.showWindow();
    preferences.whatIsThis()->click();
    ASSERT_NE(preferences.helpPopover(), nullptr);
    EXPECT_TRUE(preferences.helpPopover()->findChildren<QPushButton*>().isEmpty());
    preferences.helpPopover()->hide();

    const auto noop = [](const QString&) {};
    EXPECT_FALSE(BrsHelpMeICloudDriveViewController(noop, {}, SystemVersion{14, 0, 0}).canShowSettings());
    EXPECT_FALSE(BrsHelpMeICloudDriveViewController({}, noop, SystemVersion{12, 7, 0}).canShowSettings());
    BrsHelpMeICloudDriveViewController reachable({}, noop, SystemVersion{14, 0, 0});
    EXPECT_TRUE(reachable.canShowSettings());
    EXPECT_EQ(reachable.view()->findChildren<QPushButton*>().size(), 1);
}

TEST_F(BRSPreferencesWindowControllerTest, StartAtLoginShowsAndFlipsTheLoginItem) {
    BRSPreferencesWindowController preferences(alerts, testEnvironment());
    preferences.window();
    EXPECT_FALSE(preferences.startAtLogin()->isChecked());

    preferences.startAtLogin()->click();
    EXPECT_TRUE(BRSLoginItemsService(testEnvironment()).isLaunchAtStartup());
    EXPECT_TRUE(preferences.startAtLogin()->isChecked());

    // Removed behind the window's back: a click adds it again, and the box says so.
    BRSLoginItemsService(testEnvironment()).toggleLaunchAtStartup();
    preferences.startAtLogin()->click();
    EXPECT_TRUE(BRSLoginItemsService(testEnvironment()).isLaunchAtStartup());
    EXPECT_TRUE(preferences.startAtLogin()->isChecked());

    preferences.startAtLogin()->click();
    EXPECT_FALSE(BRSLoginItemsService(testEnvironment()).isLaunchAtStartup());
    EXPECT_FALSE(preferences.startAtLogin()->isChecked());
}

TEST_F(BRSPreferencesWindowControllerTest, StartAtLoginFromATranslocatedCopyIsRefusedWithAnAlert) {
    Environment environment = testEnvironment();
    environment.applicationPath =
        environment.folders.home + QStringLiteral("/T/AppTranslocation/0F1E/d/Orlin.app");
    BRSPreferencesWindowController preferences(alerts, environment);
    preferences.window();

    preferences.startAtLogin()->click();
    EXPECT_FALSE(preferences.startAtLogin()->isChecked());
    EXPECT_FALSE(BRSLoginItemsService(environment).isLaunchAtStartup());
    ASSERT_EQ(alerts.shownAlerts().size(), 1);
    EXPECT_EQ(alerts.shownAlerts().constFirst().messageText,
              QStringLiteral("Move Orlin to the Applications folder first."));
    EXPECT_TRUE(alerts.shownAlerts().constFirst().informativeText.contains(QStringLiteral("Applications")));
}

TEST_F(BRSPreferencesWindowControllerTest,
       TheModalTokenWindowStoresTheServicesTokenButRaisesNoViewStateFlag) {
    MockOrlinService mock;
    mock.rotateRefreshTokens("/auth/OAuth/AuthorizeEmployee", mock.baseUrl().toStdString() + "user");
    testDefaults().setArgumentDomain(
        {{ServiceConfiguration::kAuthBaseUrlKey, mock.baseUrl() + QStringLiteral("auth/")}});
    BRSViewState viewState;
    int flags = 0;
    QObject::connect(&viewState, &BRSViewState::harIndtastetTokenChanged, [&] { ++flags; });
    int runs = 0;
    BRSPreferencesWindowController preferences(
        alerts, testEnvironment(),
        {.runModal =
             [&](BRSCredentialsWindowController& credentials) {
                 ++runs;
                 EXPECT_EQ(credentials.viewState(), nullptr);
                 EXPECT_TRUE(credentials.window().isModal());
                 credentials.textToken()->setText(QStringLiteral("from-preferences"));
                 credentials.save();
                 // The code is checked at the service before anything is stored.
                 QEventLoop answered;
                 QTimer poll;
                 QObject::connect(&poll, &QTimer::timeout, &answered, [&] {
                     if (!credentials.isChecking()) {
                         answered.quit();
                     }
                 });
                 poll.start(2);
                 QTimer::singleShot(20000, &answered, &QEventLoop::quit);
                 answered.exec();
             },
         .runAppleScript = {},
         .openSystemSettings = {}});
    preferences.setViewState(&viewState);
    preferences.showWindow();

    preferences.enterTokenButton()->click();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(store->secretOf(BRSSettingsStorage::kRefreshTokenKey), QByteArray("rotated-1"));
    EXPECT_EQ(flags, 0);
    EXPECT_FALSE(viewState.harIndtastetToken());
}

TEST_F(BRSPreferencesWindowControllerTest, TheRealModalRunEndsWhenTheTokenWindowCloses) {
    BRSPreferencesWindowController preferences(alerts, testEnvironment());
    preferences.showWindow();
    QWidget* seen = nullptr;
    QTimer::singleShot(0, [&] {
        seen = QApplication::activeModalWidget();
        if (seen) {
            seen->close();
        }
    });
    preferences.showCredentials();
    ASSERT_NE(seen, nullptr) << "the token window ran modally";
    EXPECT_TRUE(store->items.isEmpty()) << "closing stores nothing";
}

TEST_F(BRSPreferencesWindowControllerTest, ClosingTheWindowWritesTheSettingsToDisk) {
    BRSPreferencesWindowController preferences(alerts, testEnvironment());
    preferences.showWindow();
    preferences.updateSignaturesAutomatically()->click();
    QFile::remove(testDefaults().userDomainPath());
    preferences.window().close();

    QFile file(testDefaults().userDomainPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("updateSignaturesAutomatically"));
}

TEST(BRSAboutWindowControllerTest, ShowsTheShortVersionUnchanged) {
    BRSAboutWindowController about;
    about.showWindow();
    ASSERT_FALSE(AppInfo::shortVersionString().isEmpty());
    EXPECT_EQ(about.labelVersion()->text(), AppInfo::shortVersionString());
    about.window().close();
}

}  // namespace
