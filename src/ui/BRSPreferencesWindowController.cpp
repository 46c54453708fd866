#include "BRSPreferencesWindowController.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "Alert.h"
#include "BRSAppleScript.h"
#include "BRSCredentialsWindowController.h"
#include "BRSLog.h"
#include "BRSLoginItemsService.h"
#include "BRSViewState.h"
#include "DialogButtons.h"
#include "ModalSession.h"
#include "PreferencesStorage.h"
#include "SystemSettings.h"
#include "WindowPlacement.h"

namespace {

// The window manager's title bar is not known before the first showing.
constexpr int kTitleBarAllowance = 40;

const QScreen* screenOf(const QWidget& widget) {
    const QScreen* screen = QGuiApplication::screenAt(widget.mapToGlobal(widget.rect().center()));
    return screen ? screen : QGuiApplication::primaryScreen();
}

}  // namespace

BRSPreferencesWindowController::BRSPreferencesWindowController(AlertPresenter& alerts,
                                                               Environment environment, Seams seams)
    : alerts_(alerts),
      environment_(std::move(environment)),
      seams_(std::move(seams)),
      window_([this](QDialog& window) { build(window); }),
      helpPopover_([this](QFrame& popover) { buildHelpPopover(popover); }) {
    if (!seams_.runModal) {
        seams_.runModal = [](BRSCredentialsWindowController& controller) {
            const ModalSession modal;
            controller.window().exec();
        };
    }
#ifdef Q_OS_MACOS
    if (!seams_.runAppleScript) {
        seams_.runAppleScript = [script =
                                     BRSAppleScript(environment_.scriptProcess())](const QString& source) {
            // Nothing to tell the user when the pane does not open: the help text stands on its own.
            if (const Result<QString> run = script.runAppleScriptForSource(source); !run) {
                BRSLogWarn(u"The iCloud pane could not be opened: %@", run.error().localizedDescription);
            }
        };
    }
#endif
    if (!seams_.openSystemSettings && SystemSettings::exists()) {
        seams_.openSystemSettings = [](const QString& url) {
            if (!SystemSettings::open(url)) {
                BRSLogError(u"System Settings could not be opened at %@", url);
            }
        };
    }
}

BRSPreferencesWindowController::~BRSPreferencesWindowController() = default;

QDialog& BRSPreferencesWindowController::window() {
    return window_.get();
}

void BRSPreferencesWindowController::build(QDialog& window) {
    window.setWindowTitle(QStringLiteral("Orlin Preferences"));
    auto* windowLayout = new QVBoxLayout(&window);
    // The settings scroll above a Close button that stays put, so a small screen (1280 x 800 at twice the
    // scale is 640 x 400) or a large font never pushes Close off the bottom.
    scrollView_ = new QScrollArea(&window);
    scrollView_->setFrameShape(QFrame::NoFrame);
    scrollView_->setWidgetResizable(true);
    scrollView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* settings = new QWidget;
    auto* layout = new QVBoxLayout(settings);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* clients = new QGroupBox(QStringLiteral("Install signatures in"), &window);
    auto* clientsLayout = new QVBoxLayout(clients);
    updateSignaturesForRadio_ = new QButtonGroup(&window);
    const std::pair<int, QString> radios[] = {
        {kOutlookOnly, QStringLiteral("&Outlook")},
        {kMailOnly, QStringLiteral("Apple &Mail")},
        {kOutlookAndMail, QStringLiteral("Outlook &and Apple Mail")},
    };
    for (const auto& [tag, title] : radios) {
        auto* radio = new QRadioButton(title, clients);
        updateSignaturesForRadio_->addButton(radio, tag);
        clientsLayout->addWidget(radio);
    }
    layout->addWidget(clients);

    auto* behaviour = new QGroupBox(QStringLiteral("Updates"), &window);
    auto* behaviourLayout = new QVBoxLayout(behaviour);
    updateSignaturesAutomatically_ =
        new QCheckBox(QStringLiteral("Install new signatures a&utomatically"), behaviour);
    notifyMeAfterUpdate_ =
        new QCheckBox(QStringLiteral("&Notify me after signatures are updated"), behaviour);
    notifyMeBeforeShuttingDownMail_ =
        new QCheckBox(QStringLiteral("As&k me before Apple Mail is quit for an update"), behaviour);
    behaviourLayout->addWidget(updateSignaturesAutomatically_);
    behaviourLayout->addWidget(notifyMeAfterUpdate_);
    behaviourLayout->addWidget(notifyMeBeforeShuttingDownMail_);

    auto* iCloudRow = new QHBoxLayout;
    imUsingICloudDrive_ = new QCheckBox(QStringLiteral("I'm using &iCloud Drive for Apple Mail"), behaviour);
    whatIsThis_ = new QPushButton(QStringLiteral("?"), behaviour);
    whatIsThis_->setToolTip(QStringLiteral("What is this?"));
    whatIsThis_->setAccessibleName(QStringLiteral("What is this?"));
    whatIsThis_->setFixedWidth(whatIsThis_->sizeHint().height());
    whatIsThis_->setAutoDefault(false);
    iCloudRow->addWidget(imUsingICloudDrive_);
    iCloudRow->addWidget(whatIsThis_);
    iCloudRow->addStretch();
    behaviourLayout->addLayout(iCloudRow);
    layout->addWidget(behaviour);

    auto* session = new QGroupBox(QStringLiteral("Account"), &window);
    auto* sessionLayout = new QVBoxLayout(session);
    startAtLogin_ = new QCheckBox(QStringLiteral("&Start Orlin when I log in"), session);
    enterToken_ = new QPushButton(QStringLiteral("&Enter Access Code…"), session);
    enterToken_->setAutoDefault(false);
    sessionLayout->addWidget(startAtLogin_);
    sessionLayout->addWidget(enterToken_, 0, Qt::AlignLeft);
    layout->addWidget(session);

    scrollView_->setWidget(settings);
    windowLayout->addWidget(scrollView_);
    DialogButtons::addClose(window, *windowLayout);

    // `clicked` and `idClicked` come from the user only, so loading the window and following the view
    // state never write a setting back.
    QObject::connect(updateSignaturesForRadio_, &QButtonGroup::idClicked, &window,
                     [this](int tag) { updateSignaturesForRadioChanged(tag); });
    QObject::connect(updateSignaturesAutomatically_, &QCheckBox::clicked, &window,
                     [this] { changeUpdateSignaturesAutomatically(); });
    QObject::connect(notifyMeAfterUpdate_, &QCheckBox::clicked, &window,
                     [this] { changeNotifyMeAfterUpdate(); });
    QObject::connect(notifyMeBeforeShuttingDownMail_, &QCheckBox::clicked, &window,
                     [this] { changeNotifyMeBeforeShuttingDownMail(); });
    QObject::connect(imUsingICloudDrive_, &QCheckBox::clicked, &window,
                     [this] { changeImUsingICloudDrive(); });
    QObject::connect(startAtLogin_, &QCheckBox::clicked, &window, [this] { changeStartAtLogin(); });
    QObject::connect(whatIsThis_, &QPushButton::clicked, &window, [this] { whatIsThisClicked(); });
    QObject::connect(enterToken_, &QPushButton::clicked, &window, [this] { showCredentials(); });
    QObject::connect(&window, &QDialog::finished, &window, [this] { windowWillClose(); });

    windowDidLoad();
}

