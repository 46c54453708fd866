#include "BRSViewState.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

using Signal = void (BRSViewState::*)(bool);

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
    QObject::connect(&state, &BRSViewState::isUpdatingChanged, [&](bool value) {
        heard.append(QStringLiteral("first isUpdating %1 %2").arg(value).arg(state.isUpdating()));
    });
    QObject::connect(&state, &BRSViewState::hasErrorChanged, [&] { heard.append(QStringLiteral("other")); });
    QObject::connect(&state, &BRSViewState::isUpdatingChanged,
                     [&](bool value) { heard.append(QStringLiteral("second isUpdating %1").arg(value)); });

    state.setIsUpdating(true);
    state.setIsUpdating(true);  // no change of value, still an event
    state.setIsUpdating(false);

    EXPECT_EQ(heard, (QStringList{
                         QStringLiteral("first isUpdating 1 1"),
                         QStringLiteral("second isUpdating 1"),
                         QStringLiteral("first isUpdating 1 1"),
                         QStringLiteral("second isUpdating 1"),
                         QStringLiteral("first isUpdating 0 0"),
                         QStringLiteral("second isUpdating 0"),
                     }));
}

TEST(BRSViewStateTest, EachSetterStoresItsOwnFlagAndNotifiesOnlyItsKey) {
    using Setter = void (BRSViewState::*)(bool);
    using Getter = bool (BRSViewState::*)() const;
    const struct {
        QString key;
        Setter set;
        Getter get;
        Signal changed;
    } flags[] = {
        {QStringLiteral("areUpdatesAvailable"), &BRSViewState::setAreUpdatesAvailable,
         &BRSViewState::areUpdatesAvailable, &BRSViewState::areUpdatesAvailableChanged},
        {QStringLiteral("isUpdating"), &BRSViewState::setIsUpdating, &BRSViewState::isUpdating,
         &BRSViewState::isUpdatingChanged},
        {QStringLiteral("hasError"), &BRSViewState::setHasError, &BRSViewState::hasError,
         &BRSViewState::hasErrorChanged},
        {QStringLiteral("notifyAfterUpdate"), &BRSViewState::setNotifyAfterUpdate,
         &BRSViewState::notifyAfterUpdate, &BRSViewState::notifyAfterUpdateChanged},
        {QStringLiteral("notifyBeforeShuttingDownMail"), &BRSViewState::setNotifyBeforeShuttingDownMail,
         &BRSViewState::notifyBeforeShuttingDownMail, &BRSViewState::notifyBeforeShuttingDownMailChanged},
        {QStringLiteral("harIndtastetToken"), &BRSViewState::setHarIndtastetToken,
         &BRSViewState::harIndtastetToken, &BRSViewState::harIndtastetTokenChanged},
    };
    for (const auto& flag : flags) {
        BRSViewState state;
        QStringList heard;
        for (const auto& any : flags) {
            QObject::connect(&state, any.changed, [&heard, key = any.key](bool value) {
                heard.append(key + QStringLiteral(" %1").arg(value));
            });
        }
        (state.*flag.set)(true);
        EXPECT_TRUE((state.*flag.get)()) << flag.key.toStdString();
        EXPECT_EQ(heard, QStringList{flag.key + QStringLiteral(" 1")});
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
    QMetaObject::Connection second;
    QObject::connect(&state, &BRSViewState::hasErrorChanged, [&] {
        heard.append(QStringLiteral("first"));
        QObject::disconnect(second);
        state.setAreUpdatesAvailable(false);
    });
    second = QObject::connect(&state, &BRSViewState::hasErrorChanged,
                              [&] { heard.append(QStringLiteral("second")); });
    QObject::connect(&state, &BRSViewState::areUpdatesAvailableChanged,
                     [&] { heard.append(QStringLiteral("nested")); });

    state.setHasError(true);
    EXPECT_EQ(heard, (QStringList{QStringLiteral("first"), QStringLiteral("nested")}));
}

}  // namespace
