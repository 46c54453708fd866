#include "QtAlertPresenter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {

// Shows the alert for real and reads the icon off the box the user would see, then answers it.
QMessageBox::Icon iconShownFor(AlertStyle style) {
    QMessageBox::Icon shown = QMessageBox::NoIcon;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->icon();
            box->done(0);
        }
    });
    poll.start(10);
    Alert alert;
    alert.style = style;
    alert.messageText = QStringLiteral("text");
    QtAlertPresenter().runModal(alert);
    return shown;
}

}  // namespace

TEST(QtAlertPresenterTest, OnlyCriticalAlertsCarryTheCautionIcon) {
    EXPECT_EQ(iconShownFor(AlertStyle::Informational), QMessageBox::Information);
    EXPECT_EQ(iconShownFor(AlertStyle::Warning), QMessageBox::Information)
        << "the plain style is what every success and notice uses";
    EXPECT_EQ(iconShownFor(AlertStyle::Critical), QMessageBox::Warning);
}
