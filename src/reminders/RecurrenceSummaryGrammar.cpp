#include "reminders/RecurrenceSummaryGrammar.h"

#include "reminders/Strings.h"

#include <QMap>
#include <QRegularExpression>

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

const QString kTokens[7] = {u"SU"_s, u"MO"_s, u"TU"_s, u"WE"_s, u"TH"_s, u"FR"_s, u"SA"_s};

// The weekdays as bits 1-7; anything outside 1-7 sets bit 0, so it never equals a fixed set.
unsigned daySetBits(const QList<int> &values)
{
    unsigned bits = 0;
    for (int value : values) {
        bits |= (value >= 1 && value <= 7) ? (1u << value) : 1u;
    }
    return bits;
}

constexpr unsigned kWorkingDayBits = (1u << 2) | (1u << 3) | (1u << 4) | (1u << 5) | (1u << 6);
constexpr unsigned kWeekendBits = (1u << 1) | (1u << 7);

QList<QString> nonEmptyPieces(const QString &text, QChar separator)
{
    QList<QString> pieces;
    for (const QString &piece : text.split(separator)) {
        if (!piece.isEmpty()) {
            pieces.append(piece);
        }
    }
    return pieces;
}

QList<int> integersInRange(const QString &text, int low, int high)
{
    QList<int> values;
    for (const QString &piece : nonEmptyPieces(text, u',')) {
        const auto value = parseStrictInt(piece);
        if (value && *value >= low && *value <= high) {
            values.append(*value);
        }
    }
    return values;
}

} // namespace

