#include "sync/CloudSyncPass.h"

#include "activity/DiagnosticLog.h"
#include "cloud/CloudHTTPError.h"
#include "matching/CloudReminderMatchSession.h"
#include "matching/CloudSyncState.h"
#include "matching/LocalReminderMatchResolver.h"
#include "matching/MatchText.h"
#include "matching/RecurringCompletionPredicates.h"
#include "matching/RecurringReminderPairCandidateIndex.h"
#include "model/DateFormatters.h"
#include "platform/concurrency/Clock.h"
#include "platform/http/TransportError.h"
#include "reminders/ReminderMonitor.h"
#include "sync/CloudApplyPhase.h"
#include "sync/CloudDeletes.h"
#include "sync/RemoteRecurringCompletionRules.h"
#include "sync/Strings.h"

namespace quorvin {

QHash<QString, RemoteRecurringCompletionPair> CloudApplyPhase::remoteRecurringCompletionPairs(
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
            if (!RemoteRecurringCompletionRules::sameRecurringCompletionIdentityByListIDAndExactPriority(
                    activeItem, candidate)) {
                continue;
            }
            result.insert(activeItem.local_id, RemoteRecurringCompletionPair {activeItem, candidate});
            break;
        }
    }
    return result;
}

QCoro::Task<std::optional<QString>> CloudApplyPhase::applyRemoteRecurringCompletionCommand(
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
        m_log.appendLog(SyncText::logCompletionCommandNoTargetPrefix + item.local_id);
        co_return std::nullopt;
    }
    const auto next = co_await m_reminderMonitor->setReminderCompletion(*target, true, *completedAt, false);
    m_log.appendLog(SyncText::logCompletionCommandAppliedPrefix + item.local_id + SyncText::fieldCompletedLocalID
        + *target + SyncText::fieldNextLocalID + next.value_or(SyncText::valueNone));
    co_return next ? next : target;
}

void CloudApplyPhase::noteRedundantCompletedCopies(
    const QString &serverID, const QString &localID, const QList<ReminderPayload> &envelopeItems)
{
    // The local reminder is a detached completed copy of the remote item's occurrence (the dedupe
    // only keeps such a one). A server id of it qualifies as another copy only when nothing marks it
    // as a live series: no source identity (completed copies are uploaded without one) and no open
    // or recurring item of that id in this envelope.
    QStringList copies;
    for (const auto &candidate : m_syncState.reminderMappingIndex().serverIDs(localID)) {
        if (candidate == serverID) {
            copies.append(candidate);
            continue;
        }
        if (m_syncState.cachedRemoteSourceIdentityByServerID().contains(candidate)) {
            continue;
        }
        const bool live = std::any_of(envelopeItems.cbegin(), envelopeItems.cend(), [&](const ReminderPayload &item) {
            return item.local_id == candidate
                && (!item.is_completed || RecurringCompletionPredicates::remoteReminderHasRecurrence(item));
        });
        if (!live) {
            copies.append(candidate);
        }
    }
    if (copies.size() < 2) {
        return;
    }
    // The smallest server id survives: it is the one the push already writes this reminder's edits
    // to, and the rule does not depend on which device applies it, so two devices resolving the
    // same pair never delete both copies.
    std::sort(copies.begin(), copies.end());
    for (qsizetype i = 1; i < copies.size(); ++i) {
        m_syncState.noteRedundantCompletedCopy(copies.at(i));
        m_log.appendLog(SyncText::logCompletedCopyRedundantPrefix + copies.at(i) + SyncText::fieldKept + copies.first()
            + SyncText::fieldLocalID + localID);
    }
}

QCoro::Task<void> CloudSyncPass::deleteRedundantCompletedCopies()
{
    auto pending = m_syncState.redundantCompletedCopyServerIDs().values();
    std::sort(pending.begin(), pending.end());
    for (const auto &serverID : pending) {
        const auto localID = m_syncState.reminderMappingIndex().localID(serverID);
        // Never delete the only server record of a local reminder.
        if (!localID || m_syncState.reminderMappingIndex().serverIDs(*localID).size() < 2) {
            m_syncState.dropRedundantCompletedCopy(serverID);
            continue;
        }
        // Best effort: a copy the server refuses to delete stays queued for the next pass, and the
        // pass that wanted it gone is still a good one. A rejected session and a cancelled request
        // end the pass as anywhere else.
        std::optional<QString> refusal;
        try {
            co_await deleteCloudReminderIfPresent(m_client, serverID);
        } catch (const CloudHTTPError &error) {
            if (error.status() == 401) {
                throw;
            }
            refusal = error.description();
        } catch (const TransportError &error) {
            if (error.kind() == TransportError::Kind::Cancelled) {
                throw;
            }
            refusal = error.description();
        }
        ensureCurrent();
        if (refusal) {
            m_log.appendLog(SyncText::logCompletedCopyDeleteRefusedPrefix + serverID + SyncText::fieldLocalID + *localID
                + SyncText::reasonSeparator + *refusal);
            continue;
        }
        m_syncState.dropRedundantCompletedCopy(serverID);
        m_syncState.forgetServerReminder(serverID);
        m_syncState.saveRemoteIdentityCache();
    }
}

QCoro::Task<QSet<QString>> CloudSyncPass::alignLocalRecurringDueDates(
    QList<ReminderPayload> items, QSet<QString> pendingLocalIDs)
{
    QSet<QString> aligned;
    for (qsizetype position = 0; position < items.size(); ++position) {
        const auto &item = items.at(position);
        if (!RemoteRecurringCompletionRules::isRemoteRecurringActiveCandidate(item)) {
            continue;
        }
        if (position > 0 && position % itemsBetweenYields == 0) {
            co_await fenced(m_clock.yield());
        }
        QStringList candidates;
        auto appendLocalID = [&candidates, &pendingLocalIDs](const std::optional<QString> &id) {
            const auto value = MatchText::trimmed(id);
            if (!value.isEmpty() && !candidates.contains(value) && !pendingLocalIDs.contains(value)) {
                candidates.append(value);
            }
        };
        appendLocalID(m_syncState.reminderMappingIndex().localID(item.local_id));
        appendLocalID(item.source_item_id);
        appendLocalID(item.local_id);
        for (const auto &candidate : std::as_const(candidates)) {
            const bool rewrote = co_await fenced(m_reminderMonitor->alignActiveRecurringReminderDate(candidate, item));
            if (rewrote) {
                aligned.insert(candidate);
                break;
            }
        }
    }
    co_return aligned;
}

} // namespace quorvin
