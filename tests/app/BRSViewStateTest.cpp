#include "BRSViewState.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

TEST(BRSViewStateTest, AllFlagsStartOff) {
    const BRSViewState state;
    EXPECT_FALSE(state.areUpdatesAvailable());
    EXPECT_FALSE(state.isUpdating());
    EXPECT_FALSE(state.hasError());
    EXPECT_FALSE(state.notifyAfterUpdate());
    EXPECT_FALSE(state.notifyBeforeShuttingDownMail());
    EXPECT_FALSE(state.harIndtastetToken());
}

TEST(BRSViewStateTest, EverySetterCallNotifiesItsKeysObserversInRegistrationOrder) {
    BRSViewState state;
    QStringList heard;
    int context = 0;
    state.addObserver(
        BRSViewState::kIsUpdating,
        [&](const QString& key, BRSViewState& object, void* ctx) {
            heard.append(
                QStringLiteral("first %1 %2 %3").arg(key).arg(object.isUpdating()).arg(ctx == &context));
        },
        &context);
    state.addObserver(BRSViewState::kHasError, [&](const QString& key, BRSViewState&, void*) {
        heard.append(QStringLiteral("other ") + key);
    });
    state.addObserver(BRSViewState::kIsUpdating, [&](const QString& key, BRSViewState&, void* ctx) {
        heard.append(QStringLiteral("second %1 %2").arg(key).arg(ctx == nullptr));
    });

    state.setIsUpdating(true);
    state.setIsUpdating(true);  // no change of value, still an event
    state.setIsUpdating(false);

    EXPECT_EQ(heard, (QStringList{
                         QStringLiteral("first isUpdating 1 1"),
                         QStringLiteral("second isUpdating 1"),
                         QStringLiteral("first isUpdating 1 1"),
                         QStringLiteral("second isUpdating 1"),
                         QStringLiteral("first isUpdating 0 1"),
                         QStringLiteral("second isUpdating 1"),
                     }));
}

TEST(BRSViewStateTest, EachSetterStoresItsOwnFlagAndNotifiesOnlyItsKey) {
    using Setter = void (BRSViewState::*)(bool);
    using Getter = bool (BRSViewState::*)() const;
    const struct {
        QString key;
        Setter set;
        Getter get;
    } flags[] = {
        {BRSViewState::kAreUpdatesAvailable, &BRSViewState::setAreUpdatesAvailable,
         &BRSViewState::areUpdatesAvailable},
        {BRSViewState::kIsUpdating, &BRSViewState::setIsUpdating, &BRSViewState::isUpdating},
        {BRSViewState::kHasError, &BRSViewState::setHasError, &BRSViewState::hasError},
        {BRSViewState::kNotifyAfterUpdate, &BRSViewState::setNotifyAfterUpdate,
         &BRSViewState::notifyAfterUpdate},
        {BRSViewState::kNotifyBeforeShuttingDownMail, &BRSViewState::setNotifyBeforeShuttingDownMail,
         &BRSViewState::notifyBeforeShuttingDownMail},
        {BRSViewState::kHarIndtastetToken, &BRSViewState::setHarIndtastetToken,
         &BRSViewState::harIndtastetToken},
    };
    for (const auto& flag : flags) {
        BRSViewState state;
        QStringList heard;
        for (const auto& any : flags) {
            state.addObserver(any.key,
                              [&heard](const QString& key, BRSViewState&, void*) { heard.append(key); });
        }
        (state.*flag.set)(true);
        EXPECT_TRUE((state.*flag.get)()) << flag.key.toStdString();
        EXPECT_EQ(heard, QStringList{flag.key});
        for (const auto& other : flags) {
            if (other.key != flag.key) {
                EXPECT_FALSE((state.*other.get)())
                    << other.key.toStdString() << " after " << flag.key.toStdString();
            }
        }
    }
}

TEST(BRSViewStateTest, ObserversMayChangeTheStateAndTheRegistrationsWhileBeingNotified) {
    BRSViewState state;
    QStringList heard;
    BRSViewState::ObservationId second = 0;
    state.addObserver(BRSViewState::kHasError, [&](const QString&, BRSViewState& object, void*) {
        heard.append(QStringLiteral("first"));
        object.removeObserver(second);
        object.setAreUpdatesAvailable(false);
    });
    second = state.addObserver(BRSViewState::kHasError, [&](const QString&, BRSViewState&, void*) {
        heard.append(QStringLiteral("second"));
    });
    state.addObserver(BRSViewState::kAreUpdatesAvailable,
                      [&](const QString&, BRSViewState&, void*) { heard.append(QStringLiteral("nested")); });

    state.setHasError(true);
    EXPECT_EQ(heard, (QStringList{QStringLiteral("first"), QStringLiteral("nested")}));
}

}  // namespace
