#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>

#include "Error.h"
#include "UrlErrors.h"

// Sends one request to the service and hands the raw answer back on the main queue. The HTTP status is
// not judged here: an error page with a body is an answer like any other, and only failures of the
// connection itself (or an answer too large to take) come back as errors.
class ServiceTransport final {
public:
    using Text = std::optional<QString>;
    using Completion = std::function<void(QByteArray body, std::optional<Error>)>;

    // Without a byte arriving or leaving this long, the request has stalled.
    static constexpr std::chrono::milliseconds kTimeout = std::chrono::seconds(120);
    // However it trickles, no request runs longer than this: a server sending a byte a minute would
    // otherwise hold the update for ever.
    static constexpr std::chrono::milliseconds kTotalTimeout = std::chrono::minutes(10);
    // Far beyond any real answer, and small enough that a broken or hostile server cannot exhaust memory.
    static constexpr qint64 kMaximumAnswerSize = qint64(64) * 1024 * 1024;
    // Room left after a body whose length was declared, so a reader that looks a few bytes past the end
    // (the JSON parser does) takes the body as it is instead of copying it.
    static constexpr qint64 kSpareBytesAfterBody = 64;

    // A redirect that would weaken the connection (https to http, or to an address the service could not
    // be configured with) ends the request, as a session does when its delegate cancels it.
    static constexpr qint64 kRedirectRefused = UrlErrors::kCancelled;
    // A proxy between us and the service wants credentials we do not hold. Told apart from the service's
    // own refusal because the user's access code is not what is wrong.
    static constexpr qint64 kProxyAuthenticationRequired = -1013;
    // Hops to another origin followed by hand (each starts a request of its own).
    static constexpr int kMaximumOriginChanges = 5;

    ServiceTransport() = delete;

    // The address a text names, or the service error that says why it cannot be used: not a URL, or a
    // plain-text scheme towards a host other than this machine.
    [[nodiscard]] static std::optional<QUrl> urlFromText(const QString& text, Error* error = nullptr);

    // A request with the common settings and, when a token is given, the bearer header.
    [[nodiscard]] static QNetworkRequest getRequest(const QUrl& url, const Text& accessToken = std::nullopt);
    // The same from an address text, or the service error that says why the address or the token (which
    // must not smuggle line breaks into the headers) cannot be used.
    [[nodiscard]] static std::optional<QNetworkRequest> requestFor(const QString& address,
                                                                   const Text& accessToken,
                                                                   Error* error = nullptr);

    // Always a GET, whatever the request said; JSON both ways.
    static void sendAsynchrounousRequestForJSON(const QNetworkRequest& request, Completion completion);
    // A POST of a JSON body.
    static void postJSON(const QNetworkRequest& request, const QByteArray& body, Completion completion);

    // Forms the address from text, builds the request and sends it as a GET; an unusable address ends
    // with its service error, still through the main queue.
    static void getJSON(const QString& address, const Text& accessToken, Completion completion);

    // True for the transport errors that still mean the host was reached and answered (a refusal without
    // explanation, a redirect we would not follow), so asking another host would go behind its back. A
    // proxy's refusal is not among them: the host was never reached.
    [[nodiscard]] static bool hostAnswered(const Error& error);

    // How a redirect from `from` to `to` is followed: within the origin as it is, to another origin
    // without the bearer token (as browsers do), and never from https to http or to an address that
    // could not be configured.
    enum class Redirect { KeepToken, DropToken, Refuse };
    [[nodiscard]] static Redirect redirectFor(const QUrl& from, const QUrl& to);

    // Lets a test wait a fraction of a second for a time-out; nothing outside tests calls it.
    static void setTimeoutForTesting(std::optional<std::chrono::milliseconds> timeout,
                                     std::optional<std::chrono::milliseconds> totalTimeout = std::nullopt);
    [[nodiscard]] static std::chrono::milliseconds timeout();
    [[nodiscard]] static std::chrono::milliseconds totalTimeout();
    // Lets a test refuse an oversized answer without sending tens of megabytes; nothing else calls it.
    static void setMaximumAnswerSizeForTesting(std::optional<qint64> size);
    [[nodiscard]] static qint64 maximumAnswerSize();
};
