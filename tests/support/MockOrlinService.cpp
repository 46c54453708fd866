#include "MockOrlinService.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace {
std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

using Key = std::pair<std::string, std::string>;
}  // namespace

struct MockOrlinService::State {
    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable stopping;
    bool stopped = false;
    std::map<Key, Answer> answers;
    std::map<Key, std::deque<Answer>> queued;
    Answer defaultAnswer{404, {}, "text/plain", {}, {}, false, std::nullopt, true};
    std::vector<Request> log;
    std::atomic<std::uint64_t> streamed{0};

    struct Rotation {
        std::string path;
        std::string syncRoot;
        std::chrono::milliseconds delay{0};
        int issued = 0;
    };
    std::optional<Rotation> rotation;
    // The refresh exchanges that revoke what they accept, each with the tokens spent there.
    std::map<std::string, std::set<std::string>> spentTokens;

    static std::string refreshTokenOf(const httplib::Request& request) {
        return request.has_param("refreshToken") ? request.get_param_value("refreshToken") : "";
    }

    static Answer revokedTokenAnswer() {
        return Answer::json(R"({"result": false, "error": "The refresh token is no longer valid."})", 401);
    }

    // The refusal of a token already spent on a revoking exchange.
    std::optional<Answer> revokedAnswer(const httplib::Request& request) {
        std::lock_guard lock(mutex);
        const auto spent = spentTokens.find(request.path);
        if (spent == spentTokens.end() || !spent->second.contains(refreshTokenOf(request))) {
            return std::nullopt;
        }
        return revokedTokenAnswer();
    }

    // Revokes the token a scripted answer has just accepted.
    void spendOnSuccess(const httplib::Request& request, const Answer& answer) {
        std::lock_guard lock(mutex);
        const auto spent = spentTokens.find(request.path);
        if (spent != spentTokens.end() && answer.status < 400 && !answer.dropConnection) {
            spent->second.insert(refreshTokenOf(request));
        }
    }

    // The rotating exchange's answer, when `request` is one; the token is spent as it is decided.
    std::optional<Answer> rotatedAnswer(const httplib::Request& request) {
        std::lock_guard lock(mutex);
        if (!rotation || request.path != rotation->path) {
            return std::nullopt;
        }
        const std::string token = refreshTokenOf(request);
        Answer answer;
        if (token.empty() || !spentTokens[rotation->path].insert(token).second) {
            answer = revokedTokenAnswer();
        } else {
            answer = Answer::json(R"({"result": true, "data": {"RefreshToken": "rotated-)" +
                                  std::to_string(++rotation->issued) + R"(", "AccessToken": "access-)" +
                                  std::to_string(rotation->issued) + R"(", "SyncRoot": ")" +
                                  rotation->syncRoot + R"(", "UserName": "ann"}})");
        }
        answer.delay = rotation->delay;
        return answer;
    }

    Answer answerFor(const std::string& method, const std::string& path) {
        std::lock_guard lock(mutex);
        const Key key{method, path};
        auto queue = queued.find(key);
        if (queue != queued.end() && !queue->second.empty()) {
            Answer answer = std::move(queue->second.front());
            queue->second.pop_front();
            return answer;
        }
        auto found = answers.find(key);
        return found != answers.end() ? found->second : defaultAnswer;
    }

    void record(const httplib::Request& request) {
        Request entry;
        entry.method = request.method;
        entry.path = request.path;
        entry.target = request.target;
        const std::size_t mark = request.target.find('?');
        entry.query = mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
        for (const auto& [name, value] : request.headers) {
            entry.headers[lowerCase(name)] = value;
        }
        for (const auto& [name, value] : request.params) {
            entry.parameters.emplace(name, value);
        }
        entry.body = request.body;
        std::lock_guard lock(mutex);
        log.push_back(std::move(entry));
    }

    // False when the service stopped while waiting.
    bool wait(std::chrono::milliseconds delay) {
        std::unique_lock lock(mutex);
        return !stopping.wait_for(lock, delay, [this] { return stopped; });
    }

    // Only a successful answer has a current version to compare with.
    static bool notModified(const httplib::Request& request, const Answer& answer) {
        if (answer.status != 200) {
            return false;
        }
        if (request.has_header("If-None-Match")) {
            const std::string tags = request.get_header_value("If-None-Match");
            if (answer.entityTag.empty()) {
                return false;
            }
            // A list of tags, any of which may match; "*" matches whatever exists.
            std::size_t start = 0;
            while (start <= tags.size()) {
                const std::size_t comma = std::min(tags.find(',', start), tags.size());
                std::string tag = tags.substr(start, comma - start);
                tag.erase(0, tag.find_first_not_of(' '));
                tag.erase(tag.find_last_not_of(' ') + 1);
                if (tag == "*" || tag == answer.entityTag) {
                    return true;
                }
                start = comma + 1;
            }
            return false;
        }
        return !answer.lastModified.empty() && request.has_header("If-Modified-Since") &&
               request.get_header_value("If-Modified-Since") == answer.lastModified;
    }

    void answer(const httplib::Request& request, httplib::Response& response) {
        record(request);
        std::optional<Answer> decided = rotatedAnswer(request);
        if (!decided) {
            decided = revokedAnswer(request);
        }
        if (!decided) {
            decided = answerFor(request.method, request.path);
            spendOnSuccess(request, *decided);
        }
        Answer answer = std::move(*decided);
        if (answer.delay.count() > 0 && !wait(answer.delay)) {
            answer = Answer{503, {}, "text/plain", {}, {}, true, std::nullopt, true};
        }
        response.status = answer.status;
        for (const auto& [name, value] : answer.headers) {
            response.set_header(name, value);
        }
        if (!answer.entityTag.empty()) {
            response.set_header("ETag", answer.entityTag);
        }
        if (!answer.lastModified.empty()) {
            response.set_header("Last-Modified", answer.lastModified);
        }
        if (notModified(request, answer)) {
            response.status = 304;
            return;
        }
        if (answer.dropConnection) {
            response.set_content_provider(std::max<std::size_t>(answer.body.size(), 1), answer.contentType,
                                          [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
            return;
        }
        if (answer.streamedLength) {
            stream(response, std::move(answer));
            return;
        }
        response.set_content(answer.body, answer.contentType);
    }

    void stream(httplib::Response& response, Answer answer) {
        const std::uint64_t total = *answer.streamedLength;
        std::string piece = answer.body.empty() ? std::string(64 * 1024, ' ') : answer.body;
        auto sent = std::make_shared<std::uint64_t>(0);
        const auto interval = answer.pieceInterval;
        const auto provide = [this, total, piece, sent, interval](std::size_t, httplib::DataSink& sink) {
            if (*sent >= total) {
                sink.done();
                return true;
            }
            if (interval.count() > 0) {
                std::this_thread::sleep_for(interval);
            }
            const std::size_t size =
                static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), total - *sent));
            if (!sink.write(piece.data(), size)) {
                return false;
            }
            *sent += size;
            streamed += size;
            return true;
        };
        if (answer.declareLength) {
            response.set_content_provider(
                static_cast<std::size_t>(total), answer.contentType,
                [provide](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    return provide(offset, sink);
                });
        } else {
            response.set_chunked_content_provider(answer.contentType, provide);
        }
    }
};

