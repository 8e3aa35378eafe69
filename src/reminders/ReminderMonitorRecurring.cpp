#include "reminders/ReminderMonitor.h"

#include "matching/CloudReminderMatchSession.h"
#include "matching/MatchText.h"
#include "matching/RecurringCompletionPredicates.h"
#include "matching/SyncStateStore.h"
#include "model/DateFormatters.h"
#include "reminders/Strings.h"

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

std::optional<QDateTime> parsedTrimmed(const std::optional<QString> &text)
{
    const QString trimmed = MatchText::trimmed(text);
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    return DateFormatters::parseISO8601(trimmed);
}

} // namespace

bool ReminderMonitor::sameRemoteRecurringCompletionIdentity(const ReminderPayload &a, const ReminderPayload &b)
{
    return RecurringCompletionPredicates::sameRemoteRecurringCompletionIdentity(a, b);
}

bool ReminderMonitor::isRemoteRecurringCompletionPair(
    const ReminderPayload &activeItem, const ReminderPayload &completedOccurrence)
{
    return RecurringCompletionPredicates::isRemoteRecurringCompletionPair(activeItem, completedOccurrence);
}

bool ReminderMonitor::localReminderCanApplyRemoteRecurringCompletion(
    const ReminderPayload &local, const ReminderPayload &activeItem, const ReminderPayload &completedOccurrence)
{
    return RecurringCompletionPredicates::localReminderCanApplyRemoteRecurringCompletion(
        local, activeItem, completedOccurrence);
}

bool ReminderMonitor::localCompletedOccurrence(const ReminderPayload &local, const ReminderPayload &remote)
{
    return RecurringCompletionPredicates::localCompletedOccurrence(local, remote);
}

bool ReminderMonitor::stableReminderPayloadIgnoringCompletion(
    const ReminderPayload &local, const ReminderPayload &cloudItem, const std::optional<QString> &localListID)
{
    return RecurringCompletionPredicates::stableReminderPayloadIgnoringCompletion(local, cloudItem, localListID);
}

bool ReminderMonitor::remoteReminderHasRecurrence(const ReminderPayload &payload)
{
    return RecurringCompletionPredicates::remoteReminderHasRecurrence(payload);
}

QCoro::Task<bool> ReminderMonitor::alignActiveRecurringReminderDate(QString localID, ReminderPayload item)
{
    if (item.is_completed || MatchText::normalized(item.repeat_type).isEmpty()) {
        co_return false;
    }
    const auto cloudDue = parsedTrimmed(item.due_date);
    if (!cloudDue) {
        co_return false;
    }
    const auto local = findReminder(localID);
    if (!local || local->completed || local->recurrenceRules.empty()) {
        co_return false;
    }
    const auto localPayload = mapReminder(*local, false);
    if (!localPayload) {
        co_return false;
    }
    const auto localDue = parsedTrimmed(localPayload->due_date);
    if (!localDue || !(*cloudDue > *localDue) || localPayload->has_due_time != item.has_due_time
        || !sameRemoteRecurringCompletionIdentity(*localPayload, item)
        || MatchText::normalized(localPayload->repeat_type) != MatchText::normalized(item.repeat_type)
        || MatchText::normalized(localPayload->repeat_summary) != MatchText::normalized(item.repeat_summary)) {
        co_return false;
    }

    auto upsert = ReminderUpsertMutationPayload::fromReminder(item);
    upsert.local_id = localID;
    // The reminder stays in its own list.
    upsert.list_id = local->listId.isEmpty() ? std::nullopt : std::optional<QString>(local->listId);
    upsert.is_completed = false;
    co_await updateReminderFields(upsert, false, false);
    co_return true;
}

QCoro::Task<std::optional<QString>> ReminderMonitor::applyRemoteRecurringCompletionIfNeeded(ReminderPayload activeItem,
    std::optional<ReminderPayload> completedOccurrence, QString localID, CloudReminderMatchSession *matchSession)
{
    if (!completedOccurrence || !isRemoteRecurringCompletionPair(activeItem, *completedOccurrence)) {
        co_return std::nullopt;
    }
    const auto local = findReminder(localID);
    if (!local || local->completed || local->recurrenceRules.empty()) {
        co_return std::nullopt;
    }
    const auto localPayload = mapReminder(*local, false);
    if (!localPayload
        || !localReminderCanApplyRemoteRecurringCompletion(*localPayload, activeItem, *completedOccurrence)) {
        co_return std::nullopt;
    }
    const auto completionDate = completedOccurrence->completion_date
        ? DateFormatters::parseISO8601(*completedOccurrence->completion_date)
        : std::nullopt;
    if (!completionDate) {
        co_return std::nullopt;
    }
    co_await removeLocalCompletedOccurrences(*completedOccurrence, localID, false, matchSession);
    co_return co_await setReminderCompletion(localID, true, *completionDate, false);
}

