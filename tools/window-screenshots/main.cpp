// Renders each of the agent's windows to a PNG file, for reviewing layouts without a desktop:
//
//   window-screenshots OUTDIR
//
// Run it offscreen in a throw-away home (tools/screenshots does both): it reads and writes settings.

#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QDir>
#include <QFrame>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTextStream>
#include <QUuid>
#include <QWidget>
#include <cstdio>

#include "BRSAboutWindowController.h"
#include "BRSCredentialsWindowController.h"
#include "BRSPreferencesWindowController.h"
#include "PreferencesStorage.h"
#include "Profile2WindowController.h"
#include "ProfileGetModel.h"
#include "ScriptedAlertPresenter.h"
#include "SecretStore.h"
#include "UserDefaults.h"

namespace {

bool save(QWidget& widget, const QString& folder, const QString& name) {
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!widget.grab().save(path, "PNG")) {
        QTextStream(stderr) << "cannot write " << path << Qt::endl;
        return false;
    }
    QTextStream(stdout) << path << Qt::endl;
    return true;
}

// A head-and-shoulders avatar, drawn so no picture file is needed.
QString samplePortrait() {
    QImage image(150, 150, QImage::Format_RGB32);
    image.fill(QColor(0xdf, 0xe8, 0xf0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x4a, 0x6f, 0x8c));
    painter.drawEllipse(QPointF(75, 58), 30, 30);
    painter.drawEllipse(QRectF(25, 98, 100, 90));
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return QString::fromLatin1(jpeg.toBase64());
}

FieldGetModel field(const QString& code, const QString& label, qint64 type, std::optional<QString> value,
                    QStringList choices = {}) {
    FieldGetModel model;
    model.code = code;
    model.displayName = label;
    model.fieldType = type;
    model.isImageType = type == 2;
    model.value = std::move(value);
    model.listItems = std::move(choices);
    return model;
}

SharedEmployeeGetModel colleague(const QString& name, bool selected) {
    SharedEmployeeGetModel model;
    model.id = QUuid::createUuid();
    model.employeeDisplayName = name;
    model.employeeEmail = name.section(QLatin1Char(' '), 0, 0).toLower() + QStringLiteral("@example.com");
    model.selected = selected;
    return model;
}

ProfileGetModel sampleProfile() {
    ProfileGetModel profile;
    profile.editable = true;
    profile.fields = {
        field(QStringLiteral("name"), QStringLiteral("Full name"), 1, QStringLiteral("Ann Example")),
        field(QStringLiteral("title"), QStringLiteral("Job title"), 1, QStringLiteral("Head of Sales")),
        field(QStringLiteral("phone"), QStringLiteral("Mobile phone number for the signature"), 1,
              std::nullopt),
        field(QStringLiteral("photo"), QStringLiteral("Photo"), 2, samplePortrait()),
        field(QStringLiteral("office"), QStringLiteral("Office"), 3, QStringLiteral("Oslo"),
              {QStringLiteral("Oslo"), QStringLiteral("Bergen"), QStringLiteral("Trondheim")}),
        field(QStringLiteral("banner"), QStringLiteral("Campaign banner"), 4, QStringLiteral("true")),
    };
    profile.sharedEmployees = {colleague(QStringLiteral("Bo Berg (Support)"), true),
                               colleague(QStringLiteral("Cy Dahl (Marketing)"), false),
                               colleague(QStringLiteral("Di Eng (Sales)"), true)};
    return profile;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: window-screenshots OUTDIR\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fputs("cannot create the output folder\n", stderr);
        return 1;
    }
    // Never the desktop's keychain from a rendering tool.
    UserDefaults::standardUserDefaults().setArgumentDomain(
        {{SecretStore::kStoreKey, SecretStore::kFileStoreValue}});
    {
        // Both mail clients, so every control of the preferences shows enabled.
        PreferencesStorage storage;
        storage.setUpdateSignaturesForOutlook(true);
        storage.setUpdateSignaturesForMail(true);
    }

    bool ok = true;
    ScriptedAlertPresenter alerts;

    BRSCredentialsWindowController credentials(alerts);
    credentials.showWindow();
    ok &= save(credentials.window(), folder, QStringLiteral("token-entry"));

    BRSPreferencesWindowController preferences(alerts,
                                               {.runModal = {}, .runAppleScript = [](const QString&) {}});
    preferences.showWindow();
    ok &= save(preferences.window(), folder, QStringLiteral("preferences"));
    preferences.whatIsThis()->click();
    ok &=
        preferences.helpPopover() && save(*preferences.helpPopover(), folder, QStringLiteral("help-popover"));
    preferences.helpPopover()->hide();

    BRSAboutWindowController about;
    about.showWindow();
    ok &= save(about.window(), folder, QStringLiteral("about"));

    Profile2WindowController editor([](const OpenPanel&) { return std::nullopt; });
    editor.centerWindow();
    editor.showWindow();
    ok &= save(editor.window(), folder, QStringLiteral("profile-editor-loading"));
    editor.setFields(sampleProfile(), [](const ProfileUpdateModel&) {});
    ok &= save(editor.window(), folder, QStringLiteral("profile-editor"));

    return ok ? 0 : 1;
}
