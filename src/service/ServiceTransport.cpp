#include "ServiceTransport.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "BRSLog.h"
#include "MainQueue.h"
#include "UrlErrors.h"

namespace {
// Large enough to keep a fast connection busy between two reads of the main thread.
constexpr qint64 kReadBufferSize = qint64(4) * 1024 * 1024;

const QString kAnswerTooLargeMessage = QStringLiteral("The answer from Orlin is too large to be read.");

bool isLoopbackHost(const QString& host) {
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// The system's proxy settings, except towards this machine, which no proxy can reach on our behalf.
class SystemProxyFactory final : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        if (isLoopbackHost(query.peerHostName())) {
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        }
        return systemProxyForQuery(query);
    }
};

Error transportError(qint64 code, const QString& description) {
    return Error{UrlErrors::kDomain, code, description};
}

// Qt turns some HTTP statuses into errors; for us they are answers, judged by their body. An
// authentication challenge is not among them: without credentials it cannot be answered at all.
bool restatesHttpStatus(QNetworkReply::NetworkError code) {
    switch (code) {
        case QNetworkReply::ContentAccessDenied:
        case QNetworkReply::ContentOperationNotPermittedError:
        case QNetworkReply::ContentNotFoundError:
        case QNetworkReply::ContentReSendError:
        case QNetworkReply::ContentConflictError:
        case QNetworkReply::ContentGoneError:
        case QNetworkReply::UnknownContentError:
        case QNetworkReply::ProtocolInvalidOperationError:
        case QNetworkReply::InternalServerError:
        case QNetworkReply::OperationNotImplementedError:
        case QNetworkReply::ServiceUnavailableError:
        case QNetworkReply::UnknownServerError:
            return true;
        default:
            return false;
    }
}

bool refusesAuthentication(QNetworkReply::NetworkError code) {
    return code == QNetworkReply::AuthenticationRequiredError ||
           code == QNetworkReply::ProxyAuthenticationRequiredError;
}

// Answers nothing for errors that only restate the HTTP status of an answer that did arrive.
std::optional<Error> errorFromReply(QNetworkReply& reply, bool hasBody) {
    const QNetworkReply::NetworkError code = reply.error();
    if (code == QNetworkReply::NoError) {
        return std::nullopt;
    }
    const QString description = reply.errorString();
    // Qt also reports content it cannot decode as a content error, on an answer with a success status.
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // Whatever page a proxy sends with its refusal, it is not the service's answer.
    if (code == QNetworkReply::ProxyAuthenticationRequiredError || status == 407) {
        return transportError(ServiceTransport::kProxyAuthenticationRequired, description);
    }
    if (restatesHttpStatus(code) && status >= 400) {
        return std::nullopt;
    }
    // A refusal that explains itself (a revoked token, say) is the service's answer; the body says why.
    if (refusesAuthentication(code) && hasBody) {
        return std::nullopt;
    }
    switch (code) {
        case QNetworkReply::ConnectionRefusedError:
        case QNetworkReply::ProxyConnectionRefusedError:
            return transportError(UrlErrors::kCannotConnectToHost, description);
        case QNetworkReply::RemoteHostClosedError:
        case QNetworkReply::ProxyConnectionClosedError:
            return transportError(UrlErrors::kNetworkConnectionLost, description);
        case QNetworkReply::HostNotFoundError:
        case QNetworkReply::ProxyNotFoundError:
            return transportError(UrlErrors::kCannotFindHost, description);
        case QNetworkReply::TimeoutError:
        case QNetworkReply::ProxyTimeoutError:
            return transportError(UrlErrors::kTimedOut, description);
        case QNetworkReply::OperationCanceledError:
            return transportError(UrlErrors::kCancelled, description);
        case QNetworkReply::SslHandshakeFailedError:
            return transportError(UrlErrors::kSecureConnectionFailed, description);
        case QNetworkReply::TemporaryNetworkFailureError:
        case QNetworkReply::NetworkSessionFailedError:
            return transportError(UrlErrors::kNotConnectedToInternet, description);
        case QNetworkReply::TooManyRedirectsError:
        case QNetworkReply::InsecureRedirectError:
            return transportError(UrlErrors::kTooManyRedirects, description);
        // We hold no HTTP credentials, so a bare refusal is given up, as the platform does without a
        // delegate; callers recognise the code and ask the user to check the login.
        case QNetworkReply::AuthenticationRequiredError:
            return transportError(UrlErrors::kUserCancelledAuthentication, description);
        case QNetworkReply::UnknownContentError:
            return transportError(UrlErrors::kCannotDecodeContentData, description);
        case QNetworkReply::ProtocolUnknownError:
            return transportError(UrlErrors::kUnsupportedUrl, description);
        case QNetworkReply::ProtocolFailure:
        case QNetworkReply::ProtocolInvalidOperationError:
            return transportError(UrlErrors::kBadServerResponse, description);
        default:
            break;
    }
    return transportError(UrlErrors::kUnknown, description);
}

