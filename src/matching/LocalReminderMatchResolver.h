#pragma once

#include "matching/CloudReminderMatch.h"
#include "matching/LocalReminderState.h"
#include "model/ReminderPayload.h"

#include <QString>

#include <optional>

namespace quorvin {

class CloudReminderMatchSession;
class ReminderLookup;

// Decides which local reminder a cloud item stands for, and whether the local side was edited
// after the cloud version. Reads the per-apply match session and the live reminder store; writes
// nothing but the session's comparison counter, and never throws: a missing or unusable input makes
// a predicate false or moves on to the next rule.
class LocalReminderMatchResolver {
public:
    explicit LocalReminderMatchResolver(const ReminderLookup &reminders);

    // Exact id first, then a single external-id candidate, then the first stable match.
    std::optional<CloudReminderMatch> resolveLocalReminderMatch(const ReminderPayload &item,
        const std::optional<QString> &localListID, CloudReminderMatchSession &matchSession) const;

    // The local reminder was modified more than half a second after the cloud version and its
    // content differs from it. `cloudListAsLastSynced`: the cloud's copy sits in the list it was
    // last synced in, so a reminder found in another list was moved here, whatever its date.
    bool reminderHasNewerLocalChanges(const QString &localID, const ReminderPayload &item,
        const std::optional<QString> &localListID, bool cloudListAsLastSynced = false) const;

    bool reminderHasRecurrence(const QString &localID) const;

    // The active local recurring reminder a cloud completion command applies to: the mapped id,
    // then the item's source id, then the completion-agnostic candidates.
    std::optional<QString> resolveLocalRecurringCompletionCommandTarget(const ReminderPayload &item,
        const std::optional<QString> &localListID, const std::optional<QString> &mappedLocalID,
        CloudReminderMatchSession &matchSession) const;

    // Field by field, texts normalised and dates as stored text.
    static bool stableReminderPayload(
        const ReminderPayload &local, const ReminderPayload &item, const std::optional<QString> &localListID);
    // Equal start fields (absent date as empty text, absent time flag as false), or the implicit
    // start of a date-only due day.
    static bool startDateFieldsMatch(const ReminderPayload &local, const ReminderPayload &item);

private:
    bool localPayloadCanApplyRemoteState(const ReminderPayload &local, const ReminderPayload &item) const;
    bool localRecurringCompletionCommandTargetMatches(
        const QString &localID, const ReminderPayload &item, const std::optional<QString> &localListID) const;

    const ReminderLookup &m_reminders;
};

} // namespace quorvin
