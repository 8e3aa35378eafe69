#pragma once

#include "matching/ReminderLookup.h"

#include <QHash>
#include <QSet>

namespace quorvin::test {

// A reminder store reduced to what the matching rules read: live state and payload per id, and the
// set of existing list ids. Counts every read so tests can see how often the store was asked.
class InMemoryReminderLookup final : public ReminderLookup {
public:
    // Adds or replaces a reminder; its state follows the payload unless given.
    void put(const ReminderPayload &payload, std::optional<LocalReminderState> state = std::nullopt)
    {
        LocalReminderState s = state.value_or(LocalReminderState {});
        s.localID = payload.local_id;
        if (!state) {
            s.isCompleted = payload.is_completed;
            s.listID = payload.list_id;
        }
        m_states.insert(payload.local_id, s);
        m_payloads.insert(payload.local_id, payload);
    }
    // A reminder whose state can be read but that cannot be mapped to a payload.
    void putUnmappable(const LocalReminderState &state) { m_states.insert(state.localID, state); }
    void erase(const QString &localID)
    {
        m_states.remove(localID);
        m_payloads.remove(localID);
    }
    void addList(const QString &listID) { m_lists.insert(listID); }

    std::optional<LocalReminderState> reminder(const QString &localID) const override
    {
        ++reads;
        const auto found = m_states.constFind(localID);
        return found == m_states.cend() ? std::nullopt : std::optional(*found);
    }
    ReminderPayloadRef mapReminder(const QString &localID) const override
    {
        ++reads;
        const auto found = m_payloads.constFind(localID);
        return found == m_payloads.cend() ? nullptr : std::make_shared<const ReminderPayload>(*found);
    }
    std::optional<QString> localListID(const std::optional<QString> &sourceListID) const override
    {
        if (!sourceListID) {
            return std::nullopt;
        }
        const QString id = sourceListID->trimmed();
        return m_lists.contains(id) ? std::optional(id) : std::nullopt;
    }

    mutable int reads = 0;

private:
    QHash<QString, LocalReminderState> m_states;
    QHash<QString, ReminderPayload> m_payloads;
    QSet<QString> m_lists;
};

} // namespace quorvin::test
