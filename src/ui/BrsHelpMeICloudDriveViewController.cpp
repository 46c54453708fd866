#include "BrsHelpMeICloudDriveViewController.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

const QString BrsHelpMeICloudDriveViewController::kShowICloudPaneScript = QStringLiteral(
    "tell application \"System Preferences\"\n"
    "activate\n"
    "set the current pane to pane id \"com.apple.preferences.icloud\"\n"
    "end tell\n");

BrsHelpMeICloudDriveViewController::BrsHelpMeICloudDriveViewController(ScriptRunner runScript,
                                                                       UrlOpener openUrl,
                                                                       SystemVersion version)
    : runScript_(std::move(runScript)),
      openUrl_(std::move(openUrl)),
      version_(version),
      view_([this](QWidget& view) { build(view); }) {}

QString BrsHelpMeICloudDriveViewController::iCloudSettingsUrl(const SystemVersion& version) {
    if (version.majorVersion >= 14) {
        // macOS 14 rebuilt the account settings; the Ventura pane's identifier is no longer its own.
        return QStringLiteral("x-apple.systempreferences:com.apple.systempreferences.AppleIDSettings?iCloud");
    }
    if (version.majorVersion == 13) {
        return QStringLiteral("x-apple.systempreferences:com.apple.preferences.AppleIDPrefPane?iCloud");
    }
    return {};
}

QWidget* BrsHelpMeICloudDriveViewController::view() {
    return &view_.get();
}

void BrsHelpMeICloudDriveViewController::build(QWidget& view) {
    auto* layout = new QVBoxLayout(&view);
    auto* title = new QLabel(QStringLiteral("<b>Do I use iCloud Drive for Mail?</b>"), &view);
    auto* text = new QLabel(
        QStringLiteral("When “iCloud Drive” is switched on in your iCloud settings, Apple Mail keeps its "
                       "signatures in iCloud Drive, and Orlin must install them there. Open the iCloud "
                       "settings and look whether iCloud Drive is switched on; if it is, tick this box."),
        &view);
    text->setWordWrap(true);
    text->setFixedWidth(300);
    layout->addWidget(title);
    layout->addWidget(text);
    // A button that can open nothing would look broken; the text alone still explains the setting.
    if (!canShowSettings()) {
        return;
    }
    auto* showMe = new QPushButton(QStringLiteral("Show Me iCloud Settings"), &view);
    showMe->setAutoDefault(false);
    layout->addWidget(showMe, 0, Qt::AlignRight);
    QObject::connect(showMe, &QPushButton::clicked, &view, [this] { showMeClick(); });
}

bool BrsHelpMeICloudDriveViewController::canShowSettings() const {
    return iCloudSettingsUrl(version_).isEmpty() ? static_cast<bool>(runScript_)
                                                 : static_cast<bool>(openUrl_);
}

void BrsHelpMeICloudDriveViewController::showMeClick() {
    if (const QString url = iCloudSettingsUrl(version_); !url.isEmpty() && openUrl_) {
        openUrl_(url);
    } else if (runScript_) {
        runScript_(kShowICloudPaneScript);
    }
}
