#include "BRSStatusView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "BRSPopoverViewController.h"
#include "QtStatusMenu.h"

namespace {

// Relative luminance and contrast ratio as accessibility guidelines define them.
double luminance(QColor colour) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(QColor a, QColor b) {
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// Pixels of the image, drawn on the background, that stand out from it as a graphic must (3:1).
int standingOut(const QImage& image, QColor background) {
    QImage composed(image.size(), QImage::Format_RGB32);
    composed.fill(background);
    QPainter(&composed).drawImage(0, 0, image);
    int count = 0;
    for (int y = 0; y < composed.height(); ++y) {
        for (int x = 0; x < composed.width(); ++x) {
            count += contrast(composed.pixelColor(x, y), background) >= 3.0 ? 1 : 0;
        }
    }
    return count;
}

// Where a panel at the top right of the offscreen screen (800 x 600) has embedded the item.
const QRect kItemPlace(700, 0, 24, 24);

// A tray that has the item at *place (empty: not embedded yet, or a tray that will not tell).
BRSStatusView::Tray trayWithItemAt(std::shared_ptr<QRect> place) {
    return {[] { return true; }, [place](const QSystemTrayIcon&) { return *place; }};
}

BRSStatusView::Tray trayWithItemAt(QRect place) {
    return trayWithItemAt(std::make_shared<QRect>(place));
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QList<BRSPopoverViewController*> visiblePopovers() {
    QList<BRSPopoverViewController*> visible;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* popover = qobject_cast<BRSPopoverViewController*>(widget);
            popover && popover->isVisible()) {
            visible.append(popover);
        }
    }
    return visible;
}

TEST(BRSStatusViewTest, TwoMessagesInQuickSuccessionLeaveOnlyTheSecondOnScreen) {
    BRSStatusView view(trayWithItemAt(kItemPlace));
    view.showPopoverWithText(QStringLiteral("first"));
    view.showPopoverWithText(QStringLiteral("second"));

    const QList<BRSPopoverViewController*> visible = visiblePopovers();
    ASSERT_EQ(visible.size(), 1);
    EXPECT_EQ(visible.front(), view.popover());
    EXPECT_EQ(visible.front()->text()->text(), QStringLiteral("second"));

    view.hidePopover();
    EXPECT_TRUE(visiblePopovers().isEmpty());
}

TEST(BRSStatusViewTest, ThePopoverFitsItsTextGrabsNothingAndClosesOnAnyPressOrWhenTheUserMovesOn) {
    QWidget other;
    other.show();
    QApplication::processEvents();

    BRSStatusView view(trayWithItemAt(kItemPlace));
    const QString longText = QStringLiteral(
        "Your Orlin service is right here. Click and enter your Orlin access code to get started.");
    view.showPopoverWithText(longText);
    QApplication::processEvents();
    BRSPopoverViewController* popover = view.popover();
    ASSERT_NE(popover, nullptr);
    ASSERT_TRUE(popover->isVisible());
    EXPECT_TRUE(popover->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_GE(popover->height(), popover->text()->heightForWidth(popover->text()->width()));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "a popup grabs keyboard and pointer";

    const auto press = [](QWidget& target) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(2, 2), target.mapToGlobal(QPointF(2, 2)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &event);
    };
    press(other);
    EXPECT_FALSE(popover->isVisible()) << "a click elsewhere in the application";

    view.showPopoverWithText(longText);
    ASSERT_TRUE(view.popover()->isVisible());
    press(*view.popover());
    EXPECT_FALSE(view.popover()->isVisible()) << "a click on the message dismisses it";

    view.showPopoverWithText(longText);
    ASSERT_TRUE(view.popover()->isVisible());
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(view.popover()->isVisible()) << "the user went to another application";

    view.showPopoverWithText(longText);
    QApplication::processEvents();
    ASSERT_TRUE(view.popover()->isVisible());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&other, &key);
    EXPECT_FALSE(view.popover()->isVisible()) << "typing in another of our windows";
    EXPECT_TRUE(visiblePopovers().isEmpty());
}

