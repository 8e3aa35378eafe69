#include "ui/ActivityLogRowModel.h"

#include "activity/Strings.h"
#include "model/DateFormatters.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/Strings.h"

namespace quorvin {

ActivityLogRowModel::ActivityLogRowModel(ActivityLogLine line, const QDateTime &now)
    : m_line(std::move(line))
    , m_category(activityCategory(m_line.category))
    , m_relativeTime(relativeTimeText(m_line.createdAt, now))
    , m_summary(readableText(m_line.summary, m_line.category == ActivityText::categoryUser))
    , m_details(activityDetailTexts(m_line.details, m_line.category == ActivityText::categoryUser))
{
}

void ActivityLogRowModel::refreshRelativeTime(const QDateTime &now)
{
    m_relativeTime = relativeTimeText(m_line.createdAt, now);
}

ActivityCategoryBadge ActivityLogRowModel::activityCategory(const QString &category)
{
    if (category == ActivityText::categorySync) {
        return {UiText::activityBadgeSync, QuorvinMacTheme::accentBlue, QuorvinMacTheme::softBlue};
    }
    if (category == ActivityText::categoryUser) {
        QuorvinDynamicColor faint = QuorvinMacTheme::success;
        faint.opacity = 0.12;
        return {UiText::activityBadgeUser, QuorvinMacTheme::success, faint};
    }
    return {UiText::activityBadgeOther, QuorvinMacTheme::systemGray, QuorvinMacTheme::surfaceSubtle};
}

QString ActivityLogRowModel::relativeTimeText(const QDateTime &createdAt, const QDateTime &now)
{
    // Whole seconds, cut toward zero: a future entry gives a negative count, which reads as now.
    const qint64 seconds = createdAt.msecsTo(now) / 1000;
    if (seconds < 60) {
        return UiText::activityJustNow;
    }
    if (seconds < 3600) {
        return QString::number(seconds / 60) + UiText::activityMinutesAgo;
    }
    if (seconds < 86400) {
        return QString::number(seconds / 3600) + UiText::activityHoursAgo;
    }
    return DateFormatters::localizedDateTime(createdAt);
}

QString ActivityLogRowModel::readableText(const QString &text, bool userAction)
{
    QString result = text.trimmed();
    for (const auto &[from, to] : UiText::activityPhrases) {
        if (!(userAction && to.startsWith(UiText::activityFromCloud))) {
            result.replace(from, to);
        }
    }
    return result;
}

QStringList ActivityLogRowModel::activityDetailTexts(const QStringList &details, bool userAction)
{
    QStringList shown;
    for (const QString &raw : details) {
        const QString text = activityDetailText(raw, userAction);
        if (text.isEmpty()) {
            continue;
        }
        shown.append(text);
        if (shown.size() == maxDetailLines) {
            break;
        }
    }
    return shown;
}

QString ActivityLogRowModel::activityDetailText(const QString &raw, bool userAction)
{
    const QString text = raw.trimmed();
    const qsizetype summaryEnd = text.indexOf(UiText::activitySummaryEnd);
    if (summaryEnd < 0) {
        return changeText(text, userAction);
    }
    // "更新任务「买菜」：标题: 买菜 -> 买水果；备注: 无 -> 有". Read whole, the first field's label
    // would swallow the summary and its value the second change; read change by change, each is
    // shown as a detail of its own would be.
    const qsizetype tailStart = summaryEnd + UiText::activitySummaryEnd.size();
    QString head = readableText(text.left(summaryEnd + UiText::activityValueClose.size()), userAction);
    QStringList changes;
    for (const QString &segment : text.mid(tailStart).split(UiText::activityChangeSeparator)) {
        const QString shown = changeText(segment, userAction);
        if (!shown.isEmpty()) {
            changes.append(shown);
        }
    }
    if (changes.isEmpty()) {
        return head;
    }
    return head + UiText::activityShownColon + changes.join(UiText::activityChangeSeparator);
}

QString ActivityLogRowModel::changeText(const QString &raw, bool userAction)
{
    const QString text = raw.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    const qsizetype colon = text.indexOf(UiText::activityStoredColon);
    if (colon < 0) {
        return readableText(text, userAction);
    }
    const QString label = text.left(colon).trimmed();
    if (UiText::activityHiddenLabels.contains(label)) {
        return {};
    }
    const qsizetype arrow = text.indexOf(UiText::activityStoredArrow);
    if (arrow > colon) {
        const QString before = text.mid(colon + 1, arrow - colon - 1).trimmed();
        const QString after = text.mid(arrow + UiText::activityStoredArrow.size()).trimmed();
        return label + UiText::activityChangedFrom + decoratedActivityValue(before) + UiText::activityChangedTo
            + decoratedActivityValue(after);
    }
    const QString value = text.mid(colon + 1).trimmed();
    if (label == UiText::activityLabelList) {
        return UiText::activityShownList + value;
    }
    if (label == UiText::activityLabelDue) {
        return UiText::activityShownDue + value;
    }
    return label + UiText::activityShownColon + value;
}

QString ActivityLogRowModel::decoratedActivityValue(const QString &value)
{
    if (value.isEmpty()) {
        return UiText::activityUnset;
    }
    if (value == UiText::activityUnset || value == UiText::activityNone) {
        return value;
    }
    return UiText::activityValueOpen + value + UiText::activityValueClose;
}

} // namespace quorvin
