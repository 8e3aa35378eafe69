#include "app/QuorvinUpdateController.h"

#include "app/QuorvinUpdateAnnouncer.h"
#include "platform/concurrency/Clock.h"
#include "platform/concurrency/Spawn.h"
#include "platform/shell/Appcast.h"
#include "platform/shell/Updater.h"
#include "platform/shell/VersionComparator.h"

#include <QTimer>

namespace quorvin {

QuorvinUpdateController::QuorvinUpdateController(
    Updater &updater, UserDefaults &defaults, Clock &clock, QString installedBuild, QObject *parent)
    : QObject(parent)
    , m_updater(updater)
    , m_clock(clock)
    , m_notices(defaults)
    , m_installedBuild(std::move(installedBuild))
{
    // The stored notice stays stored even when it is no longer newer; the next feed load
    // replaces it.
    if (const auto stored = m_notices.latest();
        stored && VersionComparator::compare(m_installedBuild, stored->build) < 0) {
        m_availableUpdate = stored;
    }
    connect(&m_updater, &Updater::didFinishLoading, this, &QuorvinUpdateController::handleAppcast);
    spawn(runDailyChecks(this, m_stop.token()), QStringLiteral("daily update checks"));
    QTimer::singleShot(0, this, &QuorvinUpdateController::refreshAvailability);
}

QuorvinUpdateController::~QuorvinUpdateController()
{
    m_stop.cancel();
}

QCoro::Task<void> QuorvinUpdateController::runDailyChecks(QPointer<QuorvinUpdateController> self, CancelToken stop)
{
    Clock &clock = m_clock;
    try {
        while (true) {
            co_await clock.sleep(checkPeriod, stop);
            if (!self) {
                co_return;
            }
            self->refreshAvailability();
        }
    } catch (const CancelledError &) {
    }
}

void QuorvinUpdateController::refreshAvailability()
{
    if (m_updater.sessionInProgress()) {
        return;
    }
    // Measured on the monotonic clock: a wall clock set back must not stall the checks.
    const auto now = m_clock.monotonicNow();
    if (m_lastCheckAt && now - *m_lastCheckAt < minimumCheckInterval) {
        return;
    }
    m_lastCheckAt = now;
    m_updater.checkForUpdateInformation();
}

void QuorvinUpdateController::handleAppcast(const Appcast &appcast)
{
    const auto newest = appcast.newestFullItem();
    if (!newest) {
        return;
    }
    std::optional<QuorvinAvailableUpdate> candidate;
    if (VersionComparator::compare(m_installedBuild, newest->versionString) < 0) {
        candidate = QuorvinAvailableUpdate {newest->versionString, newest->displayVersionString};
    }
    setAvailableUpdate(candidate);
    m_notices.setLatest(candidate);
    QTimer::singleShot(0, this, &QuorvinUpdateController::showAnnouncementIfNeeded);
}

void QuorvinUpdateController::setAvailableUpdate(std::optional<QuorvinAvailableUpdate> update)
{
    if (update != m_availableUpdate) {
        m_availableUpdate = std::move(update);
        Q_EMIT availableUpdateChanged();
    }
}

void QuorvinUpdateController::showAnnouncementIfNeeded()
{
    if (!m_availableUpdate || m_notices.announcedBuilds().contains(m_availableUpdate->build) || !m_announcer
        || !m_announcer->canAnnounce()) {
        return;
    }
    const auto update = *m_availableUpdate;
    // Marked before it is shown: each build is announced once, whatever the user then chooses.
    m_notices.markAnnounced(update.build);
    m_announcer->announce(update, [self = QPointer<QuorvinUpdateController>(this)] {
        if (self) {
            self->checkForUpdates();
        }
    });
}

void QuorvinUpdateController::checkForUpdates()
{
    if (m_availableUpdate) {
        m_notices.markAnnounced(m_availableUpdate->build);
    }
    m_updater.checkForUpdates();
}

void QuorvinUpdateController::windowBecameKey()
{
    refreshAvailability();
    showAnnouncementIfNeeded();
}

void QuorvinUpdateController::applicationBecameActive()
{
    refreshAvailability();
    showAnnouncementIfNeeded();
}

} // namespace quorvin