TEST(BRSStatusViewTest, TheMessageWaitsForTheItemsPlaceAndFollowsIt) {
    auto place = std::make_shared<QRect>();
    BRSStatusView view(trayWithItemAt(place));
    view.setStatusImage(StatusImages::imageNamed(StatusImages::kInitial));
    view.showPopoverWithText(QStringLiteral("Click here to get started."));
    QApplication::processEvents();
    EXPECT_TRUE(visiblePopovers().isEmpty()) << "shown before the tray gave the item a place";

    *place = kItemPlace;
    ASSERT_TRUE(waitUntil([&] { return !visiblePopovers().isEmpty(); }));
    BRSPopoverViewController* popover = view.popover();
    EXPECT_GT(popover->y(), place->bottom()) << "the message covers the item";
    EXPECT_LE(popover->x(), place->center().x());
    EXPECT_GE(popover->x() + popover->width(), place->center().x()) << "the message is not under the item";

    // More icons arrive and push ours to the left.
    *place = QRect(300, 0, 24, 24);
    ASSERT_TRUE(waitUntil([&] { return popover->x() <= place->center().x(); }));
    EXPECT_GE(popover->x() + popover->width(), place->center().x());
    view.hidePopover();
}

TEST(BRSStatusViewTest, AnItemWhoseTrayKeepsItsPlaceToItselfGetsNoMessageAtAGuessedSpot) {
    BRSStatusView view(trayWithItemAt(QRect()));
    view.setStatusImage(StatusImages::imageNamed(StatusImages::kInitial));
    view.showPopoverWithText(QStringLiteral("Click here to get started."));
    // The platform's notification carries it instead.
    EXPECT_TRUE(waitUntil([&] { return view.popover() == nullptr; }));
    EXPECT_TRUE(visiblePopovers().isEmpty());
}

QStringList capturedMessages;

TEST(BRSStatusViewTest, TheItemAppearsOnlyWithItsFirstImage) {
    capturedMessages.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
            capturedMessages.append(message);
        });
    {
        BRSStatusView view(trayWithItemAt(kItemPlace));
        EXPECT_FALSE(view.statusItem().isVisible()) << "an empty slot in the tray";
        view.setStatusImage(StatusImages::imageNamed(StatusImages::kInitial));
        EXPECT_TRUE(view.statusItem().isVisible());
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(capturedMessages.filter(QStringLiteral("No Icon set")).isEmpty())
        << capturedMessages.join(u'\n').toStdString();
}

TEST(BRSStatusViewTest, ImageTooltipAndMenuCanBeSetAndRemoved) {
    BRSStatusView view;
    const std::optional<StatusImage> ok = StatusImages::imageNamed(StatusImages::kOk);
    ASSERT_TRUE(ok.has_value());
    view.setStatusImage(ok);
    EXPECT_FALSE(view.statusItem().icon().isNull());
    EXPECT_EQ(view.statusItem().icon().isMask(), ok->isTemplate);
    view.setStatusImage(std::nullopt);
    EXPECT_TRUE(view.statusItem().icon().isNull());

    view.setStatusTooltip(QStringLiteral("tip"));
    EXPECT_EQ(view.statusItem().toolTip(), QStringLiteral("tip"));
    view.setStatusTooltip(std::nullopt);
    EXPECT_TRUE(view.statusItem().toolTip().isEmpty());

    QtStatusMenu menu({});
    view.setStatusMenu(&menu);
    EXPECT_EQ(view.statusItem().contextMenu(), menu.nativeMenu());
    view.setStatusMenu(nullptr);
    EXPECT_EQ(view.statusItem().contextMenu(), nullptr);
}

TEST(BRSStatusViewTest, AClickWithoutAMenuShowsNothingAndDoesNotStayPressed) {
    BRSStatusView view;
    view.setStatusMenu(nullptr);
    view.mouseDown();
    EXPECT_FALSE(view.isActive());
}

TEST(BRSStatusViewTest, AClickPopsUpTheMenuAndStaysPressedUntilItCloses) {
#ifdef Q_OS_MACOS
    GTEST_SKIP() << "the menu bar pops the menu up itself";
#endif
    BRSStatusView view;
    QtStatusMenu menu({});
    view.setStatusMenu(&menu);
    view.mouseDown();
    EXPECT_TRUE(view.isActive());
    EXPECT_TRUE(menu.nativeMenu()->isVisible());
    menu.nativeMenu()->hide();
    EXPECT_FALSE(view.isActive());
}

