#pragma once

#include "activity/ActivityChangeLine.h"
#include "activity/ActivityEchoKeys.h"
#include "activity/ActivityEntryOutcome.h"
#include "activity/ActivityLogLine.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <QList>
#include <QObject>
#include <QStringList>

namespace quorvin {

class Clock;
class DiagnosticSink;
class UserDefaults;
struct ReminderRefreshEvent;

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

    // ---- what sync did and what the user did, without the echoes of each other
    // The echo keys live here, beside the entries they guard, and nowhere else: the engine adds
    // the keys of the completions it applies through rememberCloudCompletionTitles().
    // After an applied cloud envelope: the reminders and lists as they were before the apply and
    // as they are after it. Adds one "同步" entry unless nothing visible changed or every line is
    // the echo of a local edit.
    // `lines` are what ActivityEntryPoints::cloudPullChangeLines() found, `lineKeys` their
    // ActivityEchoKeys::cloudActivityOriginKeys.
    void appendCloudPullActivityLogIfNeeded(
        bool fullSnapshot, const QList<ActivityChangeLine> &lines, const QList<QStringList> &lineKeys);
    // For every refresh of the reminders; only the user's own refreshes add a "用户操作" entry,
    // without the lines that echo a recent cloud write.
    void appendLocalRefreshActivityLogIfNeeded(const ReminderRefreshEvent &event);
    // The titles of completions about to be written from the cloud (recurring ones, and those made
    // on other devices), recorded before the writes so that the local changes they cause are
    // recognised as echoes.
    void rememberCloudCompletionTitles(const QStringList &titles);
    const ActivityEchoKeys &echoKeys() const { return m_echoKeys; }

Q_SIGNALS:
    void activityLogsChanged();
    // Any published property changed; views re-read what they show.
    void changed();

private:
    void write(const ActivityEntryOutcome &outcome);

    UserDefaults &m_defaults;
    Clock &m_clock;
    DiagnosticSink &m_log;
    QList<ActivityLogLine> m_activityLogs;
    ActivityEchoKeys m_echoKeys;
};

} // namespace quorvin
