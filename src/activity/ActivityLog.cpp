#include "sync/QuorvinMacService.h"

#include "activity/QuorvinActivityLogStore.h"
#include "activity/Strings.h"
#include "model/DateFormatters.h"
#include "platform/concurrency/Clock.h"
#include "platform/defaults/UserDefaults.h"

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

namespace {
constexpr int maxLogLines = 80;
} // namespace

void QuorvinMacService::appendLog(const QString &message)
{
    m_logs.prepend(
        LogLine {QUuid::createUuid(), u'[' + DateFormatters::fractionalISO8601(m_clock.now()) + u"] "_s + message});
    while (m_logs.size() > maxLogLines) {
        m_logs.removeLast();
    }
}

void QuorvinMacService::appendActivityLog(const QString &category, const QString &summary, const QStringList &details)
{
    const auto trimmedSummary = summary.trimmed();
    if (trimmedSummary.isEmpty()) {
        return;
    }
    QStringList kept;
    for (const auto &detail : details) {
        const auto text = detail.trimmed();
        if (!text.isEmpty() && kept.size() < 8) {
            kept.append(text);
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

void QuorvinMacService::clearActivityLogs()
{
    m_activityLogs.clear();
    m_defaults.remove(ActivityText::storageKey);
    Q_EMIT activityLogsChanged();
    Q_EMIT changed();
    appendLog(ActivityText::logClearedActivity);
}

QString QuorvinMacService::activityDisplayTitle(const QString &title)
{
    const auto text = title.trimmed();
    return text.isEmpty() ? ActivityText::untitled : text;
}

} // namespace quorvin
