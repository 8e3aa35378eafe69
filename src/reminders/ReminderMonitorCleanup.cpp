#include "reminders/ReminderMonitor.h"

#include "reminders/Strings.h"

#include <algorithm>

namespace quorvin {

QCoro::Task<int> ReminderMonitor::deleteCompletedCleanupCandidates(QStringList localIDs, bool refreshAfterWrite)
{
    QStringList ids;
    for (const auto &id : std::as_const(localIDs)) {
        if (const QString trimmed = id.trimmed(); !trimmed.isEmpty()) {
            ids.append(trimmed);
        }
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());

    int removed = 0;
    int skipped = 0;
    committing([&] {
        for (const auto &id : std::as_const(ids)) {
            // Reopened or gone since the dry run: the user may have had second thoughts.
            const auto item = m_eventStore.reminder(id);
            if (!item || !item->completed) {
                ++skipped;
                continue;
            }
            m_eventStore.removeReminder(id, false);
            ++removed;
        }
        if (removed > 0) {
            m_eventStore.commit();
        }
    });
    if (refreshAfterWrite) {
        co_await refresh(RemindersText::reasonCompletedCleanup);
    }
    if (skipped >= 1) {
        diagnostic(RemindersText::diagCleanupSkippedPrefix + QString::number(skipped));
    }
    co_return removed;
}

} // namespace quorvin
