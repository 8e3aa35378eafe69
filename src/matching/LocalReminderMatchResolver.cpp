#include "matching/LocalReminderMatchResolver.h"

#include "matching/CloudReminderMatchSession.h"
#include "matching/MatchText.h"
#include "matching/RecurringCompletionPredicates.h"
#include "matching/ReminderLookup.h"
#include "model/DateFormatters.h"

namespace quorvin {

using MatchText::normalizedEqual;
using MatchText::normalizedIsEmpty;
using MatchText::raw;
using MatchText::trimmed;

namespace {

bool isActiveRecurringCloudItem(const ReminderPayload &item)
{
    return !item.is_completed && RecurringCompletionPredicates::remoteReminderHasRecurrence(item);
}

QStringList othersThan(const QList<ReminderPayloadRef> &matches, const QString &winner)
{
    QStringList result;
    for (const auto &m : matches) {
        if (m->local_id != winner) {
            result.append(m->local_id);
        }
    }
    return result;
}

// The side of a date-only pair that carries the implicit start: a start time at China midnight on
// its own due day.
bool hasImplicitDayStart(const ReminderPayload &side)
{
    if (!side.has_start_time.value_or(false) || !side.due_date) {
        return false;
    }
    const auto start = DateFormatters::parseISO8601(*side.start_date);
    const auto due = DateFormatters::parseISO8601(*side.due_date);
    return start && due && MatchText::isChinaMidnight(*start) && MatchText::sameChinaDay(*start, *due);
}

} // namespace

LocalReminderMatchResolver::LocalReminderMatchResolver(const ReminderLookup &reminders)
    : m_reminders(reminders)
{
}

bool LocalReminderMatchResolver::startDateFieldsMatch(const ReminderPayload &local, const ReminderPayload &item)
{
    // A cloud item sent without the optional start keys is the same as a local reminder that has
    // no start, exactly as the content hash sees it.
    if (raw(local.start_date) == raw(item.start_date)
        && local.has_start_time.value_or(false) == item.has_start_time.value_or(false)) {
        return true;
    }
    if (local.has_due_time || item.has_due_time || raw(local.due_date) != raw(item.due_date)) {
        return false;
    }
    const bool localHasStart = !trimmed(local.start_date).isEmpty();
    const bool itemHasStart = !trimmed(item.start_date).isEmpty();
    if (localHasStart == itemHasStart) {
        return false;
    }
    return hasImplicitDayStart(localHasStart ? local : item);
}

bool LocalReminderMatchResolver::stableReminderPayload(
    const ReminderPayload &local, const ReminderPayload &item, const std::optional<QString> &localListID)
{
    if (localListID) {
        if (!local.list_id || *local.list_id != *localListID) {
            return false;
        }
    } else {
        if (!normalizedIsEmpty(item.list_name) && !normalizedEqual(local.list_name, item.list_name)) {
            return false;
        }
    }
    if (!normalizedEqual(local.title, item.title) || normalizedIsEmpty(local.title)) {
        return false;
    }
    if (!normalizedEqual(local.notes, item.notes)) {
        return false;
    }
    if (!isActiveRecurringCloudItem(item) && !startDateFieldsMatch(local, item)) {
        return false;
    }
    if (raw(local.due_date) != raw(item.due_date) || local.has_due_time != item.has_due_time) {
        return false;
    }
    if (!normalizedEqual(local.url, item.url) || !normalizedEqual(local.repeat_type, item.repeat_type)
        || !normalizedEqual(local.repeat_summary, item.repeat_summary)) {
        return false;
    }
    if (!MatchText::priorityEqual(local.priority, item.priority) || local.is_completed != item.is_completed) {
        return false;
    }
    return raw(local.completion_date) == raw(item.completion_date);
}

bool LocalReminderMatchResolver::localPayloadCanApplyRemoteState(
    const ReminderPayload &local, const ReminderPayload &item) const
{
    if (local.is_completed == item.is_completed) {
        return true;
    }
    if (RecurringCompletionPredicates::remoteReminderHasRecurrence(item)) {
        return false;
    }
    const auto state = m_reminders.reminder(local.local_id);
    return state && !state->hasRecurrenceRules;
}

std::optional<CloudReminderMatch> LocalReminderMatchResolver::resolveLocalReminderMatch(
    const ReminderPayload &item, const std::optional<QString> &localListID, CloudReminderMatchSession &session) const
{
    const auto candidates = session.stableCandidates(item);
    session.addFullComparisons(candidates.size());
    QList<ReminderPayloadRef> stable;
    for (const auto &candidate : candidates) {
        if (stableReminderPayload(*candidate, item, localListID)) {
            stable.append(candidate);
        }
    }

    const QString sourceItemID = trimmed(item.source_item_id);
    if (!sourceItemID.isEmpty()) {
        if (const auto exact = session.exactCandidate(sourceItemID);
            exact && localPayloadCanApplyRemoteState(*exact, item)) {
            return CloudReminderMatch {exact->local_id, othersThan(stable, exact->local_id)};
        }
    }

    QSet<QString> externalIDs;
    for (const auto *id : {&item.source_external_id, &item.external_id}) {
        const QString value = trimmed(*id);
        if (!value.isEmpty()) {
            externalIDs.insert(value);
        }
    }
    if (!externalIDs.isEmpty()) {
        const auto external = session.externalCandidates(externalIDs);
        session.addFullComparisons(external.size());
        ReminderPayloadRef kept;
        int keptCount = 0;
        for (const auto &candidate : external) {
            if (localPayloadCanApplyRemoteState(*candidate, item)) {
                kept = candidate;
                ++keptCount;
            }
        }
        if (keptCount == 1) {
            return CloudReminderMatch {kept->local_id, othersThan(stable, kept->local_id)};
        }
    }

    if (!stable.isEmpty()) {
        return CloudReminderMatch {stable.front()->local_id, othersThan(stable, stable.front()->local_id)};
    }
    return std::nullopt;
}

bool LocalReminderMatchResolver::reminderHasNewerLocalChanges(const QString &localID, const ReminderPayload &item,
    const std::optional<QString> &localListID, bool cloudListAsLastSynced) const
{
    const auto state = m_reminders.reminder(localID);
    if (!state || !state->lastModifiedDate) {
        return false;
    }
    const QString cloudText = trimmed(item.last_modified);
    if (cloudText.isEmpty()) {
        return false;
    }
    const auto cloudModified = DateFormatters::parseISO8601(cloudText);
    if (!cloudModified) {
        return false;
    }
    // A reminder found in another list than the cloud's copy was moved here, even when the app
    // that moved it kept its modification date (as a move between task lists of another app does
    // while this one is not running). Where the cloud's copy is still in the list last synced the
    // move stands whatever the dates; where that is not known, unless the cloud's copy changed
    // later.
    const bool movedHere = localListID && state->listID && *state->listID != *localListID;
    const qint64 localLead = state->lastModifiedDate->toMSecsSinceEpoch() - cloudModified->toMSecsSinceEpoch();
    const bool localMove = movedHere && cloudListAsLastSynced;
    if (!localMove && (movedHere ? localLead < -500 : localLead <= 500)) {
        return false;
    }
    const auto payload = m_reminders.mapReminder(localID);
    return payload && !stableReminderPayload(*payload, item, localListID);
}

bool LocalReminderMatchResolver::reminderHasRecurrence(const QString &localID) const
{
    const auto state = m_reminders.reminder(localID);
    return state && state->hasRecurrenceRules;
}

bool LocalReminderMatchResolver::localRecurringCompletionCommandTargetMatches(
    const QString &localID, const ReminderPayload &item, const std::optional<QString> &localListID) const
{
    const auto state = m_reminders.reminder(localID);
    if (!state) {
        return false;
    }
    if (localListID && (!state->listID || *state->listID != *localListID)) {
        return false;
    }
    if (state->isCompleted || !state->hasRecurrenceRules) {
        return false;
    }
    if (normalizedIsEmpty(item.repeat_type)) {
        return false;
    }
    const auto payload = m_reminders.mapReminder(localID);
    if (!payload || payload->is_completed || payload->has_due_time != item.has_due_time) {
        return false;
    }
    if (trimmed(payload->due_date) != trimmed(item.due_date)) {
        return false;
    }
    if (!normalizedEqual(payload->repeat_type, item.repeat_type)
        || !normalizedEqual(payload->repeat_summary, item.repeat_summary)) {
        return false;
    }
    return RecurringCompletionPredicates::sameRemoteRecurringCompletionIdentity(*payload, item);
}

std::optional<QString> LocalReminderMatchResolver::resolveLocalRecurringCompletionCommandTarget(
    const ReminderPayload &item, const std::optional<QString> &localListID, const std::optional<QString> &mappedLocalID,
    CloudReminderMatchSession &session) const
{
    for (const QString &id : {trimmed(mappedLocalID), trimmed(item.source_item_id)}) {
        if (!id.isEmpty() && localRecurringCompletionCommandTargetMatches(id, item, localListID)) {
            return id;
        }
    }
    const auto candidates = session.completionAgnosticCandidates(item);
    session.addFullComparisons(candidates.size());
    for (const auto &candidate : candidates) {
        if (localRecurringCompletionCommandTargetMatches(candidate->local_id, item, localListID)) {
            return candidate->local_id;
        }
    }
    return std::nullopt;
}

} // namespace quorvin