int portOf(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.port(scheme == QStringLiteral("https") ? 443 : scheme == QStringLiteral("http") ? 80 : -1);
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && portOf(a) == portOf(b);
}

// Token calls carry their secrets in the query, and a user name may sit in the authority: neither belongs
// in a log.
QString addressForLog(const QUrl& url) {
    return url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
        .toString(QUrl::FullyEncoded);
}

// Qt's error texts quote the address they failed on, query and all.
QString withoutAddressSecrets(QString text, const QUrl& url) {
    const QString safe = addressForLog(url);
    for (const QString& form : {url.toString(), url.toString(QUrl::FullyEncoded), url.toDisplayString()}) {
        text.replace(form, safe);
    }
    for (const QString& query : {url.query(QUrl::FullyEncoded), url.query(QUrl::FullyDecoded)}) {
        if (!query.isEmpty()) {
            text.replace(query, QStringLiteral("…"));
        }
    }
    return text;
}

// The transport's part of "why did my signature not update": which request failed, and how. What the
// flow made of it is logged by the flow.
void logOutcome(const QByteArray& verb, const QUrl& url, int status, const std::optional<Error>& error) {
    const QString address = addressForLog(url);
    if (error) {
        const QString statusText = status > 0 ? QStringLiteral(", HTTP status %1").arg(status) : QString();
        BRSLogWarn(u"%@ %@ failed (%@ %@%@): %@", QString::fromLatin1(verb), address, error->domain,
                   error->code, statusText, withoutAddressSecrets(error->localizedDescription, url));
    } else if (status >= 400) {
        BRSLogWarn(u"%@ %@ answered with HTTP status %@", QString::fromLatin1(verb), address, status);
    }
}

// One request as it is sent, and sent again to where a redirect to another origin leads.
struct Call {
    QNetworkRequest request;
    QByteArray verb;
    QByteArray body;
    ServiceTransport::AnswerCompletion completion;
    ServiceTransport::Reserve reserve;
    TransportLimits limits;
    int originChanges = 0;
};

// Makes room for at least `needed` bytes. Without a declared length the room doubles, so that an answer
// arriving in many pieces is copied a handful of times rather than once per piece.
void makeRoom(const Call& call, QByteArray& body, qint64 needed) {
    if (needed <= body.capacity()) {
        return;
    }
    call.reserve(body,
                 std::min(std::max(needed, qint64(body.capacity()) * 2), call.limits.maximumAnswerSize));
}

// Moves what has arrived straight from the reply into the body's spare room, without a copy in between.
// Reads until nothing is left: a compressed answer may be decoded as it is read, so more can show up.
// False when the answer would grow beyond the limit.
bool readArrived(const Call& call, QNetworkReply& reply, QByteArray& body) {
    for (qint64 available = reply.bytesAvailable(); available > 0; available = reply.bytesAvailable()) {
        const qint64 size = body.size();
        if (size + available > call.limits.maximumAnswerSize) {
            return false;
        }
        makeRoom(call, body, size + available);
        body.resize(size + available);
        const qint64 read = reply.read(body.data() + size, available);
        body.resize(size + std::max<qint64>(read, 0));
        if (read <= 0) {
            break;
        }
    }
    return true;
}

// One exchange on a manager of its own, so that nothing (connections, cookies, credentials) is shared
// between requests. The state lives until the manager is deleted after the answer.
struct Exchange {
    Call call;
    QByteArray body;
    std::optional<Error> ownError;
    bool finished = false;
    // For the log line of a failure.
    QUrl origin;
    // Where a redirect to another origin leads; the request is sent there anew, without the token.
    std::optional<QUrl> followTo;
};

void send(Call call);

