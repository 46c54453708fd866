#include "QtFrontEnd.h"

#include <QApplication>
#include <QMenuBar>

#include "BRSStatusView.h"
#include "PlaceholderWindow.h"
#include "StatusMenu.h"

QtFrontEnd::QtFrontEnd() = default;

QtFrontEnd::~QtFrontEnd() = default;

std::unique_ptr<WindowController> QtFrontEnd::createWindowController(const QString& resourceName) {
    struct Placeholder {
        const char* resource;
        const char* title;
    };
    static constexpr Placeholder kWindows[] = {
        {"BRSPreferencesWindowController", "Preferences"},
        {"BRSAboutWindowController", "About Orlin"},
        {"BRSCredentialsWindowController", "Enter Access Code"},
        {"Profile2WindowController", "Profile"},
    };
    QString title = resourceName;
    for (const Placeholder& window : kWindows) {
        if (resourceName == QLatin1String(window.resource)) {
            title = QString::fromUtf8(window.title);
        }
    }
    return std::make_unique<PlaceholderWindow>(
        title, QStringLiteral("This window is not available in this version of Orlin yet."));
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
