#pragma once

#include "activity/ActivityLogLine.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace quorvin {

class AppVisibility;
class Clock;
class ContentViewModel;
class QuorvinMacService;
struct QuorvinAppContext;

// The signed-in page: the sync overview and its metrics, the operations, the desktop-behaviour
// switches and the recent activity. It holds no state of its own: it reads the service's
// published state and the main view's settings, and opens the main view's dialogs.
class DashboardViewModel : public QObject {
    Q_OBJECT
public:
    DashboardViewModel(const QuorvinAppContext &context, ContentViewModel &content, QObject *parent = nullptr);

    // ---- overview; an empty value shows as "-"
    QString reminderCountText() const;
    QString localCursorText() const;
    QString cloudCursorText() const;
    QString cloudBaseURLText() const;
    QString syncResultText() const;

    // ---- operations. Only the cleanup tile is ever disabled: while a cleanup step runs.
    QString cleanupTileTitle() const;
    bool isCleanupTileEnabled() const;
    void manualRefresh();
    // Open the rebuild and the cleanup confirmations.
    void requestCloudRebuild();
    void requestCompletedCleanup();
    // Asks first; ends the application on a yes.
    void quit();
    // The question quit() asks; the real confirmation unless replaced (tests).
    void setConfirmQuit(std::function<bool()> confirm) { m_confirmQuit = std::move(confirm); }

    // ---- desktop behaviour; each switch writes its setting at once
    bool showDockIcon() const;
    void setShowDockIcon(bool value);
    bool showMenuBarIcon() const;
    void setShowMenuBarIcon(bool value);
    bool mainWindowShortcutEnabled() const;
    void setMainWindowShortcutEnabled(bool value);
    // The hint under the shortcut switch, shown while the shortcut is on.
    bool showsShortcutHint() const { return mainWindowShortcutEnabled(); }

    // ---- recent activity, newest first, never more than the log keeps
    QList<ActivityLogLine> activityLogs() const;
    void clearActivityLogs();
    // The instant relative times are measured from.
    QDateTime now() const;
    Clock &clock() const;

Q_SIGNALS:
    // Anything of the overview, the tiles or the switches may have changed.
    void changed();
    void activityLogsChanged();

private:
    QuorvinMacService &m_service;
    ContentViewModel &m_content;
    AppVisibility &m_visibility;
    std::function<void()> m_terminate;
    std::function<bool()> m_confirmQuit;
};

} // namespace quorvin
