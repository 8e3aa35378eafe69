#include "SignedInRig.h"
#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "activity/Strings.h"
#include "sync/CompletedReminderCleanup.h"
#include "sync/Strings.h"
#include "ui/ContentViewModel.h"
#include "ui/DashboardViewModel.h"
#include "ui/MainWindowDialogsModel.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

// The dashboard's models on a rig, as the main view builds them.
struct Models {
    ContentViewModel content;
    DashboardViewModel dashboard;
    MainWindowDialogsModel dialogs;

    explicit Models(ViewRig &rig)
        : content(*rig.service, rig.defaults, *rig.appearance)
        , dashboard(rig.context(), content)
        , dialogs(*rig.service, content, rig.loginItem)
    {
    }
};

// What the overview and the cleanup tile showed at one moment.
struct Shown {
    QString count;
    QString cloudCursor;
    QString result;
    QString cleanupTitle;
    bool cleanupEnabled;
    bool running;
    bool cleaning;
};

} // namespace

TEST(Dashboard, DrivesSyncRebuildCleanupAndDiagnosticsOnTheRealService)
{
    SignedInRig rig;
    rig.localReminder(u"Milk"_s);
    const QString paid = rig.localReminder(u"Paid bill"_s, true);
    Models m(rig);
    QList<Shown> seen;
    QObject::connect(&m.dashboard, &DashboardViewModel::changed, [&] {
        seen.append({m.dashboard.reminderCountText(), m.dashboard.cloudCursorText(), m.dashboard.syncResultText(),
            m.dashboard.cleanupTileTitle(), m.dashboard.isCleanupTileEnabled(), rig.service->isCloudSyncRunnerActive(),
            rig.service->completedCleanup().isCompletedCleanupRunning()});
    });
    EXPECT_EQ(m.dashboard.reminderCountText(), u"0 条"_s);
    EXPECT_EQ(m.dashboard.cloudCursorText(), u"push=- / pull=-"_s);
    EXPECT_EQ(m.dashboard.cloudBaseURLText(), InProcessHttpSession::baseUrl());

    rig.phone->createReminder({.title = u"From the phone"_s, .listId = rig.phone->createList(u"Phone"_s)});
    rig.start();
    EXPECT_EQ(m.dashboard.reminderCountText(), u"3 条"_s);
    EXPECT_EQ(m.dashboard.localCursorText(), rig.service->cursor());
    EXPECT_FALSE(m.dashboard.cloudCursorText().contains(u"=-"_s)) << m.dashboard.cloudCursorText().toStdString();
    EXPECT_TRUE(m.dashboard.syncResultText().startsWith(SyncText::statusSuccessPrefix));
    // While a pass ran: the status said so and every tile stayed usable.
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const Shown &shown) {
        return shown.running && shown.result == SyncText::statusSyncing && shown.cleanupEnabled;
    }));

    // Sync now picks up a change the reminders database has not announced yet.
    rig.localReminder(u"Bread"_s);
    m.dashboard.manualRefresh();
    ASSERT_TRUE(rig.settle());
    EXPECT_EQ(m.dashboard.reminderCountText(), u"4 条"_s);
    EXPECT_FALSE(rig.phone->findByTitle(u"Bread"_s).isEmpty());
    EXPECT_TRUE(rig.logged(SyncText::logRefreshPrefix + u"manual] upserts=1"_s));

    // The rebuild asks first; cancelling does nothing.
    m.dashboard.requestCloudRebuild();
    EXPECT_TRUE(m.content.state().showingRebuildCloudConfirmation);
    m.dialogs.cancelCloudRebuild();
    EXPECT_FALSE(m.content.state().showingRebuildCloudConfirmation);
    ASSERT_TRUE(rig.settle());
    EXPECT_FALSE(rig.logged(SyncText::logRebuildRequested));
    seen.clear();
    m.dashboard.requestCloudRebuild();
    m.dialogs.confirmCloudRebuild();
    EXPECT_FALSE(m.content.state().showingRebuildCloudConfirmation);
    ASSERT_TRUE(rig.settle());
    EXPECT_TRUE(rig.logged(SyncText::logRebuildRequested));
    EXPECT_EQ(rig.service->activityLog().activityLogs().first().summary, SyncText::activityRebuildStarted);
    EXPECT_TRUE(m.dashboard.syncResultText().startsWith(SyncText::statusSuccessPrefix));
    EXPECT_EQ(rig.phone->reminders().size(), 4);
    // Between the reset and the new upload the cursors were gone; the tiles stayed usable.
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
        [](const Shown &shown) { return shown.cloudCursor == u"push=- / pull=-"_s && shown.cleanupEnabled; }));

    // The cloud no longer holds the paid bill; this machine has not pulled that yet.
    rig.service->shutdown();
    rig.phone->deleteReminder(rig.serverIdOf(paid));
    seen.clear();
    m.dashboard.requestCompletedCleanup();
    EXPECT_TRUE(m.content.state().showingCleanupPrecheckConfirmation);
    m.dialogs.startCleanupPrecheck();
    EXPECT_FALSE(m.content.state().showingCleanupPrecheckConfirmation);
    EXPECT_EQ(m.dashboard.cleanupTileTitle(), u"检查中"_s);
    EXPECT_FALSE(m.dashboard.isCleanupTileEnabled());
    // A click on the busy tile opens nothing.
    m.dashboard.requestCompletedCleanup();
    EXPECT_FALSE(m.content.state().showingCleanupPrecheckConfirmation);
    ASSERT_TRUE(rig.settle());
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](const Shown &shown) {
        return shown.cleaning == !shown.cleanupEnabled && shown.cleaning == (shown.cleanupTitle == u"检查中"_s);
    }));
    EXPECT_TRUE(m.content.state().showingCleanupResultConfirmation);
    EXPECT_EQ(m.dialogs.cleanupDeleteButtonTitle(), u"删除 1 条本机完成项"_s);
    EXPECT_EQ(m.dialogs.cleanupDismissButtonTitle(), u"保留"_s);
    EXPECT_EQ(
        m.dialogs.completedCleanupDialogMessage(), rig.service->completedCleanup().completedCleanupSummary().trimmed());
    EXPECT_TRUE(m.dialogs.completedCleanupDialogMessage().startsWith(ActivityText::cleanupSummaryPrefix));
    EXPECT_TRUE(rig.store.reminder(paid)) << "the precheck deletes nothing";
    m.dialogs.deleteCleanupCandidates();
    EXPECT_FALSE(m.content.state().showingCleanupResultConfirmation);
    ASSERT_TRUE(rig.settle());
    EXPECT_FALSE(rig.store.reminder(paid));
    EXPECT_FALSE(m.content.state().showingCleanupResultConfirmation) << "only a precheck opens the result";

    // A second precheck that finds nothing offers no deletion.
    m.dashboard.requestCompletedCleanup();
    m.dialogs.startCleanupPrecheck();
    ASSERT_TRUE(rig.settle());
    EXPECT_TRUE(m.content.state().showingCleanupResultConfirmation);
    EXPECT_EQ(m.dialogs.cleanupDeleteButtonTitle(), std::nullopt);
    EXPECT_EQ(m.dialogs.cleanupDismissButtonTitle(), u"关闭"_s);
    m.dialogs.dismissCleanupResult();

    // The diagnostics upload: asked first, the button busy while it runs.
    m.dialogs.requestDiagnosticUpload();
    EXPECT_TRUE(m.content.state().showingDiagnosticUploadConfirmation);
    m.dialogs.confirmDiagnosticUpload();
    EXPECT_EQ(m.dialogs.diagnosticButtonTitle(), u"上传中"_s);
    EXPECT_FALSE(m.dialogs.isDiagnosticButtonEnabled());
    m.dialogs.requestDiagnosticUpload();
    EXPECT_FALSE(m.content.state().showingDiagnosticUploadConfirmation);
    ASSERT_TRUE(rig.settle());
    EXPECT_EQ(m.dialogs.diagnosticButtonTitle(), u"上传诊断"_s);
    EXPECT_TRUE(m.dialogs.isDiagnosticButtonEnabled());
    EXPECT_EQ(rig.server.journalFor(u"/diagnostics/reports"_s).size(), 1);
    EXPECT_TRUE(
        rig.service->activityLog().activityLogs().first().summary.startsWith(SyncText::activityDiagnosticUploaded));
}

