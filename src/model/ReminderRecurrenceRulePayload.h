#pragma once

#include "model/JSONValue.h"
#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The structured repeat rule of a reminder.
struct ReminderRecurrenceRulePayload {
    std::optional<QString> frequency {};
    std::optional<qint64> interval {};
    std::optional<QList<QString>> week_days {};
    std::optional<QList<qint64>> month_days {};
    std::optional<QList<qint64>> months {};
    std::optional<QList<qint64>> set_positions {};
    std::optional<QString> end_date {};
    std::optional<qint64> occurrence_count {};
    std::optional<JSONObject> source_rule_json {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("frequency", s.frequency);
        v("interval", s.interval);
        v("week_days", s.week_days);
        v("month_days", s.month_days);
        v("months", s.months);
        v("set_positions", s.set_positions);
        v("end_date", s.end_date);
        v("occurrence_count", s.occurrence_count);
        v("source_rule_json", s.source_rule_json);
    }
};

} // namespace quorvin
