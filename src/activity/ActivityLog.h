#pragma once

#include "activity/ActivityLogLine.h"

#include <QList>
#include <QObject>
#include <QStringList>

namespace quorvin {

class Clock;
class DiagnosticSink;
class UserDefaults;

// The user-facing activity history: entries newest first, at most QuorvinActivityLogStore::maxEntries,
// persisted after every change so that it survives restarts. Loaded when it is built.
class ActivityLog : public QObject {
    Q_OBJECT
public:
    ActivityLog(UserDefaults &defaults, Clock &clock, DiagnosticSink &log, QObject *parent = nullptr);

    const QList<ActivityLogLine> &activityLogs() const { return m_activityLogs; }

    // Adds one entry with a trimmed, non-empty summary (a blank one adds nothing) and at most eight
    // trimmed, non-empty details. A sync failure that repeats the newest entry is not added again.
    void appendActivityLog(const QString &category, const QString &summary, const QStringList &details);
    void clearActivityLogs();

Q_SIGNALS:
    void activityLogsChanged();
    // Any published property changed; views re-read what they show.
    void changed();

private:
    UserDefaults &m_defaults;
    Clock &m_clock;
    DiagnosticSink &m_log;
    QList<ActivityLogLine> m_activityLogs;
};

} // namespace quorvin
