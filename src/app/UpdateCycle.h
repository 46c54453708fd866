#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "BRSMailAppService.h"
#include "BRSSignature.h"
#include "Error.h"
#include "Preferences.h"
#include "Result.h"

struct Alert;
class AlertPresenter;
struct Environment;
class BRSViewState;

// The part of an update that happens once the signatures have arrived: choosing the mail clients from the
// preferences, asking before Apple Mail is quit, quitting it once, handing every client the whole update,
// starting Mail again, and telling the user how it went.
class UpdateCycle final {
public:
    // How the cycle reaches the mail clients; `live()` gives the real installers and script runner.
    struct MailClients {
        std::function<std::unique_ptr<BRSMailAppService>()> makeOutlook;
        std::function<std::unique_ptr<BRSMailAppService>(bool isUsingICloudDrive)> makeAppleMail;
        std::function<Result<QString>(const QString& source)> runAppleScript;
        // The new Outlook has no scripting for signatures: asked before any script is sent to Outlook.
        std::function<bool()> isRunningNewOutlook;
        // Opens a System Settings pane by its address; left empty where there are no System Settings.
        std::function<void(const QString& url)> openSystemSettings;
        // Whether an EPERM from Mail's folder means the missing Full Disk Access (macOS); elsewhere it is
        // an ordinary failure with the system's own reason.
        bool fullDiskAccessApplies = false;

        // The environment's defaults must outlive the clients.
        [[nodiscard]] static MailClients live(const Environment& environment);
    };

    static inline const QString kMailIsRunningScript = QStringLiteral("application \"Mail\" is running");
    static inline const QString kRunMailScript = QStringLiteral("tell application \"Mail\" to run");
    static inline const QString kQuitMailScript = QStringLiteral("tell application \"Mail\" to quit\n");
    static inline const QString kAutomationPane =
        QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation");

    struct Outcome {
        // No installation failed and no chosen client was left out.
        bool succeeded = false;
        // One per signature, in order: whether every client this update served installed it.
        QList<bool> installed;
    };

    // Told before each installation (one signature into one client) which one it is, from 1, and how many
    // there are in this cycle.
    using Progress = std::function<void(int current, int total)>;

    UpdateCycle(BRSViewState& viewState, AlertPresenter& alerts, MailClients clients, Progress progress = {});

    // Installs the signatures as the preferences say.
    [[nodiscard]] Outcome install(const QList<BRSSignature>& signatures, bool clean,
                                  const Preferences& preferences);

private:
    // Tells Mail to quit before its files change. Whatever Mail answers, its signatures are still written;
    // a time-out is handed back, to end Mail's part after its first signature.
    std::optional<Error> quitAppleMail();
    // What the cycle does with a signature one client failed to install: its alerts, and whether the rest
    // of that client's part is still worth trying.
    BRSMailAppService::Next afterFailure(const BRSMailAppService& installer, const BRSSignature& signature,
                                         const Error& error);
    // Ends that client's part, telling the user which client did not answer.
    BRSMailAppService::Next stopAfterTimeOut(const BRSMailAppService& installer,
                                             const BRSSignature& signature, const Error& error);
    // Whether Apple Mail may be written to now; asks the user when Mail is running and the question is on.
    bool mayQuitAppleMail(const Preferences& preferences, bool* restartMail);
    void showSuccess(const Preferences& preferences, bool mailRestarted, bool mailDeclined);
    void showNewOutlook();
    // Once per cycle: the refusal ends that client's part.
    void showFullDiskAccess();
    // Once per cycle, whichever application refused first: the refusal ends that client's part.
    void showAutomationRefused();
    // Once per client: a client that let one script time out would most likely let every other one too.
    void showTimedOut(const QString& appName, const Error& error);
    void offerSystemSettings(Alert alert, const QString& pane);

    BRSViewState& viewState_;
    AlertPresenter& alerts_;
    MailClients clients_;
    Progress progress_;
    bool automationRefusalShown_ = false;
    // Orlin is quitting: the rest of the cycle is dropped without a word.
    bool cancelled_ = false;
};
