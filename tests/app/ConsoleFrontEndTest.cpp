#include "ConsoleFrontEnd.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "BRSAppDelegate.h"
#include "ConsoleStatusMenu.h"
#include "ConsoleStatusView.h"
#include "FakeFrontEnd.h"
#include "OnceRunner.h"
#include "UserDefaults.h"

namespace {

// Collects what the console front end prints.
class CapturedOutput {
public:
    CapturedOutput() : file_(std::tmpfile()) {}
    ~CapturedOutput() { std::fclose(file_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    [[nodiscard]] ConsoleWriter writer() const { return ConsoleWriter(file_); }
    [[nodiscard]] QStringList lines() const {
        std::fflush(file_);
        std::rewind(file_);
        QByteArray bytes;
        char buffer[4096];
        std::size_t read = 0;
        while ((read = std::fread(buffer, 1, sizeof buffer, file_)) > 0) {
            bytes.append(buffer, static_cast<qsizetype>(read));
        }
        std::fseek(file_, 0, SEEK_END);
        QStringList result = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
        if (!result.isEmpty() && result.last().isEmpty()) {
            result.removeLast();
        }
        return result;
    }

private:
    std::FILE* file_;
};

TEST(ConsoleFrontEndTest, StatusChangesPrintOneLineEach) {
    CapturedOutput out;
    ConsoleStatusView view(out.writer());
    ConsoleStatusMenu menu(out.writer());
    view.setStatusMenu(&menu);
    view.setStatusMenu(nullptr);
    view.setStatusImage(StatusImages::imageNamed(StatusImages::kError));
    view.setStatusImage(std::nullopt);
    view.setStatusTooltip(QStringLiteral("Updates are available to your email signatures."));
    view.setStatusTooltip(std::nullopt);
    view.showPopoverWithText(QStringLiteral("hello"));
    menu.updateAllSignaturesItem().setEnabled(false);
    menu.preferencesItem().setEnabled(true);
    menu.enterTokenItem().setEnabled(true);
    menu.enterTokenItem().setEnabled(true);

    EXPECT_EQ(out.lines(),
              (QStringList{
                  QStringLiteral("status-menu on"),
                  QStringLiteral("status-menu off"),
                  QStringLiteral("status-image Orlin_Avatar_20x20 - error"),
                  QStringLiteral("status-image "),
                  QStringLiteral("status-tooltip Updates are available to your email signatures."),
                  QStringLiteral("status-tooltip "),
                  QStringLiteral("popover hello"),
                  QStringLiteral("menu update disabled"),
                  QStringLiteral("menu preferences enabled"),
                  QStringLiteral("menu enter-token enabled"),
                  QStringLiteral("menu enter-token enabled"),
              }));
}

TEST(ConsoleFrontEndTest, AlertsArePrintedOnOneLineAndAnsweredAsChosen) {
    CapturedOutput out;
    Alert question;
    question.messageText = QStringLiteral("We need to quit Apple Mail.");
    question.informativeText = QStringLiteral("Save your work.");
    question.buttonTitles = {QStringLiteral("Continue"), QStringLiteral("Cancel")};
    question.showsSuppressionButton = true;
    question.suppressionButtonTitle = QStringLiteral("Don't show again");
    Alert notice;
    notice.messageText = QStringLiteral("Done.");
    notice.informativeText = QStringLiteral("Apple Mail has been restarted.\r\r");

    ConsoleAlertPresenter continuing(ConsoleAlertPresenter::Answer::Continue, out.writer());
    EXPECT_EQ(continuing.runModal(question), (AlertResponse{0, false}));
    ConsoleAlertPresenter cancelling(ConsoleAlertPresenter::Answer::Cancel, out.writer());
    EXPECT_EQ(cancelling.runModal(question), (AlertResponse{1, false}));
    EXPECT_EQ(cancelling.runModal(notice), (AlertResponse{0, false})) << "a lone button can only be pressed";

    EXPECT_EQ(out.lines(), (QStringList{
                               QStringLiteral("alert We need to quit Apple Mail. | Save your work."),
                               QStringLiteral("alert We need to quit Apple Mail. | Save your work."),
                               QStringLiteral("alert Done. | Apple Mail has been restarted.\\r\\r"),
                           }));
}

TEST(ConsoleFrontEndTest, RunningOnceEndsAfterTheTickOrAfterTheUpdateItStarted) {
    testDefaults().resetForTesting();
    FakeFrontEnd frontEnd;
    FakeStatusMenu menu(frontEnd.log);
    std::vector<BRSSignatureService::CheckCompletion> checks;
    std::vector<BRSSignatureService::UpdateCompletion> retrievals;
    BRSLoginCredentials credentials = BRSLoginCredentials::initWithUserName(std::nullopt, std::nullopt);

    BRSAppDelegate::Dependencies dependencies;
    dependencies.frontEnd = &frontEnd;
    dependencies.defaults = &testDefaults();
    dependencies.backend = SyncBackend::live(testEnvironment());
    dependencies.mailClients = UpdateCycle::MailClients::live(testEnvironment());
    dependencies.makeTimer = [] { return std::make_unique<ManualTimer>(); };
    dependencies.backend.getCredentials = [&] { return credentials; };
    dependencies.backend.storeSignIn = [](const auto&) {};
    dependencies.backend.checkForSignatureUpdates = [&](const auto&, auto completion) {
        checks.push_back(std::move(completion));
    };
    dependencies.backend.getSignaturesForUpdate = [&](const auto&, bool, auto completion) {
        retrievals.push_back(std::move(completion));
    };

    {  // No credentials: the tick ends without a check, which counts as a failure.
        BRSAppDelegate controller(dependencies);
        controller.statusPresenter().connectMenu(menu);
        std::optional<int> exitCode;
        OnceRunner once(controller, [&](int code) { exitCode = code; });
        controller.applicationDidFinishLaunching();
        EXPECT_EQ(exitCode, 1);
    }
    credentials = BRSLoginCredentials::initWithToken(QStringLiteral("t"));
    {  // A successful check with nothing to install.
        BRSAppDelegate controller(dependencies);
        controller.statusPresenter().connectMenu(menu);
        std::optional<int> exitCode;
        OnceRunner once(controller, [&](int code) { exitCode = code; });
        controller.applicationDidFinishLaunching();
        EXPECT_FALSE(exitCode.has_value());
        checks.back()({BRSSignatureService::CheckOutcome{false}, {}});
        EXPECT_EQ(exitCode, 0);
    }
    testDefaults().setBool(true, QStringLiteral("updateSignaturesAutomatically"));
    {  // Updates found and installed automatically: the run waits for the update's outcome.
        BRSAppDelegate controller(dependencies);
        controller.statusPresenter().connectMenu(menu);
        std::optional<int> exitCode;
        OnceRunner once(controller, [&](int code) { exitCode = code; });
        controller.applicationDidFinishLaunching();
        checks.back()({BRSSignatureService::CheckOutcome{true}, {}});
        EXPECT_FALSE(exitCode.has_value());
        ASSERT_FALSE(retrievals.empty());
        retrievals.back()({Error::serviceError(QStringLiteral("x")), {}});
        EXPECT_EQ(exitCode, 1);
    }
    testDefaults().resetForTesting();
}

}  // namespace
