#pragma once

#include "reminders/StructuredRecurrenceSummary.h"

#include <QString>

#include <optional>

namespace quorvin {

// The text side of the "custom:" summary grammar: reading a summary for a repeat type, the
// interval a record asks for, and the weekday and ordinal tokens. Pure functions.

// The structured summary of `summary` read for `repeatType` ("weekly", "monthly", "yearly"), or
// none when it is not one. A repeated key takes its last value.
std::optional<StructuredRecurrenceSummary> parseStructuredRecurrenceSummary(
    const QString &repeatType, const QString &summary);

// The interval of a repeat type and summary; at least 1.
int recurrenceInterval(const std::optional<QString> &repeatType, const QString &summary);

// "1"-"4" give 1-4, "L" gives -1; anything else none.
std::optional<int> ordinalValue(const std::optional<QString> &text);

// 1-7 give "SU" ... "SA".
std::optional<QString> weekdayToken(int weekday);

// "SU" ... "SA" (exact, case-sensitive) give 1-7.
std::optional<int> recurrenceWeekday(const QString &token);

// A calendar weekday 1-6 stays as it is; anything else is 7 (Saturday).
int ekWeekday(int weekday);

// The weekday numbers of "WKD", "WND" or a single-day token; empty for anything else.
QList<int> recurrenceDaySet(const QString &token);

// Whether the weekday numbers, taken as a set, are exactly the working days, the weekend, or all
// seven days.
bool isWorkingDaySet(const QList<int> &weekdays);
bool isWeekendSet(const QList<int> &weekdays);
bool isEveryDaySet(const QList<int> &weekdays);

// Strict decimal integer: an optional sign and digits, nothing else.
std::optional<int> parseStrictInt(const QString &text);

} // namespace quorvin

#include "platform/reminderstore/RecurrenceRule.h"

namespace quorvin {

// The rule side of the grammar.

// The repeat_type keyword of one rule.
QString recurrenceTypeString(const RecurrenceRule &rule);
// The structured summary of the rule, else its Chinese summary.
QString recurrenceSummaryString(const RecurrenceRule &rule);
// The "custom:" summary of a rule that needs one, or none.
std::optional<QString> structuredRecurrenceSummary(const RecurrenceRule &rule);
// A new rule without end made of a structured summary.
RecurrenceRule makeStructuredRecurrenceRule(const StructuredRecurrenceSummary &summary);

std::optional<int> structuredOrdinalPosition(const RecurrenceRule &rule);
std::optional<QString> structuredWeekdayToken(const std::optional<std::vector<RecurrenceDayOfWeek>> &days);
std::optional<QString> structuredOrdinalWeekdayToken(const RecurrenceRule &rule);
std::optional<RecurrenceDayOfWeek> recurrenceDayOfWeek(const QString &token);

// One line describing a rule for the diagnostic log.
QString recurrenceDebugDescriptor(const RecurrenceRule &rule);

} // namespace quorvin
