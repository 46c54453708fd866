// Renders each of the agent's windows to a PNG file, for reviewing layouts without a desktop, and the
// status images on a light and a dark panel:
//
//   window-screenshots OUTDIR
//
// Run it offscreen in a throw-away home (tools/screenshots does both): it reads and writes settings. It then
// runs itself again with "--scaled" to render the profile editor on a 1280 x 800 screen at twice the scale,
// where a window taller than 400 points no longer fits.

#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QDir>
#include <QEventLoop>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTextStream>
#include <QTimer>
#include <QUuid>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

#include "BRSAboutWindowController.h"
#include "BRSCredentialsWindowController.h"
#include "BRSKeychainController.h"
#include "BRSPreferencesWindowController.h"
#include "Environment.h"
#include "PreferencesStorage.h"
#include "Profile2WindowController.h"
#include "ProfileGetModel.h"
#include "QtAlertPresenter.h"
#include "ScriptedAlertPresenter.h"
#include "SecretStore.h"
#include "ServiceConfiguration.h"
#include "StatusImages.h"
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
    model.fieldType = ProfileFieldTypes::fromWire(type);
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

// The five status images as a tray shows them, on a panel of the given colour: a row as drawn for
// ordinary screens and a row of the images for dense ones.
bool saveStatusImages(const QString& folder, const QString& name, const QColor& panelColour) {
    QWidget panel;
    QPalette palette = panel.palette();
    palette.setColor(QPalette::Window, panelColour);
    panel.setPalette(palette);
    panel.setAutoFillBackground(true);
    auto* rows = new QVBoxLayout(&panel);
    rows->setContentsMargins(8, 4, 8, 4);
    for (const QString& suffix : {QString(), QStringLiteral("@2x")}) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        for (const QString& imageName : {StatusImages::kInitial, StatusImages::kUpdating,
                                         StatusImages::kNotify, StatusImages::kError, StatusImages::kOk}) {
            const std::optional<StatusImage> image = StatusImages::imageNamed(imageName);
            if (!image) {
                QTextStream(stderr) << "no status image " << imageName << Qt::endl;
                return false;
            }
            QString path = image->resourcePath;
            path.insert(path.size() - 4, suffix);
            // Dense images at their full size, to see their detail.
            QPixmap pixmap(path);
            pixmap.setDevicePixelRatio(1.0);
            auto* label = new QLabel(&panel);
            label->setPixmap(pixmap);
            row->addWidget(label);
        }
        row->addStretch();
        rows->addLayout(row);
    }
    panel.adjustSize();
    return save(panel, folder, name);
}

// A sign-in service on 127.0.0.1 that gives every request `answer`, so the token window can be shown
// with the service's refusal or acceptance of a code.
class SignInStandIn final {
public:
    SignInStandIn() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            QTcpSocket* socket = server_.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->readAll().contains("\r\n\r\n")) {
                    return;
                }
                socket->write(QByteArray("HTTP/1.1 ") + status + "\r\nContent-Type: application/json\r\n" +
                              "Connection: close\r\nContent-Length: " + QByteArray::number(answer.size()) +
                              "\r\n\r\n" + answer);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        });
    }
    [[nodiscard]] QString baseUrl() const {
        return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort());
    }

    QByteArray status = "200 OK";
    QByteArray answer;

private:
    QTcpServer server_;
};

// A secret store that refuses every write, as one does whose prompt the user cancelled.
class RefusingSecretStore final : public SecretStore {
public:
    FindResult find(const QString&, const QString&) override { return {Status::NotFound, {}}; }
    Status add(const QString&, const QString&, const QByteArray&) override { return Status::Failure; }
    Status replace(const QString&, const QString&, const QByteArray&) override { return Status::Failure; }
    Status remove(const QString&, const QString&) override { return Status::NotFound; }
};

void waitForAnswer(const BRSCredentialsWindowController& credentials) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!credentials.isChecking()) {
            loop.quit();
        }
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    poll.start(10);
    loop.exec();
}

// The token window refusing a code, and the alert of a secret store that refused to keep one.
bool renderTokenAnswers(const QString& folder, UserDefaults& defaults) {
    SignInStandIn service;
    defaults.setArgumentDomain({{SecretStore::kStoreKey, SecretStore::kFileStoreValue},
                                {ServiceConfiguration::kAuthBaseUrlKey, service.baseUrl()}});
    bool ok = true;
    ScriptedAlertPresenter scripted;
    service.status = "401 Unauthorized";
    service.answer =
        R"({"result": false, "error": "This access code has expired. Ask your administrator for a new one."})";
    BRSCredentialsWindowController refused(scripted, defaults);
    refused.showWindow();
    refused.textToken()->setText(QStringLiteral("6f1c-22a9-WRONG"));
    refused.save();
    waitForAnswer(refused);
    ok &= save(refused.window(), folder, QStringLiteral("token-refused"));
    refused.close();

    service.status = "200 OK";
    service.answer = R"({"result": true, "data": {"RefreshToken": "r", "AccessToken": "a", "SyncRoot": ")" +
                     service.baseUrl().toUtf8() + R"(", "UserName": "ann"}})";
    BRSKeychainController::sharedKeychainController().useSecretStore(std::make_shared<RefusingSecretStore>());
    QtAlertPresenter alerts;
    BRSCredentialsWindowController notSaved(alerts, defaults);
    notSaved.showWindow();
    notSaved.textToken()->setText(QStringLiteral("6f1c-22a9-8d41"));
    // The alert is modal: it is captured from inside its own loop, then dismissed.
    QTimer capture;
    QObject::connect(&capture, &QTimer::timeout, &capture, [&] {
        if (QWidget* alert = QApplication::activeModalWidget(); alert && alert != &notSaved.window()) {
            capture.stop();
            ok &= save(*alert, folder, QStringLiteral("token-not-saved"));
            alert->close();
        }
    });
    capture.start(50);
    notSaved.save();
    waitForAnswer(notSaved);
    capture.stop();
    notSaved.close();
    defaults.setArgumentDomain({{SecretStore::kStoreKey, SecretStore::kFileStoreValue}});
    return ok;
}