void start(Call call) {
    auto* manager = new QNetworkAccessManager();
    manager->setProxyFactory(new SystemProxyFactory());
    auto exchange = std::make_shared<Exchange>();
    QNetworkRequest& request = call.request;

    // The bearer token and the body are meant for the service alone: a redirect may move within its
    // origin with them, but another server only ever sees a request without them.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    const qint64 limit = call.limits.maximumAnswerSize;
    // Qt refuses a compressed answer beyond 10 MiB that shrank more than 40:1, yet a thousand signatures
    // made from one template shrink far more. The cap on the decoded answer, checked as it is read, is
    // what keeps a hostile server from exhausting memory.
    request.setDecompressedSafetyCheckThreshold(-1);
    exchange->origin = request.url();
    QNetworkReply* reply = call.verb == "GET" ? manager->get(request)
                                              : manager->sendCustomRequest(request, call.verb, call.body);
    exchange->call = std::move(call);

    // Qt's network thread reads ahead of us into the reply; unbounded, a fast server could fill memory with
    // an oversized answer before the main thread has looked at its length.
    reply->setReadBufferSize(kReadBufferSize);

    // An idle timer rather than a total one: a large answer that keeps arriving is not a stalled one.
    auto* idleTimer = new QTimer(reply);
    idleTimer->setSingleShot(true);
    idleTimer->setInterval(exchange->call.limits.stallTimeout);
    const auto stop = [reply, exchange](Error error) {
        if (!exchange->ownError) {
            exchange->ownError = std::move(error);
        }
        reply->abort();
    };
    QObject::connect(idleTimer, &QTimer::timeout, reply, [stop] {
        stop(transportError(UrlErrors::kTimedOut, QStringLiteral("The request timed out.")));
    });
    QTimer::singleShot(exchange->call.limits.totalTimeout, reply, [stop] {
        stop(transportError(UrlErrors::kTimedOut, QStringLiteral("The request timed out.")));
    });
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, exchange, stop](const QUrl& target) {
        const QUrl next = reply->url().resolved(target);
        switch (ServiceTransport::redirectFor(exchange->origin, next)) {
            case ServiceTransport::Redirect::KeepToken:
                Q_EMIT reply->redirectAllowed();
                return;
            case ServiceTransport::Redirect::DropToken:
                // A body goes to the service alone, and a chain of origins is a loop or an attack.
                if (exchange->call.verb == "GET" &&
                    exchange->call.originChanges < ServiceTransport::kMaximumOriginChanges) {
                    exchange->followTo = next;
                    reply->abort();
                    return;
                }
                break;
            case ServiceTransport::Redirect::Refuse:
                break;
        }
        stop(transportError(ServiceTransport::kRedirectRefused,
                            QStringLiteral("The server sent the request on to another address.")));
    });
    const auto progress = [idleTimer] { idleTimer->start(); };
    QObject::connect(reply, &QNetworkReply::uploadProgress, idleTimer, progress);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, exchange, stop, progress, limit] {
        progress();
        const QVariant header = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!header.isValid()) {
            return;
        }
        const qint64 length = header.toLongLong();
        if (length > limit) {
            stop(Error::serviceError(kAnswerTooLargeMessage));
        } else if (length > 0 && length > exchange->body.capacity()) {
            // The whole answer in one allocation, taken before the first byte so it is never moved.
            exchange->call.reserve(exchange->body, length);
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, exchange, stop, progress] {
        progress();
        if (exchange->ownError) {
            return;
        }
        if (!readArrived(exchange->call, *reply, exchange->body)) {
            stop(Error::serviceError(kAnswerTooLargeMessage));
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, manager, [manager, reply, exchange] {
        if (exchange->finished) {
            return;
        }
        exchange->finished = true;
        if (exchange->followTo) {
            BRSLogInfo(u"%@ %@ was sent on to %@; followed without the access token",
                       QString::fromLatin1(exchange->call.verb), addressForLog(exchange->origin),
                       addressForLog(*exchange->followTo));
            Call next = std::move(exchange->call);
            next.request = ServiceTransport::getRequest(*exchange->followTo);
            next.body.clear();
            ++next.originChanges;
            MainQueue::post([manager, next = std::move(next)]() mutable {
                delete manager;
                send(std::move(next));
            });
            return;
        }
        std::optional<Error> error = exchange->ownError;
        if (!error && !readArrived(exchange->call, *reply, exchange->body)) {
            error = Error::serviceError(kAnswerTooLargeMessage);
        }
        if (!error) {
            error = errorFromReply(*reply, !exchange->body.isEmpty());
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        logOutcome(exchange->call.verb, exchange->origin, status, error);
        // The manager, its reply and the network thread's buffers go before the answer is handed on, so
        // that what the caller gives back to the system once it has read the answer includes them.
        MainQueue::post([manager, completion = std::move(exchange->call.completion),
                         answer = error ? Result<ServiceTransport::Answer>(std::move(*error))
                                        : Result<ServiceTransport::Answer>(ServiceTransport::Answer{
                                              std::move(exchange->body), status, reply->rawHeader("ETag"),
                                              reply->rawHeader("Last-Modified")})]() mutable {
            delete manager;
            completion(std::move(answer));
        });
    });
    idleTimer->start();
}

// What a caller that wants the bytes alone is handed.
ServiceTransport::AnswerCompletion bodyOnly(ServiceTransport::Completion completion) {
    return [completion = std::move(completion)](Result<ServiceTransport::Answer> answer) {
        if (!answer.ok()) {
            completion(answer.error());
            return;
        }
        completion(std::move(std::move(answer).value().body));
    };
}

void send(Call call) {
    call.request.setRawHeader("Accept", "application/json");
    call.request.setRawHeader("Content-Type", "application/json");
    if (!call.reserve) {
        call.reserve = [](QByteArray& body, qint64 size) { body.reserve(size); };
    }
    // Replies belong to the thread that starts them, and only the main thread runs an event loop for sure.
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) {
        start(std::move(call));
        return;
    }
    MainQueue::post([call = std::move(call)]() mutable { start(std::move(call)); });
}
}  // namespace

