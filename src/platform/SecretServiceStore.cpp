#include "SecretServiceStore.h"

#include <libsecret/secret.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace {

// Matching by attributes only, not by schema name, so an item someone created for the same service and
// account with another tool (secret-tool, a deployment script) is found too.
const SecretSchema* itemSchema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "com.halvex.Orlin.GenericPassword";
        s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

// Frees the error and tells whether there was one.
bool failed(GError* error) {
    if (!error) {
        return false;
    }
    g_error_free(error);
    return true;
}

class LibsecretCalls final : public SecretServiceStore::Calls {
public:
    SecretStore::FindResult lookup(const QString& service, const QString& account,
                                   GCancellable* cancellable) override {
        GError* error = nullptr;
        SecretValue* value = secret_password_lookup_binary_sync(itemSchema(), cancellable, &error, "service",
                                                                service.toUtf8().constData(), "account",
                                                                account.toUtf8().constData(), nullptr);
        if (failed(error)) {
            if (value) {
                secret_value_unref(value);
            }
            return {SecretStore::Status::Failure, {}};
        }
        if (!value) {
            return {SecretStore::Status::NotFound, {}};
        }
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        SecretStore::FindResult result{SecretStore::Status::Success,
                                       QByteArray(bytes, static_cast<qsizetype>(length))};
        secret_value_unref(value);
        return result;
    }

    SecretStore::Status store(const QString& service, const QString& account, const QByteArray& secret,
                              GCancellable* cancellable) override {
        SecretValue* value = secret_value_new(secret.constData(), secret.size(), "text/plain");
        const QByteArray label = QStringLiteral("%1 (%2)").arg(account, service).toUtf8();
        GError* error = nullptr;
        const gboolean stored = secret_password_store_binary_sync(
            itemSchema(), SECRET_COLLECTION_DEFAULT, label.constData(), value, cancellable, &error, "service",
            service.toUtf8().constData(), "account", account.toUtf8().constData(), nullptr);
        secret_value_unref(value);
        return !failed(error) && stored ? SecretStore::Status::Success : SecretStore::Status::Failure;
    }

    SecretStore::Status clear(const QString& service, const QString& account,
                              GCancellable* cancellable) override {
        GError* error = nullptr;
        const gboolean removed = secret_password_clear_sync(itemSchema(), cancellable, &error, "service",
                                                            service.toUtf8().constData(), "account",
                                                            account.toUtf8().constData(), nullptr);
        if (failed(error)) {
            return SecretStore::Status::Failure;
        }
        return removed ? SecretStore::Status::Success : SecretStore::Status::NotFound;
    }
};

// Calls reach the service one at a time, in the order they were made, across every store of the process:
// a write given up at the time limit may still land when the service wakes, and it must never land after
// a write made later. Each call takes a ticket and waits for its turn; a call given up before its turn
// came is skipped, since its caller has already been told it failed.
class CallOrder {
public:
    static CallOrder& shared() {
        // Never destroyed: a call abandoned near exit may still be waiting for its turn.
        static auto* order = new CallOrder;
        return *order;
    }

    std::uint64_t takeTicket() {
        const std::lock_guard lock(mutex_);
        return nextTicket_++;
    }
    void waitForTurn(std::uint64_t ticket) {
        std::unique_lock lock(mutex_);
        turn_.wait(lock, [&] { return serving_ == ticket; });
    }
    // Ends the ticket's turn, or, for a call that never ran, lets its turn pass when it comes.
    void finish(std::uint64_t ticket) {
        {
            const std::lock_guard lock(mutex_);
            if (ticket != serving_) {
                skipped_.insert(ticket);
                return;
            }
            ++serving_;
            while (skipped_.erase(serving_) != 0) {
                ++serving_;
            }
        }
        turn_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable turn_;
    std::uint64_t nextTicket_ = 0;
    std::uint64_t serving_ = 0;
    std::set<std::uint64_t> skipped_;
};

// What the waiting caller and the calling thread share; whichever lets go last frees it.
template <typename Result>
struct PendingCall {
    PendingCall() : cancellable(g_cancellable_new()) {}
    ~PendingCall() { g_object_unref(cancellable); }
    PendingCall(const PendingCall&) = delete;
    PendingCall& operator=(const PendingCall&) = delete;

    GCancellable* cancellable;
    std::mutex mutex;
    std::condition_variable finished;
    std::optional<Result> result;
};

template <typename Result>
std::optional<Result> callWithTimeLimit(std::function<Result(GCancellable*)> call,
                                        std::chrono::milliseconds limit) {
    auto pending = std::make_shared<PendingCall<Result>>();
    CallOrder& order = CallOrder::shared();
    const std::uint64_t ticket = order.takeTicket();
    try {
        std::thread([pending, call = std::move(call), ticket, &order] {
            order.waitForTurn(ticket);
            // The caller cancels when it gives up; a call it gave up on before its turn is not made.
            std::optional<Result> result;
            if (!g_cancellable_is_cancelled(pending->cancellable)) {
                result = call(pending->cancellable);
            }
            order.finish(ticket);
            const std::lock_guard lock(pending->mutex);
            pending->result = std::move(result);
            pending->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        order.finish(ticket);
        return std::nullopt;
    }
    std::unique_lock lock(pending->mutex);
    if (!pending->finished.wait_for(lock, limit, [&] { return pending->result.has_value(); })) {
        g_cancellable_cancel(pending->cancellable);
        return std::nullopt;
    }
    return std::move(pending->result);
}

}  // namespace

SecretServiceStore::Calls::~Calls() = default;

std::shared_ptr<SecretServiceStore::Calls> SecretServiceStore::libsecretCalls() {
    return std::make_shared<LibsecretCalls>();
}

SecretServiceStore::SecretServiceStore(std::shared_ptr<Calls> calls, std::chrono::milliseconds timeLimit)
    : calls_(std::move(calls)), timeLimit_(timeLimit) {}

SecretStore::FindResult SecretServiceStore::find(const QString& service, const QString& account) {
    return callWithTimeLimit<FindResult>(
               [calls = calls_, service, account](GCancellable* cancellable) {
                   return calls->lookup(service, account, cancellable);
               },
               timeLimit_)
        .value_or(FindResult{Status::Failure, {}});
}

SecretStore::Status SecretServiceStore::add(const QString& service, const QString& account,
                                            const QByteArray& secret) {
    return replace(service, account, secret);
}

SecretStore::Status SecretServiceStore::replace(const QString& service, const QString& account,
                                                const QByteArray& secret) {
    return callWithTimeLimit<Status>(
               [calls = calls_, service, account, secret](GCancellable* cancellable) {
                   return calls->store(service, account, secret, cancellable);
               },
               timeLimit_)
        .value_or(Status::Failure);
}

SecretStore::Status SecretServiceStore::remove(const QString& service, const QString& account) {
    return callWithTimeLimit<Status>(
               [calls = calls_, service, account](GCancellable* cancellable) {
                   return calls->clear(service, account, cancellable);
               },
               timeLimit_)
        .value_or(Status::Failure);
}