MockOrlinService::Answer MockOrlinService::Answer::json(std::string body, int status) {
    Answer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

std::optional<std::string> MockOrlinService::Request::header(const std::string& name) const {
    auto found = headers.find(lowerCase(name));
    return found == headers.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::optional<std::string> MockOrlinService::Request::parameter(const std::string& name) const {
    auto found = parameters.find(name);
    return found == parameters.end() ? std::nullopt : std::optional<std::string>(found->second);
}

MockOrlinService::MockOrlinService() : state_(std::make_shared<State>()) {
    State* state = state_.get();
    const auto handler = [state](const httplib::Request& request, httplib::Response& response) {
        state->answer(request, response);
    };
    const std::string any = ".*";
    state->server.Get(any, handler);
    state->server.Post(any, handler);
    state->server.Put(any, handler);
    state->server.Delete(any, handler);
    state->server.Patch(any, handler);
    state->server.set_payload_max_length(std::size_t(256) * 1024 * 1024);
    state->port = state->server.bind_to_any_port("127.0.0.1");
    if (state->port > 0) {
        state->thread = std::thread([state] { state->server.listen_after_bind(); });
        // Stopping a server that has not begun to listen does nothing, and it would then listen forever.
        while (!state->server.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

MockOrlinService::~MockOrlinService() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopped = true;
    }
    state_->stopping.notify_all();
    state_->server.stop();
    if (state_->thread.joinable()) {
        state_->thread.join();
    }
}

int MockOrlinService::port() const {
    return state_->port;
}

QString MockOrlinService::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(state_->port);
}

void MockOrlinService::setAnswer(const std::string& method, const std::string& path, Answer answer) {
    std::lock_guard lock(state_->mutex);
    state_->answers[{method, path}] = std::move(answer);
}

void MockOrlinService::queueAnswer(const std::string& method, const std::string& path, Answer answer) {
    std::lock_guard lock(state_->mutex);
    state_->queued[{method, path}].push_back(std::move(answer));
}

void MockOrlinService::setDefaultAnswer(Answer answer) {
    std::lock_guard lock(state_->mutex);
    state_->defaultAnswer = std::move(answer);
}

void MockOrlinService::rotateRefreshTokens(const std::string& path, std::string syncRoot,
                                           std::chrono::milliseconds delay) {
    std::lock_guard lock(state_->mutex);
    state_->rotation = State::Rotation{path, std::move(syncRoot), delay, 0};
    state_->spentTokens[path].clear();
}

void MockOrlinService::revokeSpentRefreshTokens(const std::string& path) {
    std::lock_guard lock(state_->mutex);
    state_->spentTokens[path].clear();
}

std::vector<MockOrlinService::Request> MockOrlinService::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->log;
}

std::vector<MockOrlinService::Request> MockOrlinService::requestsTo(const std::string& path) const {
    std::vector<Request> matching;
    for (Request& request : requests()) {
        if (request.path == path) {
            matching.push_back(std::move(request));
        }
    }
    return matching;
}

void MockOrlinService::clearRequests() {
    std::lock_guard lock(state_->mutex);
    state_->log.clear();
}

std::uint64_t MockOrlinService::streamedBytes() const {
    return state_->streamed;
}
