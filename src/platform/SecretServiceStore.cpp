#include "SecretServiceStore.h"

#include <libsecret/secret.h>

#include <condition_variable>
#include <functional>
#include <mutex>
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
    try {
        std::thread([pending, call = std::move(call)] {
            Result result = call(pending->cancellable);
            const std::lock_guard lock(pending->mutex);
            pending->result = std::move(result);
            pending->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
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
