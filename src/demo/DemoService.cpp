#include "DemoService.h"

#include <httplib.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QUuid>
#include <mutex>
#include <thread>

#include "AtomicFile.h"
#include "DemoProfile.h"

namespace {

const std::string kJson = "application/json; charset=utf-8";
const std::string kSyncRootPath = "/sync/ann";

std::string compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

QString parameter(const httplib::Request& request, const char* name) {
    return QString::fromStdString(request.get_param_value(name));
}

QString randomToken(const QString& prefix) {
    return prefix + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

}  // namespace

struct DemoService::State {
    httplib::Server server;
    std::thread thread;
    int port = 0;
    QString profilePath;
    // One per run: the agent exchanges its refresh token for it before every sync-root call.
    const QString accessToken = randomToken(QStringLiteral("demo-access-"));

    std::mutex mutex;
    DemoProfile profile = DemoProfile::initial(QByteArray());

    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(port); }

    void loadProfile() {
        QFile file(profilePath);
        if (file.open(QIODevice::ReadOnly)) {
            if (auto stored = DemoProfile::fromStoredJson(QJsonDocument::fromJson(file.readAll()).object())) {
                profile = std::move(*stored);
                return;
            }
        }
        profile = DemoProfile::initial(drawLogo());
        storeProfile();
    }

    // A failed write keeps the change for this run only; the save itself has still been applied.
    bool storeProfile() {
        return AtomicFile::write(profilePath, QJsonDocument(profile.toStoredJson()).toJson()).ok();
    }

    bool authorised(const httplib::Request& request) const {
        const std::string header = request.get_header_value("Authorization");
        const std::string scheme = "BEARER ";
        return header.size() > scheme.size() &&
               QString::fromStdString(header.substr(0, scheme.size()))
                       .compare(QString::fromStdString(scheme), Qt::CaseInsensitive) == 0 &&
               QString::fromStdString(header.substr(scheme.size())) == accessToken;
    }

    // The agent takes the HTTP status for nothing; a body that is not JSON is what makes it report an error.
    static void refuse(httplib::Response& response) {
        response.status = 401;
        response.set_content("Unauthorized", "text/plain");
    }

    QJsonObject tokenAnswer(const QString& refreshToken) const {
        QJsonObject data{{QStringLiteral("AccessToken"), accessToken},
                         {QStringLiteral("SyncRoot"), base() + QString::fromStdString(kSyncRootPath).mid(1)},
                         {QStringLiteral("UserName"), DemoService::kUserName}};
        if (!refreshToken.isEmpty()) {
            data.insert(QStringLiteral("RefreshToken"), refreshToken);
        }
        return QJsonObject{{QStringLiteral("result"), true},
                           {QStringLiteral("error"), QJsonValue()},
                           {QStringLiteral("data"), data}};
    }

    static QJsonObject failure(const QString& message) {
        return QJsonObject{{QStringLiteral("result"), false},
                           {QStringLiteral("error"), message},
                           {QStringLiteral("data"), QJsonValue()}};
    }