void BRSPreferencesWindowController::windowDidLoad() {
    startAtLogin_->setChecked(BRSLoginItemsService(environment_).isLaunchAtStartup());

    const Preferences preferences = PreferencesStorage(environment_.defaults()).getPreferences();
    notifyMeAfterUpdate_->setChecked(!preferences.hideInfobox());
    notifyMeBeforeShuttingDownMail_->setChecked(!preferences.hideQuitMailInfobox());
    imUsingICloudDrive_->setChecked(preferences.isUsingICloudDrive());
    updateSignaturesAutomatically_->setChecked(preferences.updateSignaturesAutomatically());

    // Neither client stored shows Outlook only, without writing that choice back: the user has not made it.
    int tag = kOutlookOnly;
    if (preferences.updateSignaturesForOutlook() && preferences.updateSignaturesForMail()) {
        tag = kOutlookAndMail;
    } else if (preferences.updateSignaturesForMail()) {
        tag = kMailOnly;
    }
    updateSignaturesForRadio_->button(tag)->setChecked(true);

    enableMailControls(preferences.updateSignaturesForMail());
}

void BRSPreferencesWindowController::enableMailControls(bool mail) {
    notifyMeBeforeShuttingDownMail_->setEnabled(mail);
    imUsingICloudDrive_->setEnabled(mail);
    whatIsThis_->setEnabled(mail);
}

void BRSPreferencesWindowController::centerWindow() {
    QDialog& dialog = window();
    WindowPlacement::centerOnScreen(dialog);
    if (const QScreen* screen = screenOf(dialog)) {
        centerWindowIn(screen->availableGeometry());
    }
}

void BRSPreferencesWindowController::centerWindowIn(const QRect& available) {
    QDialog& dialog = window();
    QWidget* settings = scrollView_->widget();
    // Wide enough that nothing scrolls sideways, even with the vertical bar showing; as tall as every
    // setting needs where the screen has the room, and at least a few rows of them where it has not.
    const int scrollBar = scrollView_->verticalScrollBar()->sizeHint().width();
    scrollView_->setMinimumWidth(settings->minimumSizeHint().width() + scrollBar);
    const int rows = 3 * dialog.fontMetrics().height();
    scrollView_->setMinimumHeight(std::min(rows, settings->sizeHint().height()));
    const int chrome = dialog.sizeHint().height() - scrollView_->sizeHint().height();
    const int natural = chrome + settings->sizeHint().height();
    const int height = std::max(dialog.minimumSizeHint().height(),
                                std::min(natural, available.height() - kTitleBarAllowance));
    dialog.setFixedSize(dialog.sizeHint().width(), height);
    QRect frame = dialog.frameGeometry();
    frame.moveCenter(available.center());
    frame.moveTop(std::max(frame.top(), available.top()));
    dialog.move(frame.topLeft());
}

