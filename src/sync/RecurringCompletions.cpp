#include "sync/QuorvinMacService.h"

#include "matching/CloudReminderMatchSession.h"
#include "matching/LocalReminderMatchResolver.h"
#include "matching/MatchText.h"
#include "matching/RecurringReminderPairCandidateIndex.h"
#include "model/DateFormatters.h"
#include "platform/concurrency/Clock.h"
#include "reminders/ReminderMonitor.h"
#include "sync/RemoteRecurringCompletionRules.h"
#include "sync/Strings.h"

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

QHash<QString, RemoteRecurringCompletionPair> QuorvinMacService::remoteRecurringCompletionPairs(
    const QList<ReminderPayload> &items) const
{
    QList<ReminderPayload> completed;
    QList<ReminderPayload> active;
    for (const auto &item : items) {
        if (RemoteRecurringCompletionRules::isRemoteRecurringCompletedOccurrenceCandidate(item)) {
            completed.append(item);
        }
        if (RemoteRecurringCompletionRules::isRemoteRecurringActiveCandidate(item)) {
            active.append(item);
        }
    }
    QHash<QString, RemoteRecurringCompletionPair> result;
    if (active.isEmpty() || completed.isEmpty()) {
        return result;
    }
    const RecurringReminderPairCandidateIndex index(active, completed);
    for (const auto &activeItem : std::as_const(active)) {
        const auto activeDue = DateFormatters::parseISO8601(activeItem.due_date.value_or(QString()));
        for (const auto &candidate : index.completedCandidates(activeItem)) {
            if (!RemoteRecurringCompletionRules::isRemoteRecurringCompletedOccurrenceCandidate(candidate)
                || candidate.has_due_time != activeItem.has_due_time || !candidate.due_date
                || candidate.due_date == activeItem.due_date) {
                continue;
            }
            const auto candidateDue = DateFormatters::parseISO8601(*candidate.due_date);
            if (!activeDue || !candidateDue || !(*candidateDue < *activeDue)) {
                continue;
            }
            if (!RemoteRecurringCompletionRules::sameRemoteRecurringCompletionIdentity(activeItem, candidate)) {
                continue;
            }
            result.insert(activeItem.local_id, RemoteRecurringCompletionPair {activeItem, candidate});
            break;
        }
    }
    return result;
}

QCoro::Task<std::optional<QString>> QuorvinMacService::applyRemoteRecurringCompletionCommand(
    ReminderPayload item, std::optional<QString> localListID, std::shared_ptr<CloudReminderMatchSession> matchSession)
{
    if (!RemoteRecurringCompletionRules::isRemoteRecurringCompletionCommand(item) || !item.completion_date) {
        co_return std::nullopt;
    }
    const auto completedAt = DateFormatters::parseISO8601(*item.completion_date);
    if (!completedAt) {
        co_return std::nullopt;
    }
    const auto mappedLocalID = m_syncState.reminderMappingIndex().localID(item.local_id);
    const auto target
        = LocalReminderMatchResolver(*m_reminderMonitor)
              .resolveLocalRecurringCompletionCommandTarget(item, localListID, mappedLocalID, *matchSession);
    if (!target) {
        m_log.appendLog(u"Cloud recurring completion command had no active local target server_id="_s + item.local_id);
        co_return std::nullopt;
    }
    const auto next = co_await m_reminderMonitor->setReminderCompletion(*target, true, *completedAt, false);
    m_log.appendLog(u"Cloud recurring completion command applied server_id="_s + item.local_id
        + u" completed_local_id="_s + *target + u" next_local_id="_s + next.value_or(QStringLiteral("<none>")));
    co_return next ? next : target;
}

QCoro::Task<QSet<QString>> QuorvinMacService::alignLocalRecurringDueDates(QList<ReminderPayload> items, quint64 epoch)
{
    QSet<QString> aligned;
    for (qsizetype position = 0; position < items.size(); ++position) {
        const auto &item = items.at(position);
        if (!RemoteRecurringCompletionRules::isRemoteRecurringActiveCandidate(item)) {
            continue;
        }
        if (position > 0 && position % 12 == 0) {
            co_await m_clock.yield();
            ensureSyncStateEpoch(epoch);
        }
        QStringList candidates;
        auto appendLocalID = [&candidates](const std::optional<QString> &id) {
            const auto value = MatchText::trimmed(id);
            if (!value.isEmpty() && !candidates.contains(value)) {
                candidates.append(value);
            }
        };
        appendLocalID(m_syncState.reminderMappingIndex().localID(item.local_id));
        appendLocalID(item.source_item_id);
        appendLocalID(item.local_id);
        for (const auto &candidate : std::as_const(candidates)) {
            const bool rewrote = co_await m_reminderMonitor->alignActiveRecurringReminderDate(candidate, item);
            ensureSyncStateEpoch(epoch);
            if (rewrote) {
                aligned.insert(candidate);
                break;
            }
        }
    }
    co_return aligned;
}

} // namespace quorvin