ServiceTransport::ServiceTransport(TransportLimits limits) : limits_(limits) {}

Result<QUrl> ServiceTransport::urlFromText(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QStringLiteral("https") && scheme != QStringLiteral("http"))) {
        return Error::serviceError(QStringLiteral("The address of the Orlin service is not valid."));
    }
    if (scheme == QStringLiteral("http") && !isLoopbackHost(url.host())) {
        return Error::serviceError(
            QStringLiteral("Orlin can only be reached over a secure (https) connection."));
    }
    return url;
}

QNetworkRequest ServiceTransport::getRequest(const QUrl& url, const Text& accessToken) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
    if (accessToken) {
        request.setRawHeader("Authorization", "BEARER " + accessToken->toUtf8());
    }
    return request;
}

void ServiceTransport::sendAsynchrounousRequestForJSON(const QNetworkRequest& request, Completion completion,
                                                       Reserve reserve) const {
    send(Call{request, QByteArrayLiteral("GET"), QByteArray(), bodyOnly(std::move(completion)),
              std::move(reserve), limits_, 0});
}

void ServiceTransport::postJSON(const QNetworkRequest& request, const QByteArray& body,
                                Completion completion) const {
    send(Call{request, QByteArrayLiteral("POST"), body, bodyOnly(std::move(completion)), {}, limits_, 0});
}

Result<QNetworkRequest> ServiceTransport::requestFor(const QString& address, const Text& accessToken) {
    Result<QUrl> url = urlFromText(address);
    if (!url.ok()) {
        return url.error();
    }
    if (accessToken) {
        const bool printable = std::all_of(accessToken->cbegin(), accessToken->cend(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() != 0x7F;
        });
        if (!printable) {
            return Error::serviceError(QStringLiteral("The access token from Orlin is not valid."));
        }
    }
    return getRequest(url.value(), accessToken);
}

void ServiceTransport::getJSON(const QString& address, const Text& accessToken, Completion completion,
                               Reserve reserve) const {
    Result<QNetworkRequest> request = requestFor(address, accessToken);
    if (!request.ok()) {
        MainQueue::post([completion = std::move(completion), error = request.error()] { completion(error); });
        return;
    }
    sendAsynchrounousRequestForJSON(request.value(), std::move(completion), std::move(reserve));
}

void ServiceTransport::getAnswer(const QString& address, const Text& accessToken,
                                 const std::optional<AnswerValidator>& validator, AnswerCompletion completion,
                                 Reserve reserve) const {
    Result<QNetworkRequest> request = requestFor(address, accessToken);
    if (!request.ok()) {
        MainQueue::post([completion = std::move(completion), error = request.error()] { completion(error); });
        return;
    }
    if (validator && validator->address() == address) {
        request.value().setRawHeader(validator->conditionHeader(), validator->value());
    }
    send(Call{std::move(request).value(), QByteArrayLiteral("GET"), QByteArray(), std::move(completion),
              std::move(reserve), limits_, 0});
}

bool ServiceTransport::hostAnswered(const Error& error) {
    return error.domain == UrlErrors::kDomain &&
           (error.code == UrlErrors::kUserCancelledAuthentication || error.code == kRedirectRefused);
}

ServiceTransport::Redirect ServiceTransport::redirectFor(const QUrl& from, const QUrl& to) {
    if (sameOrigin(from, to)) {
        return Redirect::KeepToken;
    }
    const bool downgrade = from.scheme().compare(QStringLiteral("https"), Qt::CaseInsensitive) == 0 &&
                           to.scheme().compare(QStringLiteral("https"), Qt::CaseInsensitive) != 0;
    if (downgrade || !urlFromText(to.toString(QUrl::FullyEncoded)).ok()) {
        return Redirect::Refuse;
    }
    return Redirect::DropToken;
}
