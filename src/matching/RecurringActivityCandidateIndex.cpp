#include "matching/RecurringActivityCandidateIndex.h"

#include "matching/MatchText.h"

#include <QHashFunctions>

namespace quorvin {

using MatchText::trimmed;

RecurringCompletedCopyActivityKey RecurringCompletedCopyActivityKey::from(const ReminderPayload &item)
{
    return {item.title.trimmed(), trimmed(item.notes), trimmed(item.url), trimmed(item.location_text),
        item.has_due_time, item.priority};
}

size_t qHash(const RecurringCompletedCopyActivityKey &k, size_t seed) noexcept
{
    return qHashMulti(
        seed, k.title, k.notes, k.url, k.location, k.hasDueTime, k.priority.has_value(), k.priority.value_or(0));
}

RecurringNextActiveActivityKey RecurringNextActiveActivityKey::from(const ReminderPayload &item)
{
    const QString repeatType = trimmed(item.repeat_type);
    const QString summary = trimmed(item.repeat_summary);
    return {RecurringCompletedCopyActivityKey::from(item), repeatType, summary.isEmpty() ? repeatType : summary};
}

size_t qHash(const RecurringNextActiveActivityKey &k, size_t seed) noexcept
{
    return qHashMulti(seed, k.completedCopyKey, k.repeatType, k.recurrenceText);
}

RecurringActivityCandidateIndex::RecurringActivityCandidateIndex(const QList<ReminderPayloadRef> &items)
{
    for (const auto &ref : items) {
        const ReminderPayload &item = *ref;
        if (item.is_completed) {
            if (!trimmed(item.completion_date).isEmpty()) {
                m_completedCopiesByKey[RecurringCompletedCopyActivityKey::from(item)].append(ref);
            }
        } else if (!trimmed(item.due_date).isEmpty()) {
            m_nextActiveByKey[RecurringNextActiveActivityKey::from(item)].append(ref);
        }
    }
}

QList<ReminderPayloadRef> RecurringActivityCandidateIndex::nextActiveCandidates(
    const ReminderPayload &seriesBefore) const
{
    return m_nextActiveByKey.value(RecurringNextActiveActivityKey::from(seriesBefore));
}

} // namespace quorvin
