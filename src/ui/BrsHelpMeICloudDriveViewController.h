#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "LazyWindow.h"
#include "SystemVersion.h"

// The help shown beside the iCloud Drive check box: what the setting means, and a button that opens the
// system's iCloud settings so the user can look it up there.
class BrsHelpMeICloudDriveViewController final {
public:
    using ScriptRunner = std::function<void(const QString& source)>;
    using UrlOpener = std::function<void(const QString& url)>;

    // System Preferences (macOS 11 and 12) is scriptable; System Settings (13 and later) is not.
    static const QString kShowICloudPaneScript;

    // How the button reaches the iCloud settings on `version`: by address through `openUrl` where System
    // Settings answers to one, by script through `runScript` otherwise; without the one it needs there is
    // no button.
    explicit BrsHelpMeICloudDriveViewController(ScriptRunner runScript = {}, UrlOpener openUrl = {},
                                                SystemVersion version = {});

    // The address of the iCloud settings on `version`; empty before System Settings (macOS 13).
    [[nodiscard]] static QString iCloudSettingsUrl(const SystemVersion& version);

    // Whether this system has an iCloud settings pane the button can reach: System Settings by address,
    // or System Preferences by script. The view offers the button only then.
    [[nodiscard]] bool canShowSettings() const;

    // Made on first use without a parent: whoever shows it takes ownership.
    QWidget* view();
    void showMeClick();

private:
    void build(QWidget& view);

    ScriptRunner runScript_;
    UrlOpener openUrl_;
    SystemVersion version_;
    LazyWindow<QWidget> view_;
};
