#include "sync/QuorvinMacService.h"

#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudReminderMatchSession.h"
#include "matching/LocalReminderMatchResolver.h"
#include "matching/MatchText.h"
#include "matching/RecurringReminderPairCandidateIndex.h"
#include "model/DateFormatters.h"
#include "platform/concurrency/Clock.h"
#include "reminders/ReminderMonitor.h"
#include "sync/Strings.h"

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

namespace {
bool completionDateParses(const ReminderPayload &item)
{
    return item.completion_date && DateFormatters::parseISO8601(*item.completion_date).has_value();
}
} // namespace

bool QuorvinMacService::isRemoteRecurringActiveCandidate(const ReminderPayload &item)
{
    return !item.is_completed && !MatchText::normalized(item.repeat_type).isEmpty()
        && !MatchText::trimmed(item.due_date).isEmpty();
}

bool QuorvinMacService::isRemoteRecurringCompletedOccurrenceCandidate(const ReminderPayload &item)
{
    return item.is_completed && MatchText::normalized(item.repeat_type).isEmpty()
        && MatchText::normalized(item.repeat_summary).isEmpty() && !MatchText::trimmed(item.due_date).isEmpty()
        && completionDateParses(item);
}

bool QuorvinMacService::isRemoteRecurringCompletionCommand(const ReminderPayload &item)
{
    return item.is_completed && !MatchText::normalized(item.repeat_type).isEmpty()
        && !MatchText::trimmed(item.due_date).isEmpty() && completionDateParses(item);
}

bool QuorvinMacService::sameRemoteRecurringCompletionIdentity(const ReminderPayload &a, const ReminderPayload &b)
{
    if (const auto listB = MatchText::trimmed(b.list_id); !listB.isEmpty()) {
        if (MatchText::trimmed(a.list_id) != listB) {
            return false;
        }
    } else if (const auto nameB = MatchText::normalized(b.list_name); !nameB.isEmpty()) {
        if (MatchText::normalized(a.list_name) != nameB) {
            return false;
        }
    }
    const auto title = MatchText::normalized(a.title);
    return title == MatchText::normalized(b.title) && !title.isEmpty()
        && MatchText::normalized(a.notes) == MatchText::normalized(b.notes)
        && MatchText::normalized(a.url) == MatchText::normalized(b.url) && a.priority == b.priority;
}

QHash<QString, QuorvinMacService::RemoteRecurringCompletionPair> QuorvinMacService::remoteRecurringCompletionPairs(
    const QList<ReminderPayload> &items) const
{
    QList<ReminderPayload> completed;
    QList<ReminderPayload> active;
    for (const auto &item : items) {
        if (isRemoteRecurringCompletedOccurrenceCandidate(item)) {
            completed.append(item);
        }
        if (isRemoteRecurringActiveCandidate(item)) {
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
            if (!isRemoteRecurringCompletedOccurrenceCandidate(candidate)
                || candidate.has_due_time != activeItem.has_due_time || !candidate.due_date
                || candidate.due_date == activeItem.due_date) {
                continue;
            }
            const auto candidateDue = DateFormatters::parseISO8601(*candidate.due_date);
            if (!activeDue || !candidateDue || !(*candidateDue < *activeDue)) {
                continue;
            }
            if (!sameRemoteRecurringCompletionIdentity(activeItem, candidate)) {
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
    if (!isRemoteRecurringCompletionCommand(item) || !item.completion_date) {
        co_return std::nullopt;
    }
    const auto completedAt = DateFormatters::parseISO8601(*item.completion_date);
    if (!completedAt) {
        co_return std::nullopt;
    }
    std::optional<QString> mappedLocalID;
    if (const auto it = m_reminderMappingIndex->serverToLocal().constFind(item.local_id);
        it != m_reminderMappingIndex->serverToLocal().cend()) {
        mappedLocalID = *it;
    }
    const auto target
        = LocalReminderMatchResolver(*m_reminderMonitor)
              .resolveLocalRecurringCompletionCommandTarget(item, localListID, mappedLocalID, *matchSession);
    if (!target) {
        appendLog(u"Cloud recurring completion command had no active local target server_id="_s + item.local_id);
        co_return std::nullopt;
    }
    const auto next = co_await m_reminderMonitor->setReminderCompletion(*target, true, *completedAt, false);
    appendLog(u"Cloud recurring completion command applied server_id="_s + item.local_id + u" completed_local_id="_s
        + *target + u" next_local_id="_s + next.value_or(QStringLiteral("<none>")));
    co_return next ? next : target;
}

void QuorvinMacService::registerCloudActivityTitles(const QStringList &titles, const QDateTime &now)
{
    for (auto it = m_recentCloudActivityKeys.begin(); it != m_recentCloudActivityKeys.end();) {
        if (it.value().msecsTo(now) >= 120000) {
            it = m_recentCloudActivityKeys.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto &title : titles) {
        const auto key = SyncText::echoKeyPrefix + MatchText::normalized(activityDisplayTitle(title)) + u'|';
        m_recentCloudActivityKeys.insert(key + SyncText::echoActionAdvance, now);
        m_recentCloudActivityKeys.insert(key + SyncText::echoActionComplete, now);
    }
}

void QuorvinMacService::rememberCloudRecurringCompletionCommands(const QList<ReminderPayload> &items)
{
    QStringList titles;
    for (const auto &item : items) {
        if (isRemoteRecurringCompletionCommand(item)) {
            titles.append(item.title);
        }
    }
    registerCloudActivityTitles(titles, m_clock.now());
}

void QuorvinMacService::rememberRemoteCloudCompletionOrigins(const QList<ReminderPayload> &items)
{
    // The device id of this Mac; without a session the one derived from the user id takes its
    // place once the device identity is known to the service.
    const auto thisDevice = m_cloudSessionDeviceID.trimmed();
    if (thisDevice.isEmpty()) {
        return;
    }
    QStringList titles;
    for (const auto &item : items) {
        const auto device = MatchText::trimmed(item.last_modified_by_device_id);
        if (item.is_completed && !device.isEmpty() && device != thisDevice) {
            titles.append(item.title);
        }
    }
    registerCloudActivityTitles(titles, m_clock.now());
}

void QuorvinMacService::rememberCloudRecurringCompletionPairs(const QList<RemoteRecurringCompletionPair> &pairs)
{
    QStringList titles;
    for (const auto &pair : pairs) {
        titles.append(pair.activeItem.title);
        titles.append(pair.completedOccurrence.title);
    }
    registerCloudActivityTitles(titles, m_clock.now());
}

QCoro::Task<QSet<QString>> QuorvinMacService::alignLocalRecurringDueDates(QList<ReminderPayload> items, quint64 epoch)
{
    QSet<QString> aligned;
    for (qsizetype position = 0; position < items.size(); ++position) {
        const auto &item = items.at(position);
        if (!isRemoteRecurringActiveCandidate(item)) {
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
        if (const auto it = m_reminderMappingIndex->serverToLocal().constFind(item.local_id);
            it != m_reminderMappingIndex->serverToLocal().cend()) {
            appendLocalID(*it);
        }
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