// A screen of 1280 x 800 pixels at twice the scale; only the environment can say so, before the
// application starts.
bool prepareScaledScreen(QTemporaryFile& config) {
    if (!config.open()) {
        return false;
    }
    config.write(R"({"screens": [{"name": "scaled", "x": 0, "y": 0, "width": 1280, "height": 800,
                                  "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    qputenv("QT_SCALE_FACTOR", "2");
    return true;
}

// The whole screen with `windows` where they stand on it, so a picture shows whether they fit.
bool saveScreen(const QList<QWidget*>& windows, const QString& folder, const QString& name) {
    QApplication::processEvents();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal ratio = windows.isEmpty() ? 1.0 : windows.constFirst()->devicePixelRatioF();
    QPixmap picture((QSizeF(screen->geometry().size()) * ratio).toSize());
    picture.setDevicePixelRatio(ratio);
    picture.fill(QColor(0x3c, 0x4a, 0x5a));
    QPainter painter(&picture);
    for (QWidget* window : windows) {
        painter.drawPixmap(window->geometry().topLeft(), window->grab());
    }
    painter.end();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!picture.save(path, "PNG")) {
        QTextStream(stderr) << "cannot write " << path << Qt::endl;
        return false;
    }
    QTextStream(stdout) << path << Qt::endl;
    return true;
}

int renderScaled(const QString& folder, const Environment& environment) {
    Profile2WindowController editor([](const OpenPanel&) { return std::nullopt; });
    editor.centerWindow();
    editor.showWindow();
    editor.setFields(sampleProfile(), [](const ProfileUpdateModel&) {});
    bool ok = save(editor.window(), folder, QStringLiteral("profile-editor-2x"));
    editor.window().hide();

    ScriptedAlertPresenter alerts;
    BRSPreferencesWindowController preferences(
        alerts, environment,
        {.runModal = {}, .runAppleScript = [](const QString&) {}, .openSystemSettings = {}});
    preferences.centerWindow();
    preferences.showWindow();
    ok &= saveScreen({&preferences.window()}, folder, QStringLiteral("preferences-2x"));
    preferences.whatIsThis()->click();
    ok &= preferences.helpPopover() && saveScreen({&preferences.window(), preferences.helpPopover()}, folder,
                                                  QStringLiteral("help-popover-2x"));
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool scaled = argc == 3 && qstrcmp(argv[2], "--scaled") == 0;
    QTemporaryFile screenConfig;
    if (scaled && !prepareScaledScreen(screenConfig)) {
        std::fputs("cannot describe the scaled screen\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    if (argc != 2 && !scaled) {
        std::fputs("usage: window-screenshots OUTDIR\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fputs("cannot create the output folder\n", stderr);
        return 1;
    }
    // A rendering tool keeps everything it sets (both mail clients, a file secret store) in a folder of its
    // own: never the user's preferences or keychain. No script runs from it.
    const QTemporaryDir root;
    if (!root.isValid()) {
        std::fputs("cannot create a temporary folder\n", stderr);
        return 1;
    }
    Environment environment = Environment::forRoot(root.path());
    BRSKeychainController::sharedKeychainController().useSecretStore(environment.secretStore);
    {
        // Both mail clients, so every control of the preferences shows enabled.
        PreferencesStorage storage(environment.defaults());
        storage.setUpdateSignaturesForOutlook(true);
        storage.setUpdateSignaturesForMail(true);
    }

    if (scaled) {
        return renderScaled(folder, environment);
    }

    bool ok = true;
    ScriptedAlertPresenter alerts;

    BRSCredentialsWindowController credentials(alerts, environment.defaults());
    credentials.showWindow();
    ok &= save(credentials.window(), folder, QStringLiteral("token-entry"));
    credentials.close();
    ok &= renderTokenAnswers(folder, environment.defaults());
    BRSKeychainController::sharedKeychainController().useSecretStore(environment.secretStore);

    BRSPreferencesWindowController preferences(
        alerts, environment,
        {.runModal = {}, .runAppleScript = [](const QString&) {}, .openSystemSettings = {}});
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
    editor.setLoadFailure(QStringLiteral("Orlin could not reach the Orlin service."), [] {});
    ok &= save(editor.window(), folder, QStringLiteral("profile-editor-load-failed"));
    editor.setFields(sampleProfile(), [](const ProfileUpdateModel&) {});
    ok &= save(editor.window(), folder, QStringLiteral("profile-editor"));

    ok &= saveStatusImages(folder, QStringLiteral("status-images-light"), QColor(0xef, 0xf0, 0xf1));
    ok &= saveStatusImages(folder, QStringLiteral("status-images-dark"), QColor(0x2a, 0x2e, 0x32));

    QProcess scaledRun;
    scaledRun.setProcessChannelMode(QProcess::ForwardedChannels);
    scaledRun.start(QCoreApplication::applicationFilePath(), {folder, QStringLiteral("--scaled")});
    ok &= scaledRun.waitForFinished(-1) && scaledRun.exitStatus() == QProcess::NormalExit &&
          scaledRun.exitCode() == 0;

    return ok ? 0 : 1;
}
