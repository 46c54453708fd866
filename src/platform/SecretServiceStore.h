#pragma once

#include <chrono>
#include <memory>

#include "SecretStore.h"

typedef struct _GCancellable GCancellable;

// The desktop's Secret Service (GNOME Keyring, KWallet…), one item per service and account.
//
// The service's synchronous calls can block without end (an unlock prompt nobody answers, a service that
// hangs), and the agent calls them from its main thread. So each call runs on a thread of its own and is
// waited for at most a time limit; after that it is cancelled and counts as a failure, and the agent goes
// on without the secret. A call that ignores the cancellation finishes on its own thread, unobserved, and
// the calls made after it wait for it: the service sees the calls in the order the agent made them.
class SecretServiceStore final : public SecretStore {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{10000};

    // The blocking calls themselves, each honouring `cancellable` as far as the service lets it.
    class Calls {
    public:
        virtual ~Calls();
        [[nodiscard]] virtual FindResult lookup(const QString& service, const QString& account,
                                                GCancellable* cancellable) = 0;
        // Adds the item, or replaces the secret of the one that exists.
        [[nodiscard]] virtual Status store(const QString& service, const QString& account,
                                           const QByteArray& secret, GCancellable* cancellable) = 0;
        [[nodiscard]] virtual Status clear(const QString& service, const QString& account,
                                           GCancellable* cancellable) = 0;
    };

    // The calls of libsecret, against the default collection.
    [[nodiscard]] static std::shared_ptr<Calls> libsecretCalls();

    explicit SecretServiceStore(std::shared_ptr<Calls> calls = libsecretCalls(),
                                std::chrono::milliseconds timeLimit = kDefaultTimeLimit);

    [[nodiscard]] FindResult find(const QString& service, const QString& account) override;
    [[nodiscard]] Status add(const QString& service, const QString& account,
                             const QByteArray& secret) override;
    [[nodiscard]] Status replace(const QString& service, const QString& account,
                                 const QByteArray& secret) override;
    [[nodiscard]] Status remove(const QString& service, const QString& account) override;

private:
    std::shared_ptr<Calls> calls_;
    std::chrono::milliseconds timeLimit_;
};
