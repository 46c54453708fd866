#include "RefreshTokenExchanges.h"

#include <algorithm>

namespace {
constexpr qsizetype kRotationsKept = 16;
}  // namespace

void RefreshTokenExchanges::exchange(const QString& refreshToken, const Exchange& perform,
                                     Completion completion) {
    const QString token = newest(refreshToken);
    auto [waiters, first] = waiting_.try_emplace(token);
    waiters->second.push_back(std::move(completion));
    if (!first) {
        return;
    }
    perform(token, [self = shared_from_this(), token](Result<Grant> grant) { self->finished(token, grant); });
}

void RefreshTokenExchanges::finished(const QString& spent, const Result<Grant>& grant) {
    if (grant.ok() && grant.value().refreshToken != spent) {
        rotations_.append({spent, grant.value().refreshToken});
        if (rotations_.size() > kRotationsKept) {
            rotations_.removeFirst();
        }
    }
    const auto found = waiting_.find(spent);
    if (found == waiting_.end()) {
        return;
    }
    const std::vector<Completion> waiters = std::move(found->second);
    waiting_.erase(found);
    for (const Completion& completion : waiters) {
        completion(grant);
    }
}

QString RefreshTokenExchanges::newest(const QString& refreshToken) const {
    QString token = refreshToken;
    // Bounded by the list itself, so a service that hands an old token back cannot make this loop.
    for (qsizetype step = 0; step < rotations_.size(); ++step) {
        const std::optional<QString> next = successor(token);
        if (!next) {
            break;
        }
        token = *next;
    }
    return token;
}

bool RefreshTokenExchanges::descends(const QString& later, const QString& earlier) const {
    QString token = earlier;
    for (qsizetype step = 0; token != later && step < rotations_.size(); ++step) {
        const std::optional<QString> next = successor(token);
        if (!next) {
            break;
        }
        token = *next;
    }
    return token == later;
}

std::optional<QString> RefreshTokenExchanges::successor(const QString& token) const {
    const auto found = std::find_if(rotations_.crbegin(), rotations_.crend(),
                                    [&token](const auto& rotation) { return rotation.first == token; });
    return found == rotations_.crend() ? std::nullopt : std::optional<QString>(found->second);
}
