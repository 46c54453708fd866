#include "ConsoleFrontEnd.h"

#include "ConsoleStatusView.h"
#include "WindowController.h"

namespace {

// Headless runs have no menu to open a window from; the controller still gets one of each.
class NoWindow final : public WindowController {
public:
    void centerWindow() override {}
    void showWindow() override {}
};

}  // namespace

ConsoleFrontEnd::ConsoleFrontEnd(ConsoleAlertPresenter::Answer answer, ConsoleWriter writer)
    : writer_(writer), alerts_(answer, writer) {}

std::unique_ptr<WindowController> ConsoleFrontEnd::createPreferencesWindow() {
    return std::make_unique<NoWindow>();
}

std::unique_ptr<WindowController> ConsoleFrontEnd::createAboutWindow() {
    return std::make_unique<NoWindow>();
}

std::unique_ptr<WindowController> ConsoleFrontEnd::createCredentialsWindow() {
    return std::make_unique<NoWindow>();
}

std::unique_ptr<WindowController> ConsoleFrontEnd::createProfileWindow() {
    return std::make_unique<NoWindow>();
}

std::unique_ptr<StatusView> ConsoleFrontEnd::createStatusView() {
    return std::make_unique<ConsoleStatusView>(writer_);
}

void ConsoleFrontEnd::installMainMenu(StatusMenu* /*menu*/) {}

void ConsoleFrontEnd::activateIgnoringOtherApps() {}
