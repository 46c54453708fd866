#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Result.h"

// The refresh token exchanges of one agent. The service accepts each refresh token once, so two flows
// that spent the same token would leave one of them (and whatever it stores) signed out: a caller whose
// token is already being exchanged waits for that exchange and shares its grant, and a caller holding a
// token this agent has already exchanged spends its successor instead. Used on the main thread only; an
// exchange in flight keeps the object alive, so it must be made by std::make_shared.
class RefreshTokenExchanges final : public std::enable_shared_from_this<RefreshTokenExchanges> {
public:
    // What one exchange grants.
    struct Grant {
        QString accessToken;
        QString syncRoot;
        QString refreshToken;
        std::optional<QString> userName;
    };
    using Completion = std::function<void(Result<Grant>)>;
    // Performs one exchange on the wire; called at most once per token in flight.
    using Exchange = std::function<void(const QString& refreshToken, Completion)>;

    // Exchanges the newest successor of `refreshToken`, or joins the exchange of it already in flight.
    void exchange(const QString& refreshToken, const Exchange& perform, Completion completion);

    // The last token this agent was handed for `refreshToken`, or the token itself when it was never
    // exchanged here: what is stored must be that one, whichever flow finishes last.
    [[nodiscard]] QString newest(const QString& refreshToken) const;
    // True when `later` is `earlier` or was reached from it by this agent's exchanges.
    [[nodiscard]] bool descends(const QString& later, const QString& earlier) const;

private:
    void finished(const QString& spent, const Result<Grant>& grant);
    [[nodiscard]] std::optional<QString> successor(const QString& token) const;

    std::map<QString, std::vector<Completion>> waiting_;
    // Spent token and the token it was exchanged for, oldest first; a few are plenty to bridge the time
    // between an exchange and the store of its token.
    QList<std::pair<QString, QString>> rotations_;
};
