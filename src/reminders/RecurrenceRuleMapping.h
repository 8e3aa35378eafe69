#pragma once

#include "model/ReminderRecurrenceRulePayload.h"
#include "platform/reminderstore/RecurrenceRule.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorvin {

// Conversions between the store's recurrence rules and the record fields repeat_type,
// repeat_summary and recurrence_rule, and the comparisons a write relies on.

// The structured payload of one rule.
ReminderRecurrenceRulePayload mapRecurrenceRule(const RecurrenceRule &rule);

// The rules a write sets for a repeat type and summary; none means no repetition. Throws
// SyncError (invalid request) for a type that cannot be written.
std::optional<std::vector<RecurrenceRule>> recurrenceRulesForMutation(
    const std::optional<QString> &repeatType, const std::optional<QString> &repeatSummary);

// The rules a write sets for a structured payload (at most one); none means no repetition. The
// record's repeat type and summary, when given, restore the week number of an ordinal weekday
// ("2nd Tuesday") that the payload cannot carry. Throws SyncError for an unsupported frequency.
std::optional<std::vector<RecurrenceRule>> recurrenceRulesForMutation(
    const ReminderRecurrenceRulePayload &recurrenceRule, const std::optional<QString> &repeatSummary = std::nullopt);

std::optional<RecurrenceDayOfWeek> recurrenceDayOfWeekFromPayloadToken(const QString &token);

// "type|summary", normalised; none when both are empty.
std::optional<QString> normalizedRecurrenceDescriptor(
    const std::optional<QString> &repeatType, const std::optional<QString> &repeatSummary);
// "type=... summary=..." for the logs.
QString recurrenceDescriptorString(const std::optional<QString> &type, const std::optional<QString> &summary);

bool recurrenceRulePayloadsMatch(const ReminderRecurrenceRulePayload &a, const ReminderRecurrenceRulePayload &b);
bool recurrenceRulesMatch(
    const std::optional<std::vector<RecurrenceRule>> &a, const std::optional<std::vector<RecurrenceRule>> &b);

// Trimmed, lowercased and with every blank removed: how a repeat type is compared and written.
QString normalizedRepeatType(const std::optional<QString> &type);

} // namespace quorvin
