#include "platform/shell/TrayStatusBar.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMenu>
#include <QPointer>

using namespace quorvin;

TEST(TrayStatusItem, AnItemDestroyedFromItsOwnMenuActionKeepsTheMenuUntilTheEventLoopRuns)
{
    std::unique_ptr<StatusItem> item;
    bool menuAliveInAction = false;
    StatusItemDescription description;
    description.toolTip = QStringLiteral("Quorvin");
    description.menu = {{QStringLiteral("打开 Quorvin"),
                            [&] {
                                QPointer<QMenu> running = static_cast<TrayStatusItem *>(item.get())->menu();
                                item.reset();
                                menuAliveInAction = !running.isNull();
                            }},
        {QString(), {}}};
    item = TrayStatusBar().addItem(description);
    QPointer<QMenu> menu = static_cast<TrayStatusItem *>(item.get())->menu();
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_TRUE(menu->actions().at(1)->isSeparator());

    menu->actions().first()->trigger();
    EXPECT_FALSE(item);
    EXPECT_TRUE(menuAliveInAction);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(menu.isNull());
}
