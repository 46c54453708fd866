#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "LazyWindow.h"

// The help shown beside the iCloud Drive check box: what the setting means, and a button that opens the
// system's iCloud settings so the user can look it up there.
class BrsHelpMeICloudDriveViewController final {
public:
    using ScriptRunner = std::function<void(const QString& source)>;

    static const QString kShowICloudPaneScript;

    // Runs its script through `runScript`; without one the button opens nothing.
    explicit BrsHelpMeICloudDriveViewController(ScriptRunner runScript = {});

    // Made on first use without a parent: whoever shows it takes ownership.
    QWidget* view();
    void showMeClick();

private:
    void build(QWidget& view);

    ScriptRunner runScript_;
    LazyWindow<QWidget> view_;
};
