#include "activity/ActivityEchoKeys.h"

#include "activity/ActivityTexts.h"
#include "activity/Strings.h"
#include "matching/MatchText.h"

namespace quorvin {

namespace {

void prune(QHash<QString, QDateTime> &keys, QDateTime &oldest, const QDateTime &now, qint64 lifetimeMs)
{
    // Nothing has expired while the oldest key has not: walking every key at every check made the
    // entry of a large pull quadratic.
    if (keys.isEmpty() || (oldest.isValid() && oldest.msecsTo(now) < lifetimeMs)) {
        return;
    }
    oldest = QDateTime();
    for (auto it = keys.begin(); it != keys.end();) {
        if (it.value().msecsTo(now) >= lifetimeMs) {
            it = keys.erase(it);
        } else {
            if (!oldest.isValid() || it.value() < oldest) {
                oldest = it.value();
            }
            ++it;
        }
    }
}

void noteKeyTime(QDateTime &oldest, const QDateTime &now)
{
    if (!oldest.isValid() || now < oldest) {
        oldest = now;
    }
}

bool recordedWithin(const QHash<QString, QDateTime> &keys, const QString &key, const QDateTime &now, qint64 windowMs)
{
    const auto found = keys.constFind(key);
    return found != keys.cend() && found.value().msecsTo(now) < windowMs;
}

} // namespace

QString ActivityEchoKeys::normalizedKeyText(const QString &text)
{
    // The matching rules normalise texts the same way; one implementation keeps them in step.
    return MatchText::normalized(text);
}

QString ActivityEchoKeys::reminderTitleKey(const QString &title, const QString &action)
{
    return ActivityText::echoTitleKeyPrefix + ActivityText::entityReminder + u'|'
        + normalizedKeyText(ActivityTexts::activityDisplayTitle(title)) + u'|' + action;
}

QString ActivityEchoKeys::activityOriginKey(const ActivityChangeLine &line)
{
    QStringList details;
    details.reserve(line.details.size());
    for (const auto &detail : line.details) {
        details.append(normalizedKeyText(detail));
    }
    return QStringList {line.entityName, line.entityID, line.action, normalizedKeyText(line.title), details.join(u'|')}
        .join(u'|');
}

QStringList ActivityEchoKeys::cloudActivityOriginKeys(const ActivityChangeLine &line)
{
    QStringList keys {activityOriginKey(line)};
    if (line.entityName == ActivityText::entityReminder
        && (line.action == ActivityText::actionAdvanceRecurring || line.action == ActivityText::actionComplete
            || line.action == ActivityText::actionRestore)) {
        keys.append(reminderTitleKey(line.title, line.action));
    }
    return keys;
}

QList<QStringList> ActivityEchoKeys::cloudActivityOriginKeys(const QList<ActivityChangeLine> &lines)
{
    QList<QStringList> keys;
    keys.reserve(lines.size());
    for (const auto &line : lines) {
        keys.append(cloudActivityOriginKeys(line));
    }
    return keys;
}

void ActivityEchoKeys::rememberCloudActivity(const QList<QStringList> &lineKeys, const QDateTime &now)
{
    pruneCloudKeys(now);
    // Grown once: the entry of a first pull has a line for every reminder it brought.
    qsizetype count = 0;
    for (const auto &keys : lineKeys) {
        count += keys.size();
    }
    m_recentCloudActivityKeys.reserve(m_recentCloudActivityKeys.size() + count);
    for (const auto &keys : lineKeys) {
        for (const auto &key : keys) {
            m_recentCloudActivityKeys.insert(key, now);
            noteKeyTime(m_oldestCloudKey, now);
        }
    }
}

void ActivityEchoKeys::rememberCloudCompletionTitles(const QStringList &titles, const QDateTime &now)
{
    pruneCloudKeys(now);
    for (const auto &title : titles) {
        m_recentCloudActivityKeys.insert(reminderTitleKey(title, ActivityText::actionAdvanceRecurring), now);
        m_recentCloudActivityKeys.insert(reminderTitleKey(title, ActivityText::actionComplete), now);
        noteKeyTime(m_oldestCloudKey, now);
    }
}

bool ActivityEchoKeys::isCloudEcho(const ActivityChangeLine &line, const QDateTime &now)
{
    pruneCloudKeys(now);
    const auto keys = cloudActivityOriginKeys(line);
    return std::any_of(keys.cbegin(), keys.cend(),
        [&](const QString &key) { return recordedWithin(m_recentCloudActivityKeys, key, now, cloudEchoWindowMs); });
}

void ActivityEchoKeys::rememberLocalActivity(const QList<ActivityChangeLine> &lines, const QDateTime &now)
{
    pruneLocalKeys(now);
    for (const auto &line : lines) {
        m_recentLocalActivityKeys.insert(activityOriginKey(line), now);
        noteKeyTime(m_oldestLocalKey, now);
    }
}

bool ActivityEchoKeys::shouldSuppressCloudPullActivity(const QList<QStringList> &lineKeys, const QDateTime &now)
{
    if (lineKeys.isEmpty()) {
        return false;
    }
    pruneLocalKeys(now);
    // The origin key comes first.
    return std::all_of(lineKeys.cbegin(), lineKeys.cend(), [&](const QStringList &keys) {
        return !keys.isEmpty() && recordedWithin(m_recentLocalActivityKeys, keys.front(), now, localEchoWindowMs);
    });
}

void ActivityEchoKeys::pruneCloudKeys(const QDateTime &now)
{
    prune(m_recentCloudActivityKeys, m_oldestCloudKey, now, cloudKeyLifetimeMs);
}

void ActivityEchoKeys::pruneLocalKeys(const QDateTime &now)
{
    prune(m_recentLocalActivityKeys, m_oldestLocalKey, now, localKeyLifetimeMs);
}

} // namespace quorvin
