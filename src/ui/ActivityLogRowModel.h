#pragma once

#include "activity/ActivityLogLine.h"
#include "ui/ActivityCategoryBadge.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace quorvin {

// What one row of the recent-activity card shows for a stored entry: the badge of its category,
// how long ago it was made, and its summary and details rewritten from the engine's wording into
// the user's. The stored entry is never changed; the texts are made once, when the row is.
class ActivityLogRowModel {
public:
    // A row never shows more detail lines than this, however many the entry stores.
    static constexpr int maxDetailLines = 3;

    ActivityLogRowModel(ActivityLogLine line, const QDateTime &now);

    const ActivityLogLine &line() const { return m_line; }
    const ActivityCategoryBadge &category() const { return m_category; }
    const QString &relativeTime() const { return m_relativeTime; }
    // The relative time again, as of `now`.
    void refreshRelativeTime(const QDateTime &now);
    const QString &summary() const { return m_summary; }
    const QStringList &details() const { return m_details; }

    // "同步" and "用户操作" have badges of their own; anything else is a neutral "活动".
    static ActivityCategoryBadge activityCategory(const QString &category);
    // "刚刚" under a minute (and for an entry dated in the future), then minutes, then hours, and
    // from a day on the medium date and time in the user's time zone.
    static QString relativeTimeText(const QDateTime &createdAt, const QDateTime &now);
    // Trimmed, then reworded by the phrase table in its order. For the user's own actions
    // (`userAction`) the pairs that tell of a change from the cloud are left out: "更新任务" the
    // user did stays "更新任务".
    static QString readableText(const QString &text, bool userAction = false);
    // The shown details: each stored one rewritten, the empty results left out, at most three.
    static QStringList activityDetailTexts(const QStringList &details, bool userAction = false);
    // One stored detail as shown, "" when it is not shown. A detail that names its change before
    // "」：" and lists field changes after it is rewritten change by change; any other is one
    // change.
    static QString activityDetailText(const QString &raw, bool userAction = false);
    // A value in corner brackets; "未设置" for an empty one; "未设置" and "无" as they are.
    static QString decoratedActivityValue(const QString &value);

private:
    // One change, "label: before -> after", "label: value" or plain words.
    static QString changeText(const QString &raw, bool userAction);

    ActivityLogLine m_line;
    ActivityCategoryBadge m_category;
    QString m_relativeTime;
    QString m_summary;
    QStringList m_details;
};

} // namespace quorvin
