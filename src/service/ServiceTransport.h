#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

#include "AnswerValidator.h"
#include "Error.h"
#include "Result.h"
#include "TransportLimits.h"
#include "UrlErrors.h"

// Sends one request to the service and hands the raw answer back on the main queue. The HTTP status is
// not judged here: an error page with a body is an answer like any other, and only failures of the
// connection itself (or an answer too large to take) come back as errors. A small value: copies share
// nothing but their limits, and a request in flight holds none of the object.
class ServiceTransport final {
public:
    using Text = std::optional<QString>;
    // The answer's bytes, or why there are none.
    using Completion = std::function<void(Result<QByteArray> answer)>;
    // An answer with what a conditional request needs to read from it besides the bytes.
    struct Answer {
        QByteArray body;
        int status = 0;
        // The validators as the service sent them; empty when it sent none.
        QByteArray entityTag;
        QByteArray lastModified;
    };
    using AnswerCompletion = std::function<void(Result<Answer> answer)>;
    // Makes room in an answer's buffer for at least `size` bytes before they are read into it. A reader
    // with needs of its own (room past the end, say) passes its own; without one the buffer just grows.
    using Reserve = std::function<void(QByteArray& body, qint64 size)>;

    // A redirect that would weaken the connection (https to http, or to an address the service could not
    // be configured with) ends the request, as a session does when its delegate cancels it.
    static constexpr qint64 kRedirectRefused = UrlErrors::kCancelled;
    // A proxy between us and the service wants credentials we do not hold. Told apart from the service's
    // own refusal because the user's access code is not what is wrong.
    static constexpr qint64 kProxyAuthenticationRequired = -1013;
    // Hops to another origin followed by hand (each starts a request of its own).
    static constexpr int kMaximumOriginChanges = 5;

    explicit ServiceTransport(TransportLimits limits = {});

    [[nodiscard]] const TransportLimits& limits() const { return limits_; }

    // The address a text names, or the service error that says why it cannot be used: not a URL, or a
    // plain-text scheme towards a host other than this machine.
    [[nodiscard]] static Result<QUrl> urlFromText(const QString& text);

    // A request with the common settings and, when a token is given, the bearer header.
    [[nodiscard]] static QNetworkRequest getRequest(const QUrl& url, const Text& accessToken = std::nullopt);
    // The same from an address text, or the service error that says why the address or the token (which
    // must not smuggle line breaks into the headers) cannot be used.
    [[nodiscard]] static Result<QNetworkRequest> requestFor(const QString& address, const Text& accessToken);

    // Always a GET, whatever the request said; JSON both ways.
    void sendAsynchrounousRequestForJSON(const QNetworkRequest& request, Completion completion,
                                         Reserve reserve = {}) const;
    // A POST of a JSON body.
    void postJSON(const QNetworkRequest& request, const QByteArray& body, Completion completion) const;

    // Forms the address from text, builds the request and sends it as a GET; an unusable address ends
    // with its service error, still through the main queue.
    void getJSON(const QString& address, const Text& accessToken, Completion completion,
                 Reserve reserve = {}) const;
    // The same with the status and validators of the answer. A validator given for this very address is
    // sent as its condition, so the service may answer 304 with no body; one for another address is not.
    void getAnswer(const QString& address, const Text& accessToken,
                   const std::optional<AnswerValidator>& validator, AnswerCompletion completion,
                   Reserve reserve = {}) const;

    // True for the transport errors that still mean the host was reached and answered (a refusal without
    // explanation, a redirect we would not follow), so asking another host would go behind its back. A
    // proxy's refusal is not among them: the host was never reached.
    [[nodiscard]] static bool hostAnswered(const Error& error);

    // How a redirect from `from` to `to` is followed: within the origin as it is, to another origin
    // without the bearer token (as browsers do), and never from https to http or to an address that
    // could not be configured.
    enum class Redirect { KeepToken, DropToken, Refuse };
    [[nodiscard]] static Redirect redirectFor(const QUrl& from, const QUrl& to);

private:
    TransportLimits limits_;
};
