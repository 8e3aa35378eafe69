#include "activity/ReminderCountSummaryText.h"

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

ReminderCountSummary quorvinReminderCountSummary(const QList<ReminderPayload> &reminders)
{
    ReminderCountSummary summary;
    summary.total_count = reminders.size();
    summary.completed_count = std::count_if(
        reminders.cbegin(), reminders.cend(), [](const ReminderPayload &item) { return item.is_completed; });
    summary.incomplete_count = summary.total_count - summary.completed_count;
    return summary;
}

QString quorvinReminderCountSummaryText(const ReminderCountSummary &summary)
{
    return u"共 "_s + QString::number(summary.total_count) + u" 条，已完成 "_s
        + QString::number(summary.completed_count) + u" 条，未完成 "_s + QString::number(summary.incomplete_count)
        + u" 条"_s;
}

} // namespace quorvin
