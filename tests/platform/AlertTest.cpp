#include "Alert.h"

#include <gtest/gtest.h>

#include <QObject>

#include "ConsoleWriter.h"
#include "Error.h"
#include "ModalSession.h"
#include "ScriptedAlertPresenter.h"

namespace {

TEST(AlertTest, AnAlertFromAnErrorShowsItsDescriptionWithOneDefaultButton) {
    const Alert alert = Alert::fromError(Error{QStringLiteral("d"), 7, QStringLiteral("Something broke.")});
    EXPECT_EQ(alert.messageText, QStringLiteral("Something broke."));
    EXPECT_TRUE(alert.informativeText.isEmpty());
    EXPECT_EQ(alert.style, AlertStyle::Warning);
    EXPECT_EQ(alert.effectiveButtonTitles(), QStringList{QStringLiteral("OK")});
    EXPECT_FALSE(alert.showsSuppressionButton);
}

TEST(AlertTest, TheScriptedPresenterRecordsEachAlertAndAnswersFromItsQueue) {
    ScriptedAlertPresenter presenter;
    presenter.enqueueAnswer({1, true});
    Alert first;
    first.messageText = QStringLiteral("one");
    Alert second;
    second.messageText = QStringLiteral("two");

    EXPECT_EQ(presenter.runModal(first), (AlertResponse{1, true}));
    EXPECT_EQ(presenter.runModal(second), (AlertResponse{0, false}))
        << "an empty queue presses the default button";
    ASSERT_EQ(presenter.shownAlerts().size(), 2);
    EXPECT_EQ(presenter.shownAlerts().at(0), first);
    EXPECT_EQ(presenter.shownAlerts().at(1), second);
    EXPECT_EQ(presenter.pendingAnswers(), 0u);
}

TEST(AlertTest, EveryAlertIsAModalSessionAndOnlyTheLastToCloseTellsTheListeners) {
    ScriptedAlertPresenter presenter;
    Alert outer;
    outer.messageText = QStringLiteral("outer");
    Alert inner;
    inner.messageText = QStringLiteral("inner");
    QList<int> depths;
    int closings = 0;
    {
        QObject listener;
        ModalSession::whenAllClosed(&listener, [&] { ++closings; });
        presenter.setWhileOpen([&](const Alert& shown) {
            depths.append(ModalSession::depth());
            if (shown == outer) {
                presenter.runModal(inner);
                EXPECT_EQ(closings, 0) << "the outer alert is still open";
            }
        });
        presenter.runModal(outer);
        EXPECT_EQ(depths, (QList<int>{1, 2}));
        EXPECT_EQ(closings, 1);
        EXPECT_EQ(ModalSession::depth(), 0);
    }
    presenter.setWhileOpen({});
    presenter.runModal(outer);
    EXPECT_EQ(closings, 1) << "a listener whose context is gone is not called";
}

TEST(AlertTest, ServiceErrorsShareOneDomainAndCode) {
    const Error error = Error::serviceError(QStringLiteral("message"));
    EXPECT_EQ(error.domain, QStringLiteral("com.halvex.Brisel.OrlinErrorsDomain"));
    EXPECT_EQ(error.code, -1);
    EXPECT_EQ(error.localizedDescription, QStringLiteral("message"));
}

TEST(AlertTest, ConsoleLinesEscapeLineBreaksSoEveryEventStaysOneLine) {
    EXPECT_EQ(ConsoleWriter::escapeLineBreaks(QStringLiteral("a\r\rb\nc\\d")),
              QStringLiteral("a\\r\\rb\\nc\\\\d"));
    EXPECT_EQ(ConsoleWriter::escapeLineBreaks(QStringLiteral("plain æøå")), QStringLiteral("plain æøå"));
}

}  // namespace
