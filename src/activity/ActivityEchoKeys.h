#pragma once

#include "activity/ActivityChangeLine.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace quorvin {

// The short memory that keeps one change from being logged twice: once by the direction that
// made it and again when it comes back from the other side. A cloud pull remembers the keys of
// its lines (and the engine the titles of the recurring completions it applies) so that the
// Reminders changes they cause are not taken for the user's edits; a local edit remembers its
// keys so that the pull bringing it back is not logged as news. In memory only; every method
// takes the current time from its caller.
class ActivityEchoKeys {
public:
    // How long a key counts as an echo, and how long it is kept.
    static constexpr qint64 localEchoWindowMs = 45000;
    static constexpr qint64 localKeyLifetimeMs = 60000;
    static constexpr qint64 cloudEchoWindowMs = 90000;
    static constexpr qint64 cloudKeyLifetimeMs = 120000;

    // The one normaliser of key texts, shared with the engine: trimmed, every carriage return
    // followed by a line feed read as one line feed, lowercased.
    static QString normalizedKeyText(const QString &text);
    // "title|任务|" + the normalised display title of a reminder + "|" + action. Carries no id, so
    // it also matches the same change on a reminder whose local id differs.
    static QString reminderTitleKey(const QString &title, const QString &action);
    // entity|id|action|normalised title|normalised details joined by "|".
    static QString activityOriginKey(const ActivityChangeLine &line);
    // The origin key, then for a reminder's completion, restoration or recurring advance the
    // id-free title key.
    static QStringList cloudActivityOriginKeys(const ActivityChangeLine &line);

    // The cloudActivityOriginKeys of each line; pure, so a large pull builds them away from the
    // main thread.
    static QList<QStringList> cloudActivityOriginKeys(const QList<ActivityChangeLine> &lines);

    // Cloud side. `lineKeys` holds the cloudActivityOriginKeys of each line.
    void rememberCloudActivity(const QList<QStringList> &lineKeys, const QDateTime &now);
    // What the engine records for each recurring completion it applies: the title keys of both
    // the advance and the completion, for every title.
    void rememberCloudCompletionTitles(const QStringList &titles, const QDateTime &now);
    // True when a key of the line was recorded by a cloud pull less than 90 s ago.
    bool isCloudEcho(const ActivityChangeLine &line, const QDateTime &now);

    // Local side.
    void rememberLocalActivity(const QList<ActivityChangeLine> &lines, const QDateTime &now);
    // True when every line, given by its cloudActivityOriginKeys, was logged as a local edit less
    // than 45 s ago; false for no lines.
    bool shouldSuppressCloudPullActivity(const QList<QStringList> &lineKeys, const QDateTime &now);

    void pruneCloudKeys(const QDateTime &now);
    void pruneLocalKeys(const QDateTime &now);

    const QHash<QString, QDateTime> &recentCloudActivityKeys() const { return m_recentCloudActivityKeys; }
    const QHash<QString, QDateTime> &recentLocalActivityKeys() const { return m_recentLocalActivityKeys; }

private:
    QHash<QString, QDateTime> m_recentLocalActivityKeys;
    QHash<QString, QDateTime> m_recentCloudActivityKeys;
    // The earliest time either map may hold (invalid: unknown), so a check walks its map only
    // once a key can have expired.
    QDateTime m_oldestLocalKey;
    QDateTime m_oldestCloudKey;
};

} // namespace quorvin