    void route() {
        server.Get("/auth/OAuth/AuthorizeEmployee", [this](const httplib::Request& request,
                                                           httplib::Response& response) {
            // Every token this service ever issued carries the prefix; the service keeps no list of them
            // between runs, so the prefix is what makes a token the demo's own.
            const bool valid = parameter(request, "refreshToken").startsWith(QStringLiteral("demo-refresh-"));
            response.set_content(
                compact(valid ? tokenAnswer(randomToken(QStringLiteral("demo-refresh-")))
                              : failure(QStringLiteral("This access code is not valid for the Orlin demo."))),
                kJson);
        });
        server.Get("/auth/OAuth/AuthorizeADEmployee", [this](const httplib::Request& request,
                                                             httplib::Response& response) {
            const bool valid = parameter(request, "authToken") == DemoService::kDomainToken;
            response.set_content(compact(valid ? tokenAnswer(QString())
                                               : failure(QStringLiteral("The domain token is not valid."))),
                                 kJson);
        });
        const auto invitation = [](const httplib::Request& request, httplib::Response& response) {
            const bool valid =
                parameter(request, "email").compare(DemoService::kUserName, Qt::CaseInsensitive) == 0 &&
                parameter(request, "secret") == DemoService::kPassword;
            response.set_content(
                compact(valid ? QJsonObject{{QStringLiteral("data"), QStringLiteral("demo-invitation")}}
                              : failure(QStringLiteral("Unknown user name or password."))),
                kJson);
        };
        server.Get("/eu/RegApi/GetCompatInvitationCode", invitation);
        server.Get("/app/RegApi/GetCompatInvitationCode", invitation);
        server.Get("/auth/Invite/AutoInvite", [](const httplib::Request& request,
                                                 httplib::Response& response) {
            const bool valid = parameter(request, "code") == QLatin1String("demo-invitation");
            response.set_content(compact(valid ? QJsonObject{{QStringLiteral("data"),
                                                              randomToken(QStringLiteral("demo-refresh-"))}}
                                               : failure(QStringLiteral("The invitation has expired."))),
                                 kJson);
        });

        server.Get(kSyncRootPath + "/sync3",
                   [this](const httplib::Request& request, httplib::Response& response) {
                       if (!authorised(request)) {
                           refuse(response);
                           return;
                       }
                       std::lock_guard lock(mutex);
                       response.set_content(compact(profile.signaturesJson()), kJson);
                   });
        server.Get(kSyncRootPath + "/api/5.0/profile", [this](const httplib::Request& request,
                                                              httplib::Response& response) {
            if (!authorised(request)) {
                refuse(response);
                return;
            }
            std::lock_guard lock(mutex);
            response.set_content(compact(QJsonObject{{QStringLiteral("result"), true},
                                                     {QStringLiteral("error"), QJsonValue()},
                                                     {QStringLiteral("data"), profile.toServiceJson()}}),
                                 kJson);
        });
        server.Post(kSyncRootPath + "/api/5.0/profile",
                    [this](const httplib::Request& request, httplib::Response& response) {
                        if (!authorised(request)) {
                            refuse(response);
                            return;
                        }
                        QJsonParseError parseError{};
                        const QJsonDocument body =
                            QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &parseError);
                        QString error;
                        std::lock_guard lock(mutex);
                        if (parseError.error != QJsonParseError::NoError || !body.isObject()) {
                            error = QStringLiteral("The profile update could not be read.");
                        } else if (profile.applyUpdate(body.object(), &error) && !storeProfile()) {
                            error = QStringLiteral("The profile was changed but could not be stored.");
                        }
                        response.set_content(
                            compact(error.isEmpty() ? QJsonObject{{QStringLiteral("result"), true},
                                                                  {QStringLiteral("data"), QJsonValue()},
                                                                  {QStringLiteral("error"), QJsonValue()}}
                                                    : failure(error)),
                            kJson);
                    });
        server.Get(R"(/images/logo-[0-9a-f]+\.png)",
                   [this](const httplib::Request& request, httplib::Response& response) {
                       std::lock_guard lock(mutex);
                       // Only the current logo: an old address must not keep serving a picture the user
                       // replaced.
                       if (QString::fromStdString(request.path) != profile.logoPath()) {
                           response.status = 404;
                           return;
                       }
                       const QByteArray data = profile.logoData();
                       response.set_content(data.toStdString(), "image/png");
                   });
    }
};

DemoService::DemoService(QString profilePath, int preferredPort) : state_(std::make_unique<State>()) {
    State* state = state_.get();
    state->profilePath = std::move(profilePath);
    state->loadProfile();
    state->route();
    if (preferredPort > 0 && preferredPort < 65536 &&
        state->server.bind_to_port("127.0.0.1", preferredPort)) {
        state->port = preferredPort;
    } else {
        state->port = state->server.bind_to_any_port("127.0.0.1");
    }
    if (state->port > 0) {
        state->thread = std::thread([state] { state->server.listen_after_bind(); });
        // Stopping a server that has not begun to listen does nothing, and it would then listen forever.
        while (!state->server.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

DemoService::~DemoService() {
    state_->server.stop();
    if (state_->thread.joinable()) {
        state_->thread.join();
    }
}

bool DemoService::isRunning() const {
    return state_->port > 0;
}

int DemoService::port() const {
    return state_->port;
}

QString DemoService::baseUrl() const {
    return state_->base();
}

QString DemoService::authBaseUrl() const {
    return baseUrl() + QStringLiteral("auth/");
}

QString DemoService::euAppBaseUrl() const {
    return baseUrl() + QStringLiteral("eu/");
}

QString DemoService::appBaseUrl() const {
    return baseUrl() + QStringLiteral("app/");
}

QString DemoService::imageHostUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(state_->port);
}

QStringList DemoService::signatureNames() const {
    std::lock_guard lock(state_->mutex);
    QStringList names;
    for (const QJsonValue& signature :
         state_->profile.signaturesJson().value(QStringLiteral("signatures")).toArray()) {
        names.append(signature.toObject().value(QStringLiteral("Name")).toString());
    }
    return names;
}

QByteArray DemoService::drawLogo() {
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x1a, 0x5f, 0xb4));
        painter.drawRoundedRect(QRectF(4, 4, 120, 120), 24, 24);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 14));
        painter.drawEllipse(QRectF(32, 32, 64, 64));
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}
