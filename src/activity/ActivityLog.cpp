#include "activity/ActivityLog.h"

#include "activity/ActivityEntryPoints.h"
#include "activity/LogTextBound.h"
#include "activity/QuorvinActivityLogStore.h"
#include "activity/Strings.h"
#include "platform/concurrency/Clock.h"
#include "platform/core/DiagnosticSink.h"
#include "platform/defaults/UserDefaults.h"

namespace quorvin {

namespace {
constexpr int maxDetails = 8;
} // namespace

ActivityLog::ActivityLog(UserDefaults &defaults, Clock &clock, DiagnosticSink &log, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_clock(clock)
    , m_log(log)
    , m_activityLogs(QuorvinActivityLogStore::load(defaults))
{
}

void ActivityLog::appendActivityLog(const QString &category, const QString &summary, const QStringList &details)
{
    const auto trimmedSummary = boundedLogText(summary.trimmed());
    if (trimmedSummary.isEmpty()) {
        return;
    }
    QStringList kept;
    for (const auto &detail : details) {
        const auto text = detail.trimmed();
        if (!text.isEmpty() && kept.size() < maxDetails) {
            kept.append(boundedLogText(text));
        }
    }
    // A failure that repeats pass after pass shows once.
    if (!m_activityLogs.isEmpty() && category == ActivityText::categorySync
        && trimmedSummary == ActivityText::summarySyncFailed) {
        const auto &newest = m_activityLogs.constFirst();
        if (newest.category == category && newest.summary == trimmedSummary && newest.details == kept) {
            return;
        }
    }
    m_activityLogs.prepend(ActivityLogLine {QUuid::createUuid(), m_clock.now(), category, trimmedSummary, kept});
    while (m_activityLogs.size() > QuorvinActivityLogStore::maxEntries) {
        m_activityLogs.removeLast();
    }
    QuorvinActivityLogStore::save(m_defaults, m_activityLogs);
    Q_EMIT activityLogsChanged();
    Q_EMIT changed();
}

void ActivityLog::clearActivityLogs()
{
    m_activityLogs.clear();
    m_defaults.remove(ActivityText::storageKey);
    Q_EMIT activityLogsChanged();
    Q_EMIT changed();
    m_log.appendLog(ActivityText::logClearedActivity);
}

void ActivityLog::appendCloudPullActivityLogIfNeeded(
    bool fullSnapshot, const QList<ActivityChangeLine> &lines, const QList<QStringList> &lineKeys)
{
    write(ActivityEntryPoints::cloudPullActivity(fullSnapshot, lines, lineKeys, m_echoKeys, m_clock.now()));
}

void ActivityLog::appendLocalRefreshActivityLogIfNeeded(const ReminderRefreshEvent &event)
{
    write(ActivityEntryPoints::localRefreshActivity(event, m_echoKeys, m_clock.now()));
}

void ActivityLog::rememberCloudCompletionTitles(const QStringList &titles)
{
    m_echoKeys.rememberCloudCompletionTitles(titles, m_clock.now());
}

void ActivityLog::write(const ActivityEntryOutcome &outcome)
{
    if (outcome.diagnosticLine) {
        m_log.appendLog(*outcome.diagnosticLine);
    }
    if (outcome.hasEntry()) {
        appendActivityLog(outcome.category, outcome.summary, outcome.details);
    }
}

} // namespace quorvin
