#include "ui/DashboardView.h"
#include "SignedInRig.h"
#include "activity/ActivityLog.h"
#include "ui/ActivityLogCardView.h"
#include "ui/ActivityLogRowView.h"
#include "ui/ContentView.h"
#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMetricTile.h"
#include "ui/QuorvinStatusMetaRow.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

template <typename T = QWidget> T *find(const QWidget &root, const QString &name)
{
    T *found = root.findChild<T *>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

void click(const QWidget &root, const QString &name)
{
    if (auto *button = find<QAbstractButton>(root, name)) {
        EXPECT_TRUE(button->isVisible() && button->isEnabled()) << name.toStdString();
        button->click();
    }
    ManualClock::drainEvents();
}

bool showing(const QWidget &root, const QString &name)
{
    const auto *widget = root.findChild<QWidget *>(name);
    return widget && widget->isVisible();
}

} // namespace

TEST(DashboardView, ClicksThroughTheSignedInWindow)
{
    SignedInRig rig;
    rig.localReminder(u"Milk"_s);
    rig.phone->createReminder({.title = u"From the phone"_s, .listId = rig.phone->createList(u"Phone"_s)});
    ContentView view(rig.context());
    view.show();
    rig.start();
    ManualClock::drainEvents();

    EXPECT_EQ(find<QuorvinMetricTile>(view, u"reminderCountMetric"_s)->value(), u"2 条"_s);
    EXPECT_TRUE(find<QuorvinStatusMetaRow>(view, u"syncResultRow"_s)->value().startsWith(u"成功（"_s));
    EXPECT_EQ(find<QuorvinStatusMetaRow>(view, u"cloudAddressRow"_s)->value(), InProcessHttpSession::baseUrl());
    // The body's left column: 40 % of what the gap between the columns leaves.
    EXPECT_EQ(DashboardView::leftColumnWidth(1012), 400);
    EXPECT_EQ(DashboardView::leftColumnWidth(11), 0);
    const QWidget *controls = find(view, u"controlSection"_s);
    EXPECT_EQ(controls->width(), DashboardView::leftColumnWidth(controls->parentWidget()->width()));

    // The first successful sync offers to start at login; "暂时不要" answers it.
    ASSERT_TRUE(showing(view, u"launchAtLoginPrompt"_s));
    click(view, u"launchAtLoginLater"_s);
    EXPECT_FALSE(showing(view, u"launchAtLoginPrompt"_s));
    EXPECT_TRUE(view.model().launchAtLoginPromptHandled());

    rig.localReminder(u"Bread"_s);
    click(view, u"manualRefreshTile"_s);
    ASSERT_TRUE(rig.settle());
    ManualClock::drainEvents();
    EXPECT_EQ(find<QuorvinMetricTile>(view, u"reminderCountMetric"_s)->value(), u"3 条"_s);

    click(view, u"rebuildCloudTile"_s);
    ASSERT_TRUE(showing(view, u"rebuildCloudConfirmation"_s));
    click(view, u"rebuildCloudCancel"_s);
    EXPECT_FALSE(showing(view, u"rebuildCloudConfirmation"_s));
    EXPECT_FALSE(view.model().state().showingRebuildCloudConfirmation);

    click(view, u"completedCleanupTile"_s);
    ASSERT_TRUE(showing(view, u"cleanupPrecheckConfirmation"_s));
    click(view, u"cleanupPrecheckStart"_s);
    ASSERT_TRUE(rig.settle());
    ManualClock::drainEvents();
    ASSERT_TRUE(showing(view, u"cleanupResultConfirmation"_s));
    EXPECT_EQ(view.findChild<QAbstractButton *>(u"cleanupDelete"_s), nullptr);
    EXPECT_EQ(find<QAbstractButton>(view, u"cleanupDismiss"_s)->text(), u"关闭"_s);
    click(view, u"cleanupDismiss"_s);
    EXPECT_FALSE(showing(view, u"cleanupResultConfirmation"_s));

    click(view, u"diagnosticUploadButton"_s);
    ASSERT_TRUE(showing(view, u"diagnosticUploadConfirmation"_s));
    click(view, u"diagnosticUploadConfirm"_s);
    EXPECT_FALSE(find<QAbstractButton>(view, u"diagnosticUploadButton"_s)->isEnabled());
    ASSERT_TRUE(rig.settle());
    ManualClock::drainEvents();
    EXPECT_TRUE(find<QAbstractButton>(view, u"diagnosticUploadButton"_s)->isEnabled());
    EXPECT_EQ(rig.server.journalFor(u"/diagnostics/reports"_s).size(), 1);

    // The switches write their settings at once; the Dock one hides the taskbar entry.
    EXPECT_FALSE(showing(view, u"shortcutHint"_s));
    click(view, u"shortcutSwitch"_s);
    EXPECT_TRUE(rig.defaults.boolean(u"mainWindowShortcutEnabled"_s).value_or(false));
    EXPECT_TRUE(showing(view, u"shortcutHint"_s));
    EXPECT_EQ(find<QLabel>(view, u"shortcutHint"_s)->text(), u"显示主窗口：⌥⇧L"_s);
    click(view, u"dockIconSwitch"_s);
    EXPECT_FALSE(rig.defaults.boolean(u"showDockIcon"_s).value_or(true));
    EXPECT_GE(rig.dock.changeCount, 1);
    click(view, u"menuBarIconSwitch"_s);
    EXPECT_FALSE(rig.defaults.boolean(u"showMenuBarIcon"_s).value_or(true));

    click(view, u"aboutButton"_s);
    ASSERT_TRUE(showing(view, u"aboutSheet"_s));
    EXPECT_TRUE(find<QLabel>(view, u"aboutVersion"_s)->text().startsWith(u"版本 "_s));
    click(view, u"aboutClose"_s);
    EXPECT_FALSE(showing(view, u"aboutSheet"_s));
    EXPECT_FALSE(view.model().state().showingGuide);

    // The activity card: one row per entry; a new entry builds one row, the others stay.
    ActivityLogCardView *card = view.authenticatedContent()->activityCard();
    const int entries = int(rig.service->activityLog().activityLogs().size());
    ASSERT_GE(entries, 2);
    EXPECT_EQ(card->rows().size(), entries);
    const int built = card->rowsBuilt();
    rig.service->activityLog().appendActivityLog(u"用户操作"_s, u"编辑任务「Milk」"_s, {u"标题: Milk -> Oat milk"_s});
    ManualClock::drainEvents();
    EXPECT_EQ(card->rows().size(), entries + 1);
    EXPECT_EQ(card->rowsBuilt(), built + 1);
    EXPECT_EQ(card->rows().first()->findChild<QLabel *>(u"activitySummary"_s)->text(), u"更新任务「Milk」"_s);
    // While the window shows, the times move on by themselves, once a minute.
    const auto shownTime = [card] { return card->rows().first()->findChild<QLabel *>(u"activityTime"_s)->text(); };
    EXPECT_EQ(shownTime(), u"刚刚"_s);
    rig.clock.advance(std::chrono::minutes(2));
    ManualClock::drainEvents();
    EXPECT_EQ(shownTime(), u"1 分钟前"_s);
    EXPECT_FALSE(showing(view, u"activityEmpty"_s));
    click(view, u"activityClear"_s);
    EXPECT_TRUE(card->rows().isEmpty());
    EXPECT_TRUE(showing(view, u"activityEmpty"_s));
    EXPECT_FALSE(showing(view, u"activityClear"_s));

    // Quitting asks first.
    bool answer = false;
    view.authenticatedContent()->model().setConfirmQuit([&answer] { return answer; });
    click(view, u"quitTile"_s);
    EXPECT_EQ(rig.quits, 0);
    answer = true;
    click(view, u"quitTile"_s);
    EXPECT_EQ(rig.quits, 1);
}
