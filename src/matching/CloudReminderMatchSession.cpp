#include "matching/CloudReminderMatchSession.h"

#include "matching/MatchText.h"
#include "matching/PayloadEquality.h"
#include "matching/ReminderLookup.h"
#include "model/DateFormatters.h"

#include <limits>

namespace quorvin {

namespace {

// The bucket keys read only these fields, so a query needs neither ids nor a timestamp.
ReminderMatchRecord queryRecord(const ReminderPayload &p)
{
    ReminderMatchRecord r;
    r.title = MatchText::normalized(p.title);
    r.notes = MatchText::normalized(p.notes);
    r.dueDate = MatchText::raw(p.due_date);
    r.hasDueTime = p.has_due_time;
    r.url = MatchText::normalized(p.url);
    r.repeatType = MatchText::normalized(p.repeat_type);
    r.repeatSummary = MatchText::normalized(p.repeat_summary);
    r.priority = p.priority;
    r.isCompleted = p.is_completed;
    r.completionDate = MatchText::raw(p.completion_date);
    return r;
}

double creationSortTimestamp(const ReminderPayload &p)
{
    for (const auto *text : {&p.created_at, &p.updated_at, &p.last_modified}) {
        if (!*text) {
            continue;
        }
        if (const auto instant = DateFormatters::parseISO8601(**text)) {
            return MatchText::referenceSeconds(*instant);
        }
    }
    return std::numeric_limits<double>::max();
}

} // namespace

ReminderMatchRecord CloudReminderMatchSession::record(const ReminderPayload &p)
{
    ReminderMatchRecord r = queryRecord(p);
    r.localID = p.local_id;
    r.listID = MatchText::raw(p.list_id);
    for (const auto *id : {&p.source_external_id, &p.external_id}) {
        const QString trimmed = MatchText::trimmed(*id);
        if (!trimmed.isEmpty() && !r.externalIDs.contains(trimmed)) {
            r.externalIDs.append(trimmed);
        }
    }
    r.creationSortTimestamp = creationSortTimestamp(p);
    return r;
}

CloudReminderMatchSession::CloudReminderMatchSession(const QList<ReminderPayload> &items)
{
    m_payloadsByLocalID.reserve(items.size());
    for (const auto &item : items) {
        m_payloadsByLocalID.insert(item.local_id, std::make_shared<const ReminderPayload>(item));
    }
    build();
}

CloudReminderMatchSession::CloudReminderMatchSession(const std::vector<ReminderPayloadRef> &items)
{
    m_payloadsByLocalID.reserve(qsizetype(items.size()));
    for (const auto &item : items) {
        m_payloadsByLocalID.insert(item->local_id, item);
    }
    build();
}

void CloudReminderMatchSession::build()
{
    m_index.reserve(m_payloadsByLocalID.size());
    for (auto it = m_payloadsByLocalID.cbegin(); it != m_payloadsByLocalID.cend(); ++it) {
        m_index.upsert(record(**it));
    }
}

QList<ReminderPayloadRef> CloudReminderMatchSession::payloads(const QList<ReminderMatchRecord> &records) const
{
    QList<ReminderPayloadRef> result;
    result.reserve(records.size());
    for (const auto &r : records) {
        if (auto payload = m_payloadsByLocalID.value(r.localID)) {
            result.append(std::move(payload));
        }
    }
    return result;
}

ReminderPayloadRef CloudReminderMatchSession::exactCandidate(const QString &localID)
{
    const auto found = m_index.exactCandidate(localID);
    if (!found) {
        return nullptr;
    }
    return m_payloadsByLocalID.value(found->localID);
}

QList<ReminderPayloadRef> CloudReminderMatchSession::externalCandidates(const QSet<QString> &externalIDs)
{
    return payloads(m_index.externalCandidates(externalIDs));
}

QList<ReminderPayloadRef> CloudReminderMatchSession::stableCandidates(const ReminderPayload &matching)
{
    return payloads(m_index.stableCandidates(queryRecord(matching)));
}

QList<ReminderPayloadRef> CloudReminderMatchSession::completionAgnosticCandidates(const ReminderPayload &matching)
{
    return payloads(m_index.completionAgnosticCandidates(queryRecord(matching)));
}

QList<ReminderPayloadRef> CloudReminderMatchSession::completedOccurrenceCandidates(const ReminderPayload &matching)
{
    return payloads(m_index.completedOccurrenceCandidates(queryRecord(matching)));
}

void CloudReminderMatchSession::upsert(ReminderPayloadRef payload)
{
    m_index.upsert(record(*payload));
    const QString localID = payload->local_id;
    m_payloadsByLocalID.emplace(localID, std::move(payload));
}

void CloudReminderMatchSession::remove(const QString &localID)
{
    m_payloadsByLocalID.remove(localID);
    m_index.remove(localID);
}

void CloudReminderMatchSession::removeAll(const QString &listID)
{
    QStringList gone;
    for (auto it = m_payloadsByLocalID.cbegin(); it != m_payloadsByLocalID.cend(); ++it) {
        if ((*it)->list_id && *(*it)->list_id == listID) {
            gone.append(it.key());
        }
    }
    for (const auto &id : std::as_const(gone)) {
        remove(id);
    }
}

void refreshMatchSession(
    CloudReminderMatchSession &session, const QStringList &localIDs, const ReminderLookup &reminders)
{
    QSet<QString> seen;
    for (const auto &id : localIDs) {
        if (seen.contains(id)) {
            continue;
        }
        seen.insert(id);
        if (auto payload = reminders.mapReminder(id)) {
            // Most writes of an apply find the reminder as it was: its record in the index stands.
            if (const auto held = session.payload(id);
                held && (held == payload || PayloadEquality::same(*held, *payload))) {
                continue;
            }
            session.upsert(std::move(payload));
        } else {
            session.remove(id);
        }
    }
}

} // namespace quorvin
