#include "app/LaunchAtLoginSettingsModel.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/shell/FakeLoginItem.h"

#include <gtest/gtest.h>

using namespace quorvin;

TEST(LaunchAtLoginSettingsModel, TheSwitchMirrorsTheLoginItemAndUndoesAFailedChange)
{
    FakeLoginItem item;
    InMemoryUserDefaults defaults;
    LaunchAtLoginSettingsModel model(item, defaults);
    const QString approval = QStringLiteral("已请求开机自启动，可能还需要在系统设置的登录项中批准");
    const QString notFound = QStringLiteral("当前构建未注册为登录项");

    EXPECT_FALSE(model.launchAtLoginEnabled());
    model.refreshFromSystem();
    EXPECT_FALSE(model.launchAtLoginEnabled());
    EXPECT_FALSE(model.detailText());

    // On, but the desktop still wants the user's approval.
    item.statusAfterRegister = LoginItemStatus::RequiresApproval;
    model.apply(true);
    EXPECT_TRUE(model.launchAtLoginEnabled());
    EXPECT_EQ(defaults.boolean(QStringLiteral("launchAtLoginEnabled")), true);
    EXPECT_EQ(model.detailText(), approval);

    // Changed behind the view's back: picked up on the next refresh.
    item.currentStatus = LoginItemStatus::NotFound;
    model.refreshFromSystem();
    EXPECT_FALSE(model.launchAtLoginEnabled());
    EXPECT_EQ(model.detailText(), notFound);

    item.currentStatus = LoginItemStatus::Enabled;
    model.refreshFromSystem();
    EXPECT_TRUE(model.launchAtLoginEnabled());
    EXPECT_FALSE(model.detailText());

    // A refused change flips the switch back and shows why, with the status text.
    item.currentStatus = LoginItemStatus::RequiresApproval;
    item.failure = QStringLiteral("拒绝");
    model.apply(false);
    EXPECT_TRUE(model.launchAtLoginEnabled());
    EXPECT_TRUE(model.showingError());
    EXPECT_EQ(model.errorMessage(), QStringLiteral("拒绝"));
    EXPECT_EQ(model.detailText(), approval);
    model.dismissError();
    EXPECT_FALSE(model.showingError());

    item.failure.reset();
    model.apply(false);
    EXPECT_FALSE(model.launchAtLoginEnabled());
    EXPECT_EQ(item.currentStatus, LoginItemStatus::NotRegistered);
}
