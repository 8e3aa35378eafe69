#pragma once

#include "app/QuorvinAvailableUpdate.h"
#include "app/QuorvinUpdateNoticeStore.h"
#include "platform/concurrency/CancelToken.h"

#include <QObject>
#include <QPointer>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

namespace quorvin {

struct Appcast;
class Clock;
class QuorvinUpdateAnnouncer;
class Updater;
class UserDefaults;

// Drives the update framework one way: it asks the feed only for information (at start, once a
// day, when the application becomes active and when the main window becomes key; never twice
// within a minute and never while a check runs), keeps the newest full build newer than the
// installed one as availableUpdate (also across launches), announces each such build once, and
// hands the checks the user asks for to the framework.
class QuorvinUpdateController : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::seconds minimumCheckInterval {60};
    static constexpr std::chrono::hours checkPeriod {24};

    // Publishes the stored notice when it is still newer than `installedBuild`, starts the daily
    // checks and schedules the first one for the next turn of the event loop.
    QuorvinUpdateController(
        Updater &updater, UserDefaults &defaults, Clock &clock, QString installedBuild, QObject *parent = nullptr);
    ~QuorvinUpdateController() override;

    const std::optional<QuorvinAvailableUpdate> &availableUpdate() const { return m_availableUpdate; }
    const QString &installedBuild() const { return m_installedBuild; }
    QuorvinUpdateNoticeStore &notices() { return m_notices; }

    // The main window's announcer; null while there is none. Not owned.
    void setAnnouncer(QuorvinUpdateAnnouncer *announcer) { m_announcer = announcer; }

    // The throttled quiet check.
    void refreshAvailability();
    // The one-time announcement, when every condition holds.
    void showAnnouncementIfNeeded();
    // The check the user asks for (status menu, title button, about sheet, announcement).
    void checkForUpdates();

    void windowBecameKey();
    void applicationBecameActive();

Q_SIGNALS:
    void availableUpdateChanged();

private:
    void handleAppcast(const Appcast &appcast);
    void setAvailableUpdate(std::optional<QuorvinAvailableUpdate> update);
    QCoro::Task<void> runDailyChecks(QPointer<QuorvinUpdateController> self, CancelToken stop);

    Updater &m_updater;
    Clock &m_clock;
    QuorvinUpdateNoticeStore m_notices;
    QString m_installedBuild;
    QuorvinUpdateAnnouncer *m_announcer = nullptr;
    std::optional<QuorvinAvailableUpdate> m_availableUpdate;
    std::optional<std::chrono::milliseconds> m_lastCheckAt;
    CancelSource m_stop;
};

} // namespace quorvin
