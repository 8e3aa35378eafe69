#pragma once

#include "model/ReminderCountSummary.h"
#include "model/ReminderPayload.h"

#include <QList>
#include <QString>

namespace quorvin {

// The reminder counts reported to a count verification: total, completed, and the rest.
ReminderCountSummary quorvinReminderCountSummary(const QList<ReminderPayload> &reminders);

// "共 <total> 条，已完成 <completed> 条，未完成 <incomplete> 条".
QString quorvinReminderCountSummaryText(const ReminderCountSummary &summary);

} // namespace quorvin
