#include "reminders/RecurrenceRuleMapping.h"

#include "model/DateFormatters.h"
#include "model/ReminderPayload.h"
#include "model/SyncError.h"
#include "reminders/RecurrenceSummaryGrammar.h"
#include "reminders/Strings.h"

#include <QRegularExpression>
#include <QSet>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

template <typename T> std::optional<QList<qint64>> asPayloadList(const std::optional<std::vector<T>> &values)
{
    if (!values || values->empty()) {
        return std::nullopt;
    }
    QList<qint64> list;
    for (const auto value : *values) {
        list.append(value);
    }
    return list;
}

std::optional<std::vector<int>> filtered(
    const std::optional<QList<qint64>> &values, qint64 low, qint64 high, bool allowZero)
{
    if (!values) {
        return std::nullopt;
    }
    std::vector<int> kept;
    for (qint64 value : *values) {
        if (value >= low && value <= high && (allowZero || value != 0)) {
            kept.push_back(static_cast<int>(value));
        }
    }
    if (kept.empty()) {
        return std::nullopt;
    }
    return kept;
}

std::optional<QString> blankAsAbsent(const std::optional<QString> &text, bool lower)
{
    if (!text) {
        return std::nullopt;
    }
    const QString trimmed = text->trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    return lower ? trimmed.toLower() : trimmed;
}

RecurrenceRule plainRule(RecurrenceRule::Frequency frequency, int interval, std::vector<int> weekdays = {})
{
    RecurrenceRule rule;
    rule.frequency = frequency;
    rule.interval = interval;
    if (!weekdays.empty()) {
        std::vector<RecurrenceDayOfWeek> days;
        days.reserve(weekdays.size());
        for (int day : weekdays) {
            days.push_back({day, 0});
        }
        rule.daysOfTheWeek = days;
    }
    return rule;
}

bool sameWeekdays(const std::vector<RecurrenceDayOfWeek> &days, const QList<int> &weekdays)
{
    QSet<int> have;
    for (const auto &day : days) {
        have.insert(day.dayOfTheWeek);
    }
    return !have.isEmpty() && have == QSet<int>(weekdays.cbegin(), weekdays.cend());
}

} // namespace

QString normalizedRepeatType(const std::optional<QString> &type)
{
    QString normalised = type.value_or(QString()).trimmed().toLower();
    normalised.remove(u' ');
    // Called for every reminder of every refresh: compile the pattern once.
    static const QRegularExpression whitespace(u"\\s"_s, QRegularExpression::UseUnicodePropertiesOption);
    normalised.remove(whitespace);
    return normalised;
}

ReminderRecurrenceRulePayload mapRecurrenceRule(const RecurrenceRule &rule)
{
    ReminderRecurrenceRulePayload payload;
    switch (rule.frequency) {
    case RecurrenceRule::Frequency::Daily:
        payload.frequency = u"daily"_s;
        break;
    case RecurrenceRule::Frequency::Weekly:
        payload.frequency = u"weekly"_s;
        break;
    case RecurrenceRule::Frequency::Monthly:
        payload.frequency = u"monthly"_s;
        break;
    case RecurrenceRule::Frequency::Yearly:
        payload.frequency = u"yearly"_s;
        break;
    }
    payload.interval = rule.interval;
    if (rule.daysOfTheWeek && !rule.daysOfTheWeek->empty()) {
        QList<QString> tokens;
        for (const auto &day : *rule.daysOfTheWeek) {
            if (const auto token = weekdayToken(day.dayOfTheWeek)) {
                tokens.append(*token);
            }
        }
        payload.week_days = tokens;
    }
    payload.month_days = asPayloadList(rule.daysOfTheMonth);
    payload.months = asPayloadList(rule.monthsOfTheYear);
    payload.set_positions = asPayloadList(rule.setPositions);
    if (rule.end) {
        if (rule.end->endDate) {
            payload.end_date = ReminderPayload::isoString(rule.end->endDate);
        } else if (rule.end->occurrenceCount >= 1) {
            payload.occurrence_count = rule.end->occurrenceCount;
        }
    }
    payload.source_rule_json = JSONValue::stringMap({{u"raw"_s, recurrenceDebugDescriptor(rule)},
        {u"summary"_s, recurrenceSummaryString(rule)}, {u"type"_s, recurrenceTypeString(rule)}});
    return payload;
}