QCoro::Task<CompletedOccurrenceDedupeResult> ReminderMonitor::removeLocalCompletedOccurrences(ReminderPayload matching,
    std::optional<QString> excludingLocalID, bool keepOne, CloudReminderMatchSession *matchSession)
{
    CompletedOccurrenceDedupeResult result;
    if (!matchSession) {
        co_return result;
    }
    const QList<ReminderPayloadRef> candidates = matchSession->completedOccurrenceCandidates(matching);
    matchSession->addFullComparisons(candidates.size());
    for (const ReminderPayloadRef &candidate : candidates) {
        if (!candidate || (excludingLocalID && candidate->local_id == *excludingLocalID)
            || !findReminder(candidate->local_id) || !localCompletedOccurrence(*candidate, matching)) {
            continue;
        }
        if (keepOne && !result.keptLocalID) {
            result.keptLocalID = candidate->local_id;
            continue;
        }
        result.removedLocalIDs.append(candidate->local_id);
    }
    if (result.removedLocalIDs.isEmpty()) {
        co_return result;
    }
    // The removals land together or not at all; the session only forgets what is really gone.
    committing([&] {
        for (const QString &id : std::as_const(result.removedLocalIDs)) {
            m_eventStore.removeReminder(id, false);
        }
        commitUnlessGrouped();
    });
    for (const QString &id : std::as_const(result.removedLocalIDs)) {
        matchSession->remove(id);
    }
    co_return result;
}

QCoro::Task<QList<QString>> ReminderMonitor::removeLocalUncompletedDuplicates(ReminderPayload matchingCompleted,
    std::optional<QString> excludingLocalID, QSet<QString> protectedLocalIDs, CloudReminderMatchSession *matchSession)
{
    if (!matchSession || !matchingCompleted.is_completed || remoteReminderHasRecurrence(matchingCompleted)) {
        co_return QList<QString> {};
    }
    const QList<ReminderPayloadRef> candidates = matchSession->completionAgnosticCandidates(matchingCompleted);
    matchSession->addFullComparisons(candidates.size());
    QList<QString> matches;
    for (const ReminderPayloadRef &candidate : candidates) {
        if (!candidate || (excludingLocalID && candidate->local_id == *excludingLocalID)
            || protectedLocalIDs.contains(candidate->local_id) || candidate->is_completed) {
            continue;
        }
        const auto local = findReminder(candidate->local_id);
        if (!local || !local->recurrenceRules.empty()
            || !stableReminderPayloadIgnoringCompletion(*candidate, matchingCompleted, std::nullopt)) {
            continue;
        }
        matches.append(candidate->local_id);
    }
    if (matches.size() != 1) {
        co_return QList<QString> {};
    }
    committing([&] { m_eventStore.removeReminder(matches.front(), commitsEachWrite()); });
    matchSession->remove(matches.front());
    co_return matches;
}

bool ReminderMonitor::splitOutsideRecurringCompletions(const std::vector<Reminder> &raw)
{
    // The journal's reminders, by ascending local id; read only when a candidate needs them.
    std::optional<std::vector<ReminderPayloadRef>> journalled;
    return splitRecurringCompletions(raw, [&](const QString &localID) {
        if (!journalled) {
            journalled = m_stateStore.snapshotPayloads();
        }
        const auto found = std::lower_bound(journalled->begin(), journalled->end(), localID,
            [](const ReminderPayloadRef &payload, const QString &id) { return payload->local_id < id; });
        return found != journalled->end() && (*found)->local_id == localID && !(*found)->is_completed;
    });
}

bool ReminderMonitor::splitRecurringCompletionsMadeWhileClosed(const QSet<QString> &localIDs)
{
    std::vector<Reminder> raw;
    for (const auto &localID : localIDs) {
        if (auto found = findReminder(localID)) {
            raw.push_back(std::move(*found));
        }
    }
    std::sort(raw.begin(), raw.end(), [](const Reminder &a, const Reminder &b) { return a.id < b.id; });
    return splitRecurringCompletions(raw, [](const QString &) { return true; });
}

bool ReminderMonitor::splitRecurringCompletions(
    const std::vector<Reminder> &raw, const std::function<bool(const QString &)> &wasOpen)
{
    std::vector<std::pair<Reminder, Reminder>> splits;
    for (const Reminder &item : raw) {
        if (!item.completed || item.recurrenceRules.empty() || !wasOpen(item.id)) {
            continue;
        }
        const QDateTime completionDate = item.completionDate.value_or(m_clock.now());
        auto next = makeDetachedNextRecurringReminderIfNeeded(item, completionDate);
        if (!next) {
            continue;
        }
        // Such an app carries the whole reminder over to the next occurrence. The pair is
        // recognised by its list, title, notes, URL and priority, and the series' server item
        // takes on the new occurrence's fields, so its URL, start and alarms come along too.
        next->url = item.url;
        next->timeZone = item.timeZone;
        if (item.startDateComponents) {
            next->startDateComponents = next->dueDateComponents;
        }
        next->alarms = item.alarms;
        const auto due = calendar().date(*item.dueDateComponents);
        const auto nextDue = calendar().date(*next->dueDateComponents);
        if (next->alarms && due && nextDue) {
            for (ReminderAlarm &alarm : *next->alarms) {
                if (alarm.absoluteDate) {
                    alarm.absoluteDate = alarm.absoluteDate->addMSecs(due->msecsTo(*nextDue));
                }
            }
        }
        Reminder completed = item;
        completed.recurrenceRules.clear();
        completed.completionDate = completionDate;
        splits.emplace_back(std::move(completed), std::move(*next));
    }
    if (splits.empty()) {
        return false;
    }
    committing([&] {
        for (auto &[completed, next] : splits) {
            m_eventStore.saveReminder(completed, false);
            next = m_eventStore.saveReminder(next, false);
        }
        m_eventStore.commit();
    });
    for (const auto &[completed, next] : splits) {
        emitRepeatDiagnostic(RemindersText::repeatPrefix + RemindersText::repeatLocalCompletionSplit + completed.id
            + RemindersText::repeatNextLocalID + next.id);
    }
    return true;
}

} // namespace quorvin
