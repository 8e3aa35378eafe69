#include "ui/DashboardViewModel.h"

#include "activity/ActivityLog.h"
#include "activity/QuorvinActivityLogStore.h"
#include "app/AppVisibility.h"
#include "app/QuorvinAppContext.h"
#include "app/QuorvinQuitController.h"
#include "matching/CloudSyncState.h"
#include "platform/concurrency/Clock.h"
#include "sync/CompletedReminderCleanup.h"
#include "sync/QuorvinMacService.h"
#include "ui/ContentViewModel.h"
#include "ui/Strings.h"

namespace quorvin {

namespace {

QString orDash(const QString &value)
{
    return value.isEmpty() ? UiText::emptyValue : value;
}

} // namespace

DashboardViewModel::DashboardViewModel(const QuorvinAppContext &context, ContentViewModel &content, QObject *parent)
    : QObject(parent)
    , m_service(context.service)
    , m_content(content)
    , m_visibility(context.visibility)
    , m_terminate(context.terminate)
    , m_confirmQuit([] { return QuorvinQuitController::confirmQuit(); })
{
    connect(&m_service, &QuorvinMacService::changed, this, &DashboardViewModel::changed);
    connect(&m_content, &ContentViewModel::changed, this, &DashboardViewModel::changed);
    connect(
        &m_service.activityLog(), &ActivityLog::activityLogsChanged, this, &DashboardViewModel::activityLogsChanged);
}

QString DashboardViewModel::reminderCountText() const
{
    return QString::number(m_service.reminderCount()) + UiText::metricRemindersSuffix;
}

QString DashboardViewModel::localCursorText() const
{
    return orDash(m_service.cursor());
}

QString DashboardViewModel::cloudCursorText() const
{
    return m_service.syncState().cloudCursorSummary();
}

QString DashboardViewModel::cloudBaseURLText() const
{
    return orDash(m_service.normalizedCloudBaseURL());
}

QString DashboardViewModel::syncResultText() const
{
    return orDash(m_service.lastSyncAttemptStatus());
}

QString DashboardViewModel::cleanupTileTitle() const
{
    return m_service.completedCleanup().isCompletedCleanupRunning() ? UiText::cleanupRunningTile : UiText::cleanupTile;
}

bool DashboardViewModel::isCleanupTileEnabled() const
{
    return !m_service.completedCleanup().isCompletedCleanupRunning();
}

void DashboardViewModel::manualRefresh()
{
    m_service.manualRefresh();
}

void DashboardViewModel::requestCloudRebuild()
{
    m_content.edit([](ContentViewState &state) { state.showingRebuildCloudConfirmation = true; });
}

void DashboardViewModel::requestCompletedCleanup()
{
    if (!isCleanupTileEnabled()) {
        return;
    }
    m_content.edit([](ContentViewState &state) { state.showingCleanupPrecheckConfirmation = true; });
}

void DashboardViewModel::quit()
{
    if (m_confirmQuit() && m_terminate) {
        m_terminate();
    }
}

bool DashboardViewModel::showDockIcon() const
{
    return m_content.showDockIcon();
}

void DashboardViewModel::setShowDockIcon(bool value)
{
    m_content.setShowDockIcon(value);
    // The window the user is in stays in front when the taskbar entry goes.
    m_visibility.apply(value, true);
}

bool DashboardViewModel::showMenuBarIcon() const
{
    return m_content.showMenuBarIcon();
}

void DashboardViewModel::setShowMenuBarIcon(bool value)
{
    m_content.setShowMenuBarIcon(value);
}

bool DashboardViewModel::mainWindowShortcutEnabled() const
{
    return m_content.mainWindowShortcutEnabled();
}

void DashboardViewModel::setMainWindowShortcutEnabled(bool value)
{
    m_content.setMainWindowShortcutEnabled(value);
}

QList<ActivityLogLine> DashboardViewModel::activityLogs() const
{
    return m_service.activityLog().activityLogs().mid(0, QuorvinActivityLogStore::maxEntries);
}

void DashboardViewModel::clearActivityLogs()
{
    m_service.activityLog().clearActivityLogs();
}

Clock &DashboardViewModel::clock() const
{
    return m_service.clock();
}

QDateTime DashboardViewModel::now() const
{
    return m_service.clock().now();
}

} // namespace quorvin