std::optional<std::vector<RecurrenceRule>> recurrenceRulesForMutation(
    const std::optional<QString> &repeatType, const std::optional<QString> &repeatSummary)
{
    const QString type = normalizedRepeatType(repeatType);
    const QString summary = repeatSummary.value_or(QString()).trimmed();
    if (type.isEmpty()) {
        if (summary.isEmpty() || summary == RemindersText::never) {
            return std::nullopt;
        }
        throw SyncError::invalidRequest(RemindersText::errRepeatTypeRequired);
    }
    if (const auto structured = parseStructuredRecurrenceSummary(type, summary)) {
        return std::vector<RecurrenceRule> {makeStructuredRecurrenceRule(*structured)};
    }
    const int interval = recurrenceInterval(type, summary);
    using F = RecurrenceRule::Frequency;
    if (type == u"daily"_s) {
        return std::vector {plainRule(F::Daily, interval)};
    }
    if (type == u"weekly"_s) {
        return std::vector {plainRule(F::Weekly, interval)};
    }
    if (type == u"monthly"_s) {
        return std::vector {plainRule(F::Monthly, interval)};
    }
    if (type == u"yearly"_s) {
        return std::vector {plainRule(F::Yearly, interval)};
    }
    if (type == u"biweekly"_s) {
        return std::vector {plainRule(F::Weekly, 2)};
    }
    if (type == u"quarterly"_s) {
        return std::vector {plainRule(F::Monthly, 3)};
    }
    if (type == u"semiannual"_s) {
        return std::vector {plainRule(F::Monthly, 6)};
    }
    if (type == u"weekdays"_s) {
        return std::vector {plainRule(F::Weekly, 1, {2, 3, 4, 5, 6})};
    }
    if (type == u"weekends"_s) {
        return std::vector {plainRule(F::Weekly, 1, {7, 1})};
    }
    if (type == u"hourly"_s) {
        throw SyncError::invalidRequest(RemindersText::errHourly);
    }
    throw SyncError::invalidRequest(RemindersText::errUnsupportedRepeatType + type);
}

std::optional<std::vector<RecurrenceRule>> recurrenceRulesForMutation(
    const ReminderRecurrenceRulePayload &recurrenceRule, const std::optional<QString> &repeatSummary)
{
    const auto frequencyText = blankAsAbsent(recurrenceRule.frequency, true);
    if (!frequencyText) {
        return std::nullopt;
    }
    RecurrenceRule rule;
    rule.interval = static_cast<int>(std::clamp<qint64>(recurrenceRule.interval.value_or(1), 1, 1'000'000));
    std::optional<RecurrenceEnd> end;
    const auto endText = blankAsAbsent(recurrenceRule.end_date, false);
    if (endText) {
        if (const auto endDate = DateFormatters::parseISO8601(*endText)) {
            end = RecurrenceEnd::byDate(*endDate);
        }
    }
    if (!end && recurrenceRule.occurrence_count.value_or(0) >= 1) {
        end = RecurrenceEnd::byCount(static_cast<int>(std::min<qint64>(*recurrenceRule.occurrence_count, 1'000'000)));
    }
    rule.end = end;
    if (*frequencyText == u"daily"_s) {
        rule.frequency = RecurrenceRule::Frequency::Daily;
    } else if (*frequencyText == u"weekly"_s) {
        rule.frequency = RecurrenceRule::Frequency::Weekly;
    } else if (*frequencyText == u"monthly"_s) {
        rule.frequency = RecurrenceRule::Frequency::Monthly;
    } else if (*frequencyText == u"yearly"_s) {
        rule.frequency = RecurrenceRule::Frequency::Yearly;
    } else {
        throw SyncError::invalidRequest(RemindersText::errUnsupportedFrequency);
    }
    if (recurrenceRule.week_days) {
        std::vector<RecurrenceDayOfWeek> days;
        for (const QString &token : *recurrenceRule.week_days) {
            if (const auto day = recurrenceDayOfWeekFromPayloadToken(token)) {
                days.push_back(*day);
            }
        }
        if (!days.empty()) {
            rule.daysOfTheWeek = days;
        }
    }
    rule.daysOfTheMonth = filtered(recurrenceRule.month_days, -31, 31, false);
    rule.monthsOfTheYear = filtered(recurrenceRule.months, 1, 12, false);
    rule.setPositions = filtered(recurrenceRule.set_positions, -366, 366, false);

    // The payload carries weekdays without their week numbers; an ordinal summary of the same
    // frequency still knows which week of the month was meant. It speaks for the rule only while
    // both describe the same weekdays and interval: a summary left over from an earlier rule must
    // not replace the one written now.
    if (rule.daysOfTheWeek && !rule.setPositions && repeatSummary
        && (rule.frequency == RecurrenceRule::Frequency::Monthly
            || rule.frequency == RecurrenceRule::Frequency::Yearly)) {
        const auto structured = parseStructuredRecurrenceSummary(*frequencyText, repeatSummary->trimmed());
        if (structured && structured->mode == u"ordinal"_s && structured->interval == rule.interval
            && sameWeekdays(*rule.daysOfTheWeek, recurrenceDaySet(structured->weekdayToken.value_or(QString())))) {
            RecurrenceRule fromSummary = makeStructuredRecurrenceRule(*structured);
            fromSummary.end = end;
            return std::vector<RecurrenceRule> {fromSummary};
        }
    }
    return std::vector<RecurrenceRule> {rule};
}

