#include "QtFrontEnd.h"

#include <QApplication>
#include <QMenuBar>

#include "BRSAboutWindowController.h"
#include "BRSCredentialsWindowController.h"
#include "BRSPreferencesWindowController.h"
#include "BRSStatusView.h"
#include "Profile2WindowController.h"
#include "StatusMenu.h"

QtFrontEnd::QtFrontEnd() = default;

QtFrontEnd::~QtFrontEnd() = default;

std::unique_ptr<WindowController> QtFrontEnd::createWindowController(const QString& resourceName) {
    if (resourceName == QLatin1String("BRSPreferencesWindowController")) {
        return std::make_unique<BRSPreferencesWindowController>(alerts_);
    }
    if (resourceName == QLatin1String("BRSAboutWindowController")) {
        return std::make_unique<BRSAboutWindowController>();
    }
    if (resourceName == QLatin1String("BRSCredentialsWindowController")) {
        return std::make_unique<BRSCredentialsWindowController>(alerts_);
    }
    if (resourceName == QLatin1String("Profile2WindowController")) {
        return std::make_unique<Profile2WindowController>();
    }
    return nullptr;
}

std::unique_ptr<StatusView> QtFrontEnd::createStatusView() {
    return std::make_unique<BRSStatusView>();
}

void QtFrontEnd::installMainMenu(StatusMenu* menu) {
#ifdef Q_OS_MACOS
    // A parentless menu bar is the application's menu bar on macOS; an agent only needs it so the usual
    // shortcuts (copy, paste, close) reach its windows.
    mainMenuBar_ = std::make_unique<QMenuBar>();
    if (menu && menu->nativeMenu()) {
        mainMenuBar_->addMenu(menu->nativeMenu());
    }
#else
    // Other desktops have no application-wide menu bar.
    (void)menu;
#endif
}

void QtFrontEnd::activateIgnoringOtherApps() {
    // Each window raises and activates itself when shown; Qt has no application-wide activation.
}
