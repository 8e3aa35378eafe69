#pragma once

#include "activity/ActivityChangeLine.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <optional>

// The Chinese wording of detected changes: values, dates, detail lines and batch summaries.
// Dates are shown on the China calendar day whatever the machine's own time zone.
namespace quorvin::ActivityTexts {

// "Asia/Shanghai"; the machine's own zone when the system does not know that one.
const QTimeZone &chinaTimeZone();

// The thirteen actions in the order a batch summary counts them.
const QStringList &actionOrder();

// Trimmed; "未命名" when empty.
QString activityDisplayTitle(const QString &title);
// "空" when blank; a parsable instant as "yyyy年M月d日 HH:mm" (or without the time); any other
// text as its first 42 user-perceived characters.
QString displayActivityDate(const std::optional<QString> &text, bool hasTime);
// "空" when blank; an instant as a date with time; any other text cut to 42 characters.
QString displayActivityValue(const std::optional<QString> &text);
// The first `count` grapheme clusters of the text.
QString leadingCharacters(const QString &text, int count);

QStringList reminderBasicDetails(const ReminderPayload &reminder);
QStringList reminderChangedFieldDetails(const ReminderPayload &before, const ReminderPayload &after);
void appendDateChangeDetails(QStringList &details, const ReminderPayload &before, const ReminderPayload &after);
QStringList listBasicDetails(const ReminderListDirectoryPayload &list);
QStringList listChangedFieldDetails(
    const ReminderListDirectoryPayload &before, const ReminderListDirectoryPayload &after);

// action + "「" + title + "」".
QString lineSummary(const QString &action, const QString &title);
// The line of an added (no before), removed (no after) or changed list; none for a change that
// shows nothing.
std::optional<ActivityChangeLine> listActivityLine(const std::optional<ReminderListDirectoryPayload> &before,
    const std::optional<ReminderListDirectoryPayload> &after);

QStringList activitySummaryParts(const QList<ActivityChangeLine> &lines);
QString localActivitySummary(const QList<ActivityChangeLine> &lines);
QString cloudPullActivitySummary(bool fullSnapshot, const QList<ActivityChangeLine> &lines);
// At most eight: each line's summary with its first two details.
QStringList activityDetailLines(const QList<ActivityChangeLine> &lines);

} // namespace quorvin::ActivityTexts
