#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// An in-process stand-in for the Orlin service on 127.0.0.1 at a port of its own. Each endpoint answers
// what the test scripted; every request is logged. Safe to script and read from the test's thread while
// the server threads answer.
class MockOrlinService final {
public:
    struct Answer {
        int status = 200;
        std::string body;
        // With a parameter, so the server sends it as it is; exactly "application/json" lets it compress
        // the body for a client that accepts that.
        std::string contentType = "application/json; charset=utf-8";
        std::map<std::string, std::string> headers;
        // Held back this long before answering; cut short when the service stops.
        std::chrono::milliseconds delay{0};
        // Sends the status line and headers, then closes the connection instead of the body.
        bool dropConnection = false;
        // When set, sends this many bytes (the body repeated, or filler) instead of the body, so a test
        // can send answers too large to keep in memory. `declareLength` false streams it chunked.
        std::optional<std::uint64_t> streamedLength;
        bool declareLength = true;
        // A pause before each piece of a streamed answer (the body is the piece): a server that trickles.
        std::chrono::milliseconds pieceInterval{0};
        // Sent as the answer's ETag / Last-Modified. A request that names the tag in If-None-Match (or,
        // without that header, sends this date exactly in If-Modified-Since) is answered 304 with no body,
        // as a service that honours conditional requests does.
        std::string entityTag = {};
        std::string lastModified = {};

        [[nodiscard]] static Answer json(std::string body, int status = 200);
    };

    struct Request {
        std::string method;
        std::string path;                                    // decoded
        std::string query;                                   // as sent, still percent-encoded
        std::string target;                                  // path and query as sent
        std::map<std::string, std::string> headers;          // names in lower case
        std::multimap<std::string, std::string> parameters;  // decoded query parameters
        std::string body;

        [[nodiscard]] std::optional<std::string> header(const std::string& name) const;
        [[nodiscard]] std::optional<std::string> parameter(const std::string& name) const;
    };

    MockOrlinService();
    ~MockOrlinService();
    MockOrlinService(const MockOrlinService&) = delete;
    MockOrlinService& operator=(const MockOrlinService&) = delete;

    [[nodiscard]] int port() const;
    // "http://127.0.0.1:<port>/", with the trailing slash the service bases carry.
    [[nodiscard]] QString baseUrl() const;

    // The answer for every request of that method to that path (the path without query).
    void setAnswer(const std::string& method, const std::string& path, Answer answer);
    // Answers used once each, in order, before the answer set above.
    void queueAnswer(const std::string& method, const std::string& path, Answer answer);
    // What an unscripted path gets; 404 with an empty body unless changed.
    void setDefaultAnswer(Answer answer);
    // Makes `path` a refresh exchange that accepts each refresh token once, as the service does: an unspent
    // token is answered, after `delay`, with the next of "rotated-1", "rotated-2", … and `syncRoot`; a
    // spent one with a refusal. Takes precedence over the answers scripted for that path.
    void rotateRefreshTokens(const std::string& path, std::string syncRoot,
                             std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // Keeps the answers scripted for the refresh exchange at `path`, but revokes each "refreshToken" they
    // accept (with a success status), as the service does: exchanged again, it is refused like any
    // revoked token, without using up a scripted answer.
    void revokeSpentRefreshTokens(const std::string& path);

    [[nodiscard]] std::vector<Request> requests() const;
    [[nodiscard]] std::vector<Request> requestsTo(const std::string& path) const;
    void clearRequests();

    // Bytes of streamed answers that reached the socket, across all requests.
    [[nodiscard]] std::uint64_t streamedBytes() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};