TEST(BRSStatusViewTest, EveryStatusImageHasAnAssetWithADenseVariant) {
    for (const QString& name : {StatusImages::kInitial, StatusImages::kUpdating, StatusImages::kNotify,
                                StatusImages::kError, StatusImages::kOk}) {
        const std::optional<StatusImage> image = StatusImages::imageNamed(name);
        ASSERT_TRUE(image.has_value()) << name.toStdString();
        const QImage normal(image->resourcePath);
        QString densePath = image->resourcePath;
        densePath.insert(densePath.size() - 4, QStringLiteral("@2x"));
        const QImage dense(densePath);
        EXPECT_EQ(normal.size(), QSize(20, 20)) << name.toStdString();
        EXPECT_EQ(dense.size(), QSize(40, 40)) << name.toStdString();
        EXPECT_TRUE(normal.hasAlphaChannel());
    }
    EXPECT_FALSE(StatusImages::imageNamed(QStringLiteral("Orlin_Avatar_20x20 - missing")).has_value());
    EXPECT_FALSE(StatusImages::imageNamed(QStringLiteral("../status/Orlin_Avatar_20x20")).has_value());
}

TEST(BRSStatusViewTest, EveryStatusImageReadsOnALightAndADarkPanel) {
#ifdef Q_OS_MACOS
    GTEST_SKIP() << "the menu bar tints template images for its appearance";
#endif
    // Panels as the common desktops draw them: black, dark grey, mid grey, light grey and white.
    const QList<QColor> panels = {QColor(0x00, 0x00, 0x00), QColor(0x2a, 0x2e, 0x32),
                                  QColor(0x80, 0x80, 0x80), QColor(0xef, 0xf0, 0xf1),
                                  QColor(0xff, 0xff, 0xff)};
    for (const QString& name : {StatusImages::kInitial, StatusImages::kUpdating, StatusImages::kNotify,
                                StatusImages::kError, StatusImages::kOk}) {
        const std::optional<StatusImage> image = StatusImages::imageNamed(name);
        ASSERT_TRUE(image.has_value());
        EXPECT_FALSE(image->isTemplate) << "no tray here tints a mask";
        const QImage normal(image->resourcePath);
        for (const QColor& panel : panels) {
            // A sixth of the square: most of what the glyph covers.
            EXPECT_GE(standingOut(normal, panel), 60)
                << name.toStdString() << " on " << panel.name().toStdString();
        }
    }
}

TEST(BRSStatusViewTest, TheErrorAndTheUpdatesBadgesDifferInShapeAndColour) {
#ifdef Q_OS_MACOS
    GTEST_SKIP() << "template images: the menu bar gives them its one colour";
#endif
    const auto load = [](const QString& name) {
        return QImage(StatusImages::imageNamed(name)->resourcePath).convertToFormat(QImage::Format_ARGB32);
    };
    const QImage error = load(StatusImages::kError);
    const QImage updates = load(StatusImages::kNotify);
    ASSERT_EQ(error.size(), updates.size());

    int shapeDifference = 0;
    for (int y = 0; y < error.height(); ++y) {
        for (int x = 0; x < error.width(); ++x) {
            shapeDifference +=
                std::abs(qAlpha(error.pixel(x, y)) - qAlpha(updates.pixel(x, y))) > 128 ? 1 : 0;
        }
    }
    EXPECT_GE(shapeDifference, 8) << "the two badges have one outline";

    // The hue most strongly coloured pixels share, or -1 where the image is grey.
    const auto badgeHue = [](const QImage& image) {
        QList<int> hues;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor colour = QColor::fromRgba(image.pixel(x, y));
                if (colour.alpha() > 200 && colour.hsvSaturation() > 150) {
                    hues.append(colour.hsvHue());
                }
            }
        }
        std::sort(hues.begin(), hues.end());
        return hues.size() < 4 ? -1 : hues[hues.size() / 2];
    };
    const int errorHue = badgeHue(error);
    const int updatesHue = badgeHue(updates);
    ASSERT_GE(errorHue, 0) << "the error badge has no colour";
    ASSERT_GE(updatesHue, 0) << "the updates badge has no colour";
    const int apart = std::abs(errorHue - updatesHue);
    EXPECT_GE(std::min(apart, 360 - apart), 90) << errorHue << " against " << updatesHue;
}

}  // namespace
