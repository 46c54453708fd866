#include "FakeFrontEnd.h"

namespace {
QString onOff(bool on, const char* yes, const char* no) {
    return QString::fromLatin1(on ? yes : no);
}
}  // namespace

void FakeMenuItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    log_.append(QStringLiteral("menu %1 %2").arg(name_, onOff(enabled, "enabled", "disabled")));
}

void RecordingStatusView::setStatusMenu(StatusMenu* newMenu) {
    menu = newMenu;
    log_.append(QStringLiteral("status-menu ") + onOff(newMenu != nullptr, "on", "off"));
}

void RecordingStatusView::setStatusImage(const std::optional<StatusImage>& image) {
    imageName = image ? std::optional<QString>(image->name) : std::nullopt;
    log_.append(QStringLiteral("status-image ") + imageName.value_or(QString()));
}

void RecordingStatusView::setStatusTooltip(const std::optional<QString>& newTooltip) {
    tooltip = newTooltip;
    log_.append(QStringLiteral("status-tooltip ") + newTooltip.value_or(QString()));
}

void RecordingStatusView::showPopoverWithText(const QString& text) {
    popovers.append(text);
    log_.append(QStringLiteral("popover ") + text);
}

void FakeWindow::centerWindow() {
    log_.append(QStringLiteral("center ") + resourceName_);
}

void FakeWindow::showWindow() {
    log_.append(QStringLiteral("show ") + resourceName_);
}

void FakeWindow::setViewState(BRSViewState* newViewState) {
    viewState = newViewState;
    if (!newViewState) {
        return;
    }
    QObject::connect(newViewState, &BRSViewState::notifyAfterUpdateChanged, &viewStateReceiver_,
                     [this, newViewState] {
                         observations.append({QStringLiteral("notifyAfterUpdate"), newViewState});
                     });
    QObject::connect(newViewState, &BRSViewState::notifyBeforeShuttingDownMailChanged, &viewStateReceiver_,
                     [this, newViewState] {
                         observations.append({QStringLiteral("notifyBeforeShuttingDownMail"), newViewState});
                     });
}

void FakeWindow::setFields(const ProfileGetModel& newProfile, SaveAction newOnSave) {
    profile = newProfile;
    onSave = std::move(newOnSave);
    log_.append(QStringLiteral("setFields ") + resourceName_);
}

std::unique_ptr<WindowController> FakeFrontEnd::createPreferencesWindow() {
    return createWindow(QStringLiteral("BRSPreferencesWindowController"));
}

std::unique_ptr<WindowController> FakeFrontEnd::createAboutWindow() {
    return createWindow(QStringLiteral("BRSAboutWindowController"));
}

std::unique_ptr<WindowController> FakeFrontEnd::createCredentialsWindow() {
    return createWindow(QStringLiteral("BRSCredentialsWindowController"));
}

std::unique_ptr<WindowController> FakeFrontEnd::createProfileWindow() {
    return createWindow(QStringLiteral("Profile2WindowController"));
}

std::unique_ptr<WindowController> FakeFrontEnd::createWindow(const QString& className) {
    auto window = std::make_unique<FakeWindow>(className, log);
    windows.insert(className, window.get());
    log.append(QStringLiteral("create ") + className);
    return window;
}

std::unique_ptr<StatusView> FakeFrontEnd::createStatusView() {
    auto view = std::make_unique<RecordingStatusView>(log);
    statusView = view.get();
    log.append(QStringLiteral("create status view"));
    return view;
}

void FakeFrontEnd::installMainMenu(StatusMenu* menu) {
    mainMenu = menu;
    mainMenuInstalled = true;
    log.append(QStringLiteral("install main menu"));
}

void FakeFrontEnd::activateIgnoringOtherApps() {
    ++activations;
    log.append(QStringLiteral("activate"));
}
