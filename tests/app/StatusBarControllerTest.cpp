#include "app/QuorvinQuitController.h"
#include "app/QuorvinStatusBarController.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/shell/FakeStatusBar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using namespace quorvin;

namespace {

struct StatusBarRig {
    FakeStatusBar bar;
    InMemoryUserDefaults defaults;
    int opened = 0;
    int checks = 0;
    int terminated = 0;
    bool confirm = false;
    std::unique_ptr<QuorvinStatusBarController> controller;

    void start()
    {
        controller = std::make_unique<QuorvinStatusBarController>(bar, defaults,
            QuorvinStatusBarController::Actions {[this] {
                                                     ++opened;
                                                     // As the application does on every open: activation rebuilds the
                                                     // item.
                                                     controller->restoreMenuBarItemIfNeeded();
                                                 },
                [this] { ++checks; }, [this] { return confirm; }, [this] { ++terminated; }});
    }
};

} // namespace

TEST(QuorvinStatusBarController, TheItemFollowsTheSettingAndIsRebuiltOnActivation)
{
    StatusBarRig rig;
    rig.start();
    // Never written: shown.
    ASSERT_EQ(rig.bar.itemCount(), 1);
    const auto *item = rig.bar.current();
    EXPECT_EQ(item->toolTip, QStringLiteral("Quorvin"));
    EXPECT_FALSE(item->icon.isNull());
    ASSERT_EQ(item->menu.size(), 4);
    EXPECT_EQ(item->menu[0].title, QStringLiteral("打开 Quorvin"));
    EXPECT_EQ(item->menu[1].title, QStringLiteral("检查更新…"));
    EXPECT_TRUE(item->menu[2].isSeparator());
    EXPECT_EQ(item->menu[3].title, QStringLiteral("退出 Quorvin"));

    rig.defaults.setBoolean(QStringLiteral("showMenuBarIcon"), false);
    EXPECT_EQ(rig.bar.itemCount(), 0);
    rig.controller->restoreMenuBarItemIfNeeded();
    EXPECT_EQ(rig.bar.itemCount(), 0);
    rig.defaults.setBoolean(QStringLiteral("showMenuBarIcon"), true);
    EXPECT_EQ(rig.bar.itemCount(), 1);
    // Anything but a stored false shows it.
    rig.defaults.setString(QStringLiteral("showMenuBarIcon"), QStringLiteral("no"));
    EXPECT_EQ(rig.bar.itemCount(), 1);

    const int added = rig.bar.addedCount();
    rig.controller->restoreMenuBarItemIfNeeded();
    EXPECT_EQ(rig.bar.itemCount(), 1);
    EXPECT_EQ(rig.bar.addedCount(), added + 1);

    // Opening from the item's own menu rebuilds the item under it.
    ASSERT_TRUE(rig.bar.trigger(QStringLiteral("打开 Quorvin")));
    EXPECT_EQ(rig.opened, 1);
    EXPECT_EQ(rig.bar.itemCount(), 1);
    EXPECT_EQ(rig.bar.addedCount(), added + 2);
    ASSERT_TRUE(rig.bar.activate());
    EXPECT_EQ(rig.opened, 2);
    ASSERT_TRUE(rig.bar.trigger(QStringLiteral("检查更新…")));
    EXPECT_EQ(rig.checks, 1);

    // No status area yet: the item is kept, to show itself when one appears.
    rig.bar.available = false;
    rig.controller->restoreMenuBarItemIfNeeded();
    EXPECT_EQ(rig.bar.itemCount(), 1);
    EXPECT_TRUE(rig.controller->hasStatusItem());
}

TEST(QuorvinStatusBarController, QuitAsksFirstAndOnlyAYesEndsTheApplication)
{
    StatusBarRig rig;
    rig.start();
    rig.confirm = false;
    ASSERT_TRUE(rig.bar.trigger(QStringLiteral("退出 Quorvin")));
    EXPECT_EQ(rig.terminated, 0);
    rig.confirm = true;
    ASSERT_TRUE(rig.bar.trigger(QStringLiteral("退出 Quorvin")));
    EXPECT_EQ(rig.terminated, 1);

    // The real confirmation, answered through its buttons.
    const auto answer = [](const char *button) {
        QTimer::singleShot(0, [button] {
            auto *alert = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_TRUE(alert);
            EXPECT_EQ(alert->text(), QStringLiteral("退出 Quorvin？"));
            EXPECT_EQ(alert->informativeText(),
                QStringLiteral(
                    "退出程序后，Quorvin 会停止同步 Mac Reminders 和鸿蒙端数据。重新打开 Quorvin 后会继续同步。"));
            auto *quit = alert->findChild<QPushButton *>(QStringLiteral("quitConfirm"));
            auto *cancel = alert->findChild<QPushButton *>(QStringLiteral("quitCancel"));
            ASSERT_TRUE(quit && cancel);
            EXPECT_EQ(quit->text(), QStringLiteral("退出程序"));
            EXPECT_EQ(cancel->text(), QStringLiteral("取消"));
            (QString::fromLatin1(button) == quit->objectName() ? quit : cancel)->click();
        });
        return QuorvinQuitController::confirmQuit();
    };
    EXPECT_FALSE(answer("quitCancel"));
    EXPECT_TRUE(answer("quitConfirm"));
}