std::optional<RecurrenceDayOfWeek> recurrenceDayOfWeekFromPayloadToken(const QString &token)
{
    static const QList<QPair<QString, QString>> names = {
        {u"SU"_s, u"SUNDAY"_s},
        {u"MO"_s, u"MONDAY"_s},
        {u"TU"_s, u"TUESDAY"_s},
        {u"WE"_s, u"WEDNESDAY"_s},
        {u"TH"_s, u"THURSDAY"_s},
        {u"FR"_s, u"FRIDAY"_s},
        {u"SA"_s, u"SATURDAY"_s},
    };
    const QString upper = token.trimmed().toUpper();
    for (int i = 0; i < names.size(); ++i) {
        if (upper == names[i].first || upper == names[i].second) {
            return RecurrenceDayOfWeek {i + 1, 0};
        }
    }
    return std::nullopt;
}

std::optional<QString> normalizedRecurrenceDescriptor(
    const std::optional<QString> &repeatType, const std::optional<QString> &repeatSummary)
{
    const QString type = normalizedRepeatType(repeatType);
    const QString summary = repeatSummary.value_or(QString()).trimmed();
    if (type.isEmpty() && summary.isEmpty()) {
        return std::nullopt;
    }
    return type + u"|"_s + summary;
}

QString recurrenceDescriptorString(const std::optional<QString> &type, const std::optional<QString> &summary)
{
    return u"type="_s + blankAsAbsent(type, false).value_or(RemindersText::valueNil) + u" summary="_s
        + blankAsAbsent(summary, false).value_or(RemindersText::valueNil);
}

bool recurrenceRulePayloadsMatch(const ReminderRecurrenceRulePayload &a, const ReminderRecurrenceRulePayload &b)
{
    if (blankAsAbsent(a.frequency, true) != blankAsAbsent(b.frequency, true)) {
        return false;
    }
    if (a.interval.value_or(1) != b.interval.value_or(1)) {
        return false;
    }
    const auto list = [](const auto &value) { return value.value_or(std::decay_t<decltype(*value)>()); };
    if (list(a.week_days) != list(b.week_days) || list(a.month_days) != list(b.month_days)
        || list(a.months) != list(b.months) || list(a.set_positions) != list(b.set_positions)) {
        return false;
    }
    if (blankAsAbsent(a.end_date, false) != blankAsAbsent(b.end_date, false)) {
        return false;
    }
    return a.occurrence_count.value_or(0) == b.occurrence_count.value_or(0);
}

bool recurrenceRulesMatch(
    const std::optional<std::vector<RecurrenceRule>> &a, const std::optional<std::vector<RecurrenceRule>> &b)
{
    const std::vector<RecurrenceRule> left = a.value_or(std::vector<RecurrenceRule> {});
    const std::vector<RecurrenceRule> right = b.value_or(std::vector<RecurrenceRule> {});
    if (left.size() != right.size()) {
        return false;
    }
    for (size_t i = 0; i < left.size(); ++i) {
        if (!recurrenceRulePayloadsMatch(mapRecurrenceRule(left[i]), mapRecurrenceRule(right[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace quorvin