void BRSPreferencesWindowController::showWindow() {
    WindowPlacement::bringToFront(window());
}

void BRSPreferencesWindowController::updateSignaturesForRadioChanged(int tag) {
    const bool outlook = tag == kOutlookOnly || tag == kOutlookAndMail;
    const bool mail = tag == kMailOnly || tag == kOutlookAndMail;
    PreferencesStorage storage(environment_.defaults());
    storage.setUpdateSignaturesForOutlook(outlook);
    storage.setUpdateSignaturesForMail(mail);
    enableMailControls(mail);
}

void BRSPreferencesWindowController::changeUpdateSignaturesAutomatically() {
    PreferencesStorage(environment_.defaults())
        .setUpdateSignaturesAutomatically(updateSignaturesAutomatically_->isChecked());
}

void BRSPreferencesWindowController::changeNotifyMeAfterUpdate() {
    PreferencesStorage(environment_.defaults()).setHideInfobox(!notifyMeAfterUpdate_->isChecked());
}

void BRSPreferencesWindowController::changeNotifyMeBeforeShuttingDownMail() {
    PreferencesStorage(environment_.defaults())
        .setHideQuitMailInfobox(!notifyMeBeforeShuttingDownMail_->isChecked());
}

void BRSPreferencesWindowController::changeImUsingICloudDrive() {
    PreferencesStorage(environment_.defaults()).setIsUsingICloudDrive(imUsingICloudDrive_->isChecked());
}

void BRSPreferencesWindowController::changeStartAtLogin() {
    BRSLoginItemsService service(environment_);
    const BRSLoginItemsService::Outcome outcome = service.toggleLaunchAtStartup();
    // The system may refuse the change, or the item may have changed behind the window's back since it
    // was loaded; the box shows what holds now rather than what the click asked for.
    startAtLogin_->setChecked(service.isLaunchAtStartup());
    Alert alert;
    if (outcome == BRSLoginItemsService::Outcome::Translocated) {
        alert.messageText = QStringLiteral("Move Orlin to the Applications folder first.");
        alert.informativeText = QStringLiteral(
            "Orlin is running from a temporary location macOS gave it (App Translocation). Drag Orlin into "
            "Applications, open it from there, and turn on \"Start Orlin when I log in\" again.");
    } else if (outcome == BRSLoginItemsService::Outcome::AwaitingApproval) {
        alert.messageText = QStringLiteral("Allow Orlin in Login Items.");
        alert.informativeText = QStringLiteral(
            "macOS starts Orlin at login once you allow it: open System Settings, go to General › Login "
            "Items, and switch Orlin on.");
        alert.style = AlertStyle::Informational;
    } else {
        return;
    }
    alerts_.runModal(alert);
}

void BRSPreferencesWindowController::buildHelpPopover(QFrame& popover) {
    helpViewController_ = std::make_unique<BrsHelpMeICloudDriveViewController>(
        seams_.runAppleScript, seams_.openSystemSettings,
        SystemVersion::operatingSystemVersion(environment_.defaults()));
    // A popup closes by itself when the user clicks anywhere outside it.
    popover.setParent(&window(), Qt::Popup);
    popover.setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(&popover);
    layout->addWidget(helpViewController_->view());
}

void BRSPreferencesWindowController::whatIsThisClicked() {
    QFrame& popover = helpPopover_.get();
    if (popover.isVisible()) {
        return;
    }
    // Beside the check box, centred on it, so it points at the setting it explains.
    popover.adjustSize();
    const QRect anchor(imUsingICloudDrive_->mapToGlobal(QPoint(0, 0)), imUsingICloudDrive_->size());
    const QScreen* screen = screenOf(*imUsingICloudDrive_);
    popover.move(screen ? WindowPlacement::popupPosition(anchor, popover.size(), screen->availableGeometry())
                        : QPoint(anchor.center().x() - popover.width() / 2, anchor.bottom() + 1));
    popover.show();
}

void BRSPreferencesWindowController::showCredentials() {
    // A window of its own for one run, with no view state: the menus catch up at the next poll.
    BRSCredentialsWindowController credentials(alerts_, environment_.defaults());
    credentials.window().setWindowModality(Qt::ApplicationModal);
    credentials.centerWindow();
    seams_.runModal(credentials);
    credentials.window().hide();
}

void BRSPreferencesWindowController::windowWillClose() {
    PreferencesStorage(environment_.defaults()).synchronize();
}

void BRSPreferencesWindowController::setViewState(BRSViewState* viewState) {
    if (!viewState) {
        return;
    }
    // Before the window has been shown there is nothing to keep current; loading reads the settings.
    QObject::connect(viewState, &BRSViewState::notifyAfterUpdateChanged, &viewStateReceiver_,
                     [this](bool on) {
                         if (window_.ifBuilt()) {
                             notifyMeAfterUpdate_->setChecked(on);
                         }
                     });
    QObject::connect(viewState, &BRSViewState::notifyBeforeShuttingDownMailChanged, &viewStateReceiver_,
                     [this](bool on) {
                         if (window_.ifBuilt()) {
                             notifyMeBeforeShuttingDownMail_->setChecked(on);
                         }
                     });
}
