#include "BRSStatusView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>

#include "BRSPopoverViewController.h"
#include "FakeFrontEnd.h"

namespace {

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

class QMenuStatusMenu final : public StatusMenu {
public:
    QMenuStatusMenu()
        : update(QStringLiteral("update"), log),
          preferences(QStringLiteral("p"), log),
          enterToken(QStringLiteral("e"), log) {}
    MenuItem& updateAllSignaturesItem() override { return update; }
    MenuItem& preferencesItem() override { return preferences; }
    MenuItem& enterTokenItem() override { return enterToken; }
    QMenu* nativeMenu() override { return &menu; }

    QStringList log;
    FakeMenuItem update;
    FakeMenuItem preferences;
    FakeMenuItem enterToken;
    QMenu menu;
};

TEST(BRSStatusViewTest, TwoMessagesInQuickSuccessionLeaveOnlyTheSecondOnScreen) {
    BRSStatusView view;
    view.showPopoverWithText(QStringLiteral("first"));
    view.showPopoverWithText(QStringLiteral("second"));

    const QList<BRSPopoverViewController*> visible = visiblePopovers();
    ASSERT_EQ(visible.size(), 1);
    EXPECT_EQ(visible.front(), view.popover());
    EXPECT_EQ(visible.front()->text()->text(), QStringLiteral("second"));

    view.hidePopover();
    EXPECT_TRUE(visiblePopovers().isEmpty());
}

TEST(BRSStatusViewTest, ThePopoverIsAFramelessPopupThatFitsItsText) {
    BRSStatusView view;
    const QString longText = QStringLiteral(
        "Your Orlin service is right here. Click and enter your Orlin access code to get started.");
    view.showPopoverWithText(longText);
    BRSPopoverViewController* popover = view.popover();
    ASSERT_NE(popover, nullptr);
    EXPECT_TRUE(popover->windowFlags().testFlag(Qt::Popup));
    EXPECT_TRUE(popover->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(popover->text()->wordWrap());
    EXPECT_GE(popover->height(), popover->text()->heightForWidth(popover->text()->width()));
    view.hidePopover();
}

TEST(BRSStatusViewTest, ImageTooltipAndMenuCanBeSetAndRemoved) {
    BRSStatusView view;
    const std::optional<StatusImage> ok = StatusImages::imageNamed(StatusImages::kOk);
    ASSERT_TRUE(ok.has_value());
    view.setStatusImage(ok);
    EXPECT_FALSE(view.statusItem().icon().isNull());
    EXPECT_TRUE(view.statusItem().icon().isMask());
    view.setStatusImage(std::nullopt);
    EXPECT_TRUE(view.statusItem().icon().isNull());

    view.setStatusTooltip(QStringLiteral("tip"));
    EXPECT_EQ(view.statusItem().toolTip(), QStringLiteral("tip"));
    view.setStatusTooltip(std::nullopt);
    EXPECT_TRUE(view.statusItem().toolTip().isEmpty());

    QMenuStatusMenu menu;
    view.setStatusMenu(&menu);
    EXPECT_EQ(view.statusItem().contextMenu(), &menu.menu);
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
    QMenuStatusMenu menu;
    menu.menu.addAction(QStringLiteral("Item"));
    view.setStatusMenu(&menu);
    view.mouseDown();
    EXPECT_TRUE(view.isActive());
    EXPECT_TRUE(menu.menu.isVisible());
    menu.menu.hide();
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

}  // namespace
