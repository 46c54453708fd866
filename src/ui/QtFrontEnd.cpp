#include "QtFrontEnd.h"

#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QWidget>

#include "BRSAboutWindowController.h"
#include "BRSCredentialsWindowController.h"
#include "BRSPreferencesWindowController.h"
#include "BRSStatusView.h"
#include "Profile2WindowController.h"
#include "QtStatusMenu.h"

#ifdef Q_OS_MACOS
#include "MacActivation.h"
#endif

namespace {

// Text fields get ⌘X, ⌘C, ⌘V and ⌘A on macOS only through a menu that holds them. Every text widget the
// windows use (line and text edits) has these slots, so the focused one is simply asked by name.
[[maybe_unused]] void addEditMenu(QMenuBar& menuBar) {
    QMenu* edit = menuBar.addMenu(QStringLiteral("Edit"));
    const auto addEditAction = [edit](const QString& title, QKeySequence::StandardKey key, const char* slot) {
        QAction* action = edit->addAction(title);
        action->setShortcut(key);
        QObject::connect(action, &QAction::triggered, edit, [slot] {
            if (QWidget* focused = QApplication::focusWidget()) {
                QMetaObject::invokeMethod(focused, slot);
            }
        });
    };
    addEditAction(QStringLiteral("Cut"), QKeySequence::Cut, "cut");
    addEditAction(QStringLiteral("Copy"), QKeySequence::Copy, "copy");
    addEditAction(QStringLiteral("Paste"), QKeySequence::Paste, "paste");
    edit->addSeparator();
    addEditAction(QStringLiteral("Select All"), QKeySequence::SelectAll, "selectAll");
}

}  // namespace

QtFrontEnd::QtFrontEnd(Environment environment) : environment_(std::move(environment)) {}

QtFrontEnd::~QtFrontEnd() = default;

std::unique_ptr<WindowController> QtFrontEnd::createPreferencesWindow() {
    return std::make_unique<BRSPreferencesWindowController>(alerts_, environment_);
}

std::unique_ptr<WindowController> QtFrontEnd::createAboutWindow() {
    return std::make_unique<BRSAboutWindowController>();
}

std::unique_ptr<WindowController> QtFrontEnd::createCredentialsWindow() {
    return std::make_unique<BRSCredentialsWindowController>(alerts_, environment_.defaults());
}

std::unique_ptr<WindowController> QtFrontEnd::createProfileWindow() {
    return std::make_unique<Profile2WindowController>(OpenPanel::Runner{}, &alerts_);
}

std::unique_ptr<StatusView> QtFrontEnd::createStatusView() {
    return std::make_unique<BRSStatusView>();
}

void QtFrontEnd::installMainMenu(StatusMenu* menu) {
#ifdef Q_OS_MACOS
    // A parentless menu bar is the application's menu bar on macOS; an agent only needs it so the usual
    // shortcuts (copy, paste, close) reach its windows.
    mainMenuBar_ = std::make_unique<QMenuBar>();
    if (QMenu* native = QtStatusMenu::nativeMenuOf(menu)) {
        // About, Preferences… and Quit move into the application menu by their roles; the rest stays here.
        if (native->title().isEmpty()) {
            native->setTitle(QStringLiteral("Signatures"));
        }
        mainMenuBar_->addMenu(native);
    }
    addEditMenu(*mainMenuBar_);
#else
    // Other desktops have no application-wide menu bar.
    (void)menu;
#endif
}

void QtFrontEnd::activateIgnoringOtherApps() {
#ifdef Q_OS_MACOS
    // An agent without a Dock icon is never the active application by itself: without this a window it
    // shows opens behind the frontmost application and the keyboard stays there.
    MacActivation::activateIgnoringOtherApps();
#endif
    // Elsewhere each window raises and activates itself when shown.
}