std::optional<int> parseStrictInt(const QString &text)
{
    static const QRegularExpression pattern(u"^[+-]?[0-9]+$"_s);
    if (!pattern.match(text).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::optional<StructuredRecurrenceSummary> parseStructuredRecurrenceSummary(
    const QString &repeatType, const QString &summary)
{
    const QString &prefix = RemindersText::structuredSummaryPrefix;
    if (!summary.startsWith(prefix)) {
        return std::nullopt;
    }
    QMap<QString, QString> items;
    for (const QString &piece : nonEmptyPieces(summary.mid(prefix.size()), u';')) {
        qsizetype keyStart = 0;
        while (keyStart < piece.size() && piece.at(keyStart) == u'=') {
            ++keyStart;
        }
        const qsizetype separator = piece.indexOf(u'=', keyStart);
        if (keyStart >= piece.size() || separator < 0) {
            continue;
        }
        const QString key = piece.mid(keyStart, separator - keyStart);
        const QString value = piece.mid(separator + 1);
        if (key.isEmpty() || value.isEmpty()) {
            continue;
        }
        items.insert(key, value);
    }

    StructuredRecurrenceSummary rule;
    rule.repeatType = repeatType;
    const auto interval = parseStrictInt(items.value(u"interval"_s, u"1"_s));
    rule.interval = std::max(1, interval.value_or(1));

    const auto readOrdinal = [&]() -> bool {
        rule.ordinal = ordinalValue(
            items.contains(u"ordinal"_s) ? std::optional<QString>(items.value(u"ordinal"_s)) : std::nullopt);
        if (!rule.ordinal || !items.contains(u"weekday"_s)) {
            return false;
        }
        rule.weekdayToken = items.value(u"weekday"_s);
        return true;
    };

    if (repeatType == u"weekly"_s) {
        rule.weekdayTokens = nonEmptyPieces(items.value(u"days"_s), u',');
        if (rule.weekdayTokens.isEmpty()) {
            return std::nullopt;
        }
        return rule;
    }
    if (repeatType == u"monthly"_s) {
        if (!items.contains(u"mode"_s)) {
            return std::nullopt;
        }
        rule.mode = items.value(u"mode"_s);
        if (*rule.mode == u"dates"_s) {
            rule.monthDays = integersInRange(items.value(u"monthDays"_s), 1, 31);
            if (rule.monthDays.isEmpty()) {
                return std::nullopt;
            }
            return rule;
        }
        if (*rule.mode == u"ordinal"_s && readOrdinal()) {
            return rule;
        }
        return std::nullopt;
    }
    if (repeatType == u"yearly"_s) {
        rule.months = integersInRange(items.value(u"months"_s), 1, 12);
        if (rule.months.isEmpty() || !items.contains(u"mode"_s)) {
            return std::nullopt;
        }
        rule.mode = items.value(u"mode"_s);
        if (*rule.mode == u"dates"_s) {
            return rule;
        }
        if (*rule.mode == u"ordinal"_s && readOrdinal()) {
            return rule;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

int recurrenceInterval(const std::optional<QString> &repeatType, const QString &summary)
{
    if (!repeatType) {
        return 1;
    }
    const QString &type = *repeatType;
    if (type == u"biweekly"_s) {
        return 2;
    }
    if (type == u"quarterly"_s) {
        return 3;
    }
    if (type == u"semiannual"_s) {
        return 6;
    }
    if (const auto structured = parseStructuredRecurrenceSummary(type, summary)) {
        return structured->interval;
    }
    if (summary.isEmpty()) {
        return 1;
    }
    static const QRegularExpression pattern(
        u"^每\\s*(\\d+)\\s*(天|周|月|年)$"_s, QRegularExpression::UseUnicodePropertiesOption);
    const auto match = pattern.match(summary);
    if (!match.hasMatch()) {
        return 1;
    }
    const auto number = parseStrictInt(match.captured(1));
    const int value = number && *number >= 1 ? *number : 1;
    const QString unit = match.captured(2);
    const bool fits = (unit == u"天"_s && type == u"daily"_s) || (unit == u"周"_s && type == u"weekly"_s)
        || (unit == u"月"_s && type == u"monthly"_s) || (unit == u"年"_s && type == u"yearly"_s);
    return fits ? value : 1;
}

std::optional<int> ordinalValue(const std::optional<QString> &text)
{
    if (!text) {
        return std::nullopt;
    }
    if (*text == u"L"_s) {
        return -1;
    }
    if (*text == u"1"_s || *text == u"2"_s || *text == u"3"_s || *text == u"4"_s) {
        return text->toInt();
    }
    return std::nullopt;
}

std::optional<QString> weekdayToken(int weekday)
{
    if (weekday < 1 || weekday > 7) {
        return std::nullopt;
    }
    return kTokens[weekday - 1];
}

std::optional<int> recurrenceWeekday(const QString &token)
{
    for (int i = 0; i < 7; ++i) {
        if (kTokens[i] == token) {
            return i + 1;
        }
    }
    return std::nullopt;
}

int ekWeekday(int weekday)
{
    return weekday >= 1 && weekday <= 6 ? weekday : 7;
}

QList<int> recurrenceDaySet(const QString &token)
{
    if (token == u"WKD"_s) {
        return {2, 3, 4, 5, 6};
    }
    if (token == u"WND"_s) {
        return {7, 1};
    }
    if (const auto day = recurrenceWeekday(token)) {
        return {*day};
    }
    return {};
}

bool isWorkingDaySet(const QList<int> &weekdays)
{
    return daySetBits(weekdays) == kWorkingDayBits;
}

bool isWeekendSet(const QList<int> &weekdays)
{
    return daySetBits(weekdays) == kWeekendBits;
}

bool isEveryDaySet(const QList<int> &weekdays)
{
    return daySetBits(weekdays) == (kWorkingDayBits | kWeekendBits);
}

} // namespace quorvin

namespace quorvin {

namespace {

QList<int> dayNumbers(const std::optional<std::vector<RecurrenceDayOfWeek>> &days)
{
    QList<int> numbers;
    if (days) {
        for (const auto &day : *days) {
            numbers.append(day.dayOfTheWeek);
        }
    }
    return numbers;
}

bool hasItems(const std::optional<std::vector<int>> &values)
{
    return values && !values->empty();
}

QString joinInts(std::vector<int> values, bool sorted, const QString &separator)
{
    if (sorted) {
        std::sort(values.begin(), values.end());
    }
    QStringList parts;
    for (int value : values) {
        parts.append(QString::number(value));
    }
    return parts.join(separator);
}

QString ordinalWord(int position)
{
    return position == -1 ? u"L"_s : QString::number(position);
}

QString bracketList(const std::optional<std::vector<int>> &values)
{
    return u"["_s + joinInts(values.value_or(std::vector<int> {}), false, u", "_s) + u"]"_s;
}

} // namespace

std::optional<int> structuredOrdinalPosition(const RecurrenceRule &rule)
{
    if (hasItems(rule.setPositions)) {
        return rule.setPositions->front();
    }
    if (rule.daysOfTheWeek && !rule.daysOfTheWeek->empty() && rule.daysOfTheWeek->front().weekNumber != 0) {
        return rule.daysOfTheWeek->front().weekNumber;
    }
    return std::nullopt;
}

std::optional<QString> structuredWeekdayToken(const std::optional<std::vector<RecurrenceDayOfWeek>> &days)
{
    if (!days || days->empty()) {
        return std::nullopt;
    }
    const QList<int> numbers = dayNumbers(days);
    if (isWorkingDaySet(numbers)) {
        return u"WKD"_s;
    }
    if (isWeekendSet(numbers)) {
        return u"WND"_s;
    }
    if (days->size() == 1) {
        return weekdayToken(days->front().dayOfTheWeek);
    }
    return std::nullopt;
}

std::optional<QString> structuredOrdinalWeekdayToken(const RecurrenceRule &rule)
{
    if (rule.daysOfTheWeek && isEveryDaySet(dayNumbers(rule.daysOfTheWeek))) {
        return u"NAT"_s;
    }
    if (auto token = structuredWeekdayToken(rule.daysOfTheWeek)) {
        return token;
    }
    if (hasItems(rule.daysOfTheMonth)) {
        return u"NAT"_s;
    }
    return std::nullopt;
}

std::optional<QString> structuredRecurrenceSummary(const RecurrenceRule &rule)
{
    const QString head
        = RemindersText::structuredSummaryPrefix + u"interval="_s + QString::number(std::max(1, rule.interval));
    const auto position = structuredOrdinalPosition(rule);
    const auto token = structuredOrdinalWeekdayToken(rule);
    const bool singleLastDay
        = rule.daysOfTheMonth && rule.daysOfTheMonth->size() == 1 && rule.daysOfTheMonth->front() == -1;

    if (hasItems(rule.monthsOfTheYear)) {
        const QString months = u";months="_s + joinInts(*rule.monthsOfTheYear, true, u","_s);
        if (position && token) {
            return head + months + u";mode=ordinal;ordinal="_s + ordinalWord(*position) + u";weekday="_s + *token;
        }
        if (singleLastDay) {
            return head + months + u";mode=ordinal;ordinal=L;weekday=NAT"_s;
        }
        return head + months + u";mode=dates"_s;
    }
    switch (rule.frequency) {
    case RecurrenceRule::Frequency::Weekly: {
        if (!rule.daysOfTheWeek || rule.daysOfTheWeek->empty()) {
            return std::nullopt;
        }
        const QList<int> numbers = dayNumbers(rule.daysOfTheWeek);
        if (isWorkingDaySet(numbers) || isWeekendSet(numbers)) {
            return std::nullopt;
        }
        QStringList tokens;
        for (int day : numbers) {
            if (const auto dayToken = weekdayToken(day)) {
                tokens.append(*dayToken);
            }
        }
        if (tokens.isEmpty()) {
            return std::nullopt;
        }
        return head + u";days="_s + tokens.join(u',');
    }
    case RecurrenceRule::Frequency::Monthly:
        if (position && token) {
            return head + u";mode=ordinal;ordinal="_s + ordinalWord(*position) + u";weekday="_s + *token;
        }
        if (!hasItems(rule.daysOfTheMonth)) {
            return std::nullopt;
        }
        if (singleLastDay) {
            return head + u";mode=ordinal;ordinal=L;weekday=NAT"_s;
        }
        return head + u";mode=dates;monthDays="_s + joinInts(*rule.daysOfTheMonth, true, u","_s);
    default:
        return std::nullopt;
    }
}

QString recurrenceTypeString(const RecurrenceRule &rule)
{
    if (hasItems(rule.monthsOfTheYear)) {
        return u"yearly"_s;
    }
    const bool structuredKind = rule.frequency == RecurrenceRule::Frequency::Weekly
        || rule.frequency == RecurrenceRule::Frequency::Monthly || rule.frequency == RecurrenceRule::Frequency::Yearly;
    switch (rule.frequency) {
    case RecurrenceRule::Frequency::Daily:
        return u"daily"_s;
    case RecurrenceRule::Frequency::Weekly:
        if (!(structuredKind && structuredRecurrenceSummary(rule))) {
            const QList<int> numbers = dayNumbers(rule.daysOfTheWeek);
            if (isWorkingDaySet(numbers)) {
                return u"weekdays"_s;
            }
            if (isWeekendSet(numbers)) {
                return u"weekends"_s;
            }
        }
        return u"weekly"_s;
    case RecurrenceRule::Frequency::Monthly:
        return u"monthly"_s;
    case RecurrenceRule::Frequency::Yearly:
        return u"yearly"_s;
    }
    return u"custom"_s;
}

QString recurrenceSummaryString(const RecurrenceRule &rule)
{
    if (const auto structured = structuredRecurrenceSummary(rule)) {
        return *structured;
    }
    const int n = std::max(1, rule.interval);
    const bool plain = rule.interval < 2;
    const auto every = [&](const QString &fixed, const QString &unit) {
        return plain ? fixed : RemindersText::summaryEvery + QString::number(n) + unit;
    };
    switch (rule.frequency) {
    case RecurrenceRule::Frequency::Daily:
        return every(RemindersText::summaryDaily, RemindersText::unitDay);
    case RecurrenceRule::Frequency::Weekly: {
        const QList<int> numbers = dayNumbers(rule.daysOfTheWeek);
        if (isWorkingDaySet(numbers)) {
            return every(RemindersText::summaryWorkingDays, RemindersText::unitWeek);
        }
        if (isWeekendSet(numbers)) {
            return every(RemindersText::summaryWeekend, RemindersText::unitWeek);
        }
        return every(RemindersText::summaryWeekly, RemindersText::unitWeek);
    }
    case RecurrenceRule::Frequency::Monthly:
        return every(RemindersText::summaryMonthly, RemindersText::unitMonth);
    case RecurrenceRule::Frequency::Yearly:
        return every(RemindersText::summaryYearly, RemindersText::unitYear);
    }
    return RemindersText::summaryCustom;
}

std::optional<RecurrenceDayOfWeek> recurrenceDayOfWeek(const QString &token)
{
    if (const auto day = recurrenceWeekday(token)) {
        return RecurrenceDayOfWeek {*day, 0};
    }
    return std::nullopt;
}

RecurrenceRule makeStructuredRecurrenceRule(const StructuredRecurrenceSummary &summary)
{
    RecurrenceRule rule;
    rule.interval = summary.interval;
    const auto ordinalParts = [&](RecurrenceRule &target) {
        const int k = summary.ordinal.value_or(1);
        const QString token = summary.weekdayToken.value_or(QString());
        if (token == u"NAT"_s) {
            target.daysOfTheMonth = std::vector<int> {k};
        } else if (const auto day = recurrenceWeekday(token)) {
            target.daysOfTheWeek = std::vector<RecurrenceDayOfWeek> {{*day, k}};
        } else {
            std::vector<RecurrenceDayOfWeek> days;
            for (int number : recurrenceDaySet(token)) {
                days.push_back({number, 0});
            }
            target.daysOfTheWeek = days.empty() ? std::nullopt : std::optional(days);
            target.setPositions = std::vector<int> {k};
        }
    };
    if (summary.repeatType == u"weekly"_s) {
        rule.frequency = RecurrenceRule::Frequency::Weekly;
        std::vector<RecurrenceDayOfWeek> days;
        for (const QString &token : summary.weekdayTokens) {
            if (const auto day = recurrenceDayOfWeek(token)) {
                days.push_back(*day);
            }
        }
        rule.daysOfTheWeek = days;
    } else if (summary.repeatType == u"monthly"_s) {
        rule.frequency = RecurrenceRule::Frequency::Monthly;
        if (summary.mode == u"dates"_s) {
            rule.daysOfTheMonth = std::vector<int>(summary.monthDays.begin(), summary.monthDays.end());
        } else {
            ordinalParts(rule);
        }
    } else {
        rule.frequency = RecurrenceRule::Frequency::Yearly;
        rule.monthsOfTheYear = std::vector<int>(summary.months.begin(), summary.months.end());
        if (summary.mode == u"ordinal"_s) {
            ordinalParts(rule);
        }
    }
    return rule;
}

QString recurrenceDebugDescriptor(const RecurrenceRule &rule)
{
    QStringList weekdays;
    if (rule.daysOfTheWeek) {
        for (const auto &day : *rule.daysOfTheWeek) {
            weekdays.append(
                u"\""_s + QString::number(day.dayOfTheWeek) + u":"_s + QString::number(day.weekNumber) + u"\""_s);
        }
    }
    return u"freq="_s + QString::number(static_cast<int>(rule.frequency)) + u" interval="_s
        + QString::number(rule.interval) + u" months="_s + bracketList(rule.monthsOfTheYear) + u" monthDays="_s
        + bracketList(rule.daysOfTheMonth) + u" weeksOfYear="_s + bracketList(rule.weeksOfTheYear) + u" daysOfYear="_s
        + bracketList(rule.daysOfTheYear) + u" setPositions="_s + bracketList(rule.setPositions) + u" weekdays=["_s
        + weekdays.join(u", "_s) + u"] structured="_s
        + structuredRecurrenceSummary(rule).value_or(RemindersText::valueNil);
}

} // namespace quorvin