TEST(Dashboard, OffersLaunchAtLoginOnceAfterASuccessfulSyncUntilAnswered)
{
    SignedInRig rig;
    Models m(rig);
    // Signed out, and before any successful sync: never.
    m.dialogs.maybePromptForLaunchAtLogin();
    EXPECT_FALSE(m.content.state().showingLaunchAtLoginPrompt);
    rig.account().applyCloudAuthToken(rig.token, u"test"_s);
    m.dialogs.maybePromptForLaunchAtLogin();
    EXPECT_FALSE(m.content.state().showingLaunchAtLoginPrompt);

    // Already starting at login (or awaiting approval): no offer, and nothing stored.
    rig.loginItem.currentStatus = LoginItemStatus::RequiresApproval;
    rig.start();
    EXPECT_TRUE(rig.service->lastSyncSuccessAt());
    EXPECT_FALSE(m.content.state().showingLaunchAtLoginPrompt);
    EXPECT_FALSE(m.content.launchAtLoginPromptHandled());

    // The next success offers it.
    rig.loginItem.currentStatus = LoginItemStatus::NotRegistered;
    rig.service->markSyncSuccess(u"test"_s);
    ASSERT_TRUE(m.content.state().showingLaunchAtLoginPrompt);

    // A refused registration leaves it unanswered and says why.
    rig.loginItem.failure = u"desktop refused"_s;
    m.dialogs.enableLaunchAtLoginFromPrompt();
    EXPECT_FALSE(m.content.state().showingLaunchAtLoginPrompt);
    EXPECT_TRUE(m.content.state().showingLaunchAtLoginPromptError);
    EXPECT_TRUE(m.content.state().launchAtLoginPromptErrorMessage.contains(u"desktop refused"_s));
    EXPECT_FALSE(m.content.launchAtLoginPromptHandled());
    EXPECT_FALSE(m.content.launchAtLoginEnabled());
    m.dialogs.dismissLaunchAtLoginError();

    // Asked again after the next sync; a success answers it for good.
    rig.clock.advance(1s);
    rig.service->markSyncSuccess(u"test"_s);
    ASSERT_TRUE(m.content.state().showingLaunchAtLoginPrompt);
    rig.loginItem.failure.reset();
    m.dialogs.enableLaunchAtLoginFromPrompt();
    EXPECT_EQ(rig.loginItem.currentStatus, LoginItemStatus::Enabled);
    EXPECT_TRUE(m.content.launchAtLoginEnabled());
    EXPECT_TRUE(m.content.launchAtLoginPromptHandled());
    rig.loginItem.currentStatus = LoginItemStatus::NotRegistered;
    rig.clock.advance(1s);
    rig.service->markSyncSuccess(u"test"_s);
    EXPECT_FALSE(m.content.state().showingLaunchAtLoginPrompt);

    // "暂时不要" answers it too.
    m.content.setLaunchAtLoginPromptHandled(false);
    rig.clock.advance(1s);
    rig.service->markSyncSuccess(u"test"_s);
    ASSERT_TRUE(m.content.state().showingLaunchAtLoginPrompt);
    m.dialogs.declineLaunchAtLoginPrompt();
    EXPECT_FALSE(m.content.state().showingLaunchAtLoginPrompt);
    EXPECT_TRUE(m.content.launchAtLoginPromptHandled());
    EXPECT_EQ(rig.loginItem.currentStatus, LoginItemStatus::NotRegistered);
}
