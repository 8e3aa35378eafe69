#include "app/QuorvinUpdateAnnouncer.h"
#include "app/QuorvinUpdateController.h"
#include "app/QuorvinUpdateUserDriver.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/shell/FakeUpdater.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

using namespace quorvin;
using namespace std::chrono_literals;

namespace {

AppcastItem release(const QString &version, const QString &display, const QString &os = {}, bool delta = false)
{
    AppcastItem item;
    item.versionString = version;
    item.displayVersionString = display;
    item.os = os;
    item.isDeltaUpdate = delta;
    item.infoUrl = QUrl(QStringLiteral("https://quorvin.invalid/releases/") + display);
    return item;
}

class FakeAnnouncer final : public QuorvinUpdateAnnouncer {
public:
    bool ready = false;
    QList<QuorvinAvailableUpdate> shown;
    std::function<void()> updateNow;

    bool canAnnounce() const override { return ready; }
    void announce(const QuorvinAvailableUpdate &update, std::function<void()> now) override
    {
        shown.append(update);
        updateNow = std::move(now);
    }
};

} // namespace

TEST(QuorvinUpdateNoticeStore, KeepsTheLatestNoticeAndTheAnnouncedBuilds)
{
    InMemoryUserDefaults defaults;
    QuorvinUpdateNoticeStore notices(defaults);
    EXPECT_FALSE(notices.latest());
    notices.setLatest(QuorvinAvailableUpdate {QStringLiteral("130"), QStringLiteral("1.3")});
    EXPECT_EQ(notices.latest(), (QuorvinAvailableUpdate {QStringLiteral("130"), QStringLiteral("1.3")}));
    notices.setLatest(std::nullopt);
    EXPECT_FALSE(defaults.contains(QStringLiteral("Quorvin.UpdateNotice.Latest.v1")));
    defaults.setBytes(QStringLiteral("Quorvin.UpdateNotice.Latest.v1"), "{\"build\":130}");
    EXPECT_FALSE(notices.latest());

    notices.markAnnounced(QStringLiteral("130"));
    notices.markAnnounced(QStringLiteral("120"));
    notices.markAnnounced(QStringLiteral("130"));
    EXPECT_EQ(defaults.stringArray(QStringLiteral("Quorvin.UpdateNotice.AnnouncedBuilds.v1")),
        (QStringList {QStringLiteral("130"), QStringLiteral("120")}));
}

TEST(QuorvinUpdateController, AsksTheFeedAtMostOnceAMinuteOnTheMonotonicClockAndDaily)
{
    ManualClock clock;
    InMemoryUserDefaults defaults;
    FakeUpdater updater;
    QuorvinUpdateController controller(updater, defaults, clock, QStringLiteral("120"));

    EXPECT_EQ(updater.backgroundChecks, 0);
    ManualClock::drainEvents();
    EXPECT_EQ(updater.backgroundChecks, 1) << "the first check runs on the next turn";

    controller.applicationBecameActive();
    controller.windowBecameKey();
    clock.advance(59s);
    controller.applicationBecameActive();
    EXPECT_EQ(updater.backgroundChecks, 1);
    clock.advance(1s);
    controller.applicationBecameActive();
    EXPECT_EQ(updater.backgroundChecks, 2);

    // The wall clock set back an hour does not hold the next check back.
    clock.setNow(clock.now().addSecs(-3600));
    clock.advance(60s);
    controller.windowBecameKey();
    EXPECT_EQ(updater.backgroundChecks, 3);

    // Never while a check runs, and a skipped check does not count as one.
    clock.advance(60s);
    updater.inProgress = true;
    controller.applicationBecameActive();
    updater.inProgress = false;
    controller.applicationBecameActive();
    EXPECT_EQ(updater.backgroundChecks, 4);

    // Once a day on its own.
    clock.advance(24h);
    EXPECT_EQ(updater.backgroundChecks, 5);
    clock.advance(24h);
    EXPECT_EQ(updater.backgroundChecks, 6);
}

TEST(QuorvinUpdateController, KeepsTheNewestFullBuildAndAnnouncesEachBuildOnce)
{
    ManualClock clock;
    InMemoryUserDefaults defaults;
    FakeUpdater updater;
    QuorvinUpdateNoticeStore(defaults).setLatest(QuorvinAvailableUpdate {QStringLiteral("120"), QStringLiteral("1.2")});
    {
        // A stored notice for the build now installed is not published, but stays stored.
        QuorvinUpdateController installed(updater, defaults, clock, QStringLiteral("120"));
        EXPECT_FALSE(installed.availableUpdate());
        EXPECT_TRUE(installed.notices().latest());
    }
    FakeAnnouncer announcer;
    QuorvinUpdateController controller(updater, defaults, clock, QStringLiteral("110"));
    controller.setAnnouncer(&announcer);
    ASSERT_TRUE(controller.availableUpdate());
    EXPECT_EQ(controller.availableUpdate()->version, QStringLiteral("1.2"));

    // Only deltas and other platforms: nothing changes.
    updater.finishLoading(Appcast {{release(QStringLiteral("200"), QStringLiteral("2.0"), QStringLiteral("macos")),
        release(QStringLiteral("210"), QStringLiteral("2.1"), {}, true)}});
    EXPECT_EQ(controller.availableUpdate()->build, QStringLiteral("120"));

    // The newest full Linux build; of equal versions the first.
    updater.finishLoading(Appcast {{release(QStringLiteral("125"), QStringLiteral("1.2.5")),
        release(QStringLiteral("130"), QStringLiteral("1.3"), QStringLiteral("linux")),
        release(QStringLiteral("130"), QStringLiteral("1.3-second")),
        release(QStringLiteral("900"), QStringLiteral("9.0"), QStringLiteral("macos"))}});
    EXPECT_EQ(controller.availableUpdate(), (QuorvinAvailableUpdate {QStringLiteral("130"), QStringLiteral("1.3")}));
    EXPECT_EQ(controller.notices().latest(), controller.availableUpdate());

    // The announcement waits for a window that can take it, then comes once.
    ManualClock::drainEvents();
    EXPECT_TRUE(announcer.shown.isEmpty());
    announcer.ready = true;
    controller.windowBecameKey();
    ASSERT_EQ(announcer.shown.size(), 1);
    EXPECT_EQ(announcer.shown.first().version, QStringLiteral("1.3"));
    EXPECT_EQ(controller.notices().announcedBuilds(), QStringList {QStringLiteral("130")});
    controller.applicationBecameActive();
    controller.windowBecameKey();
    EXPECT_EQ(announcer.shown.size(), 1);

    // "立即更新" hands over to the framework's check.
    announcer.updateNow();
    EXPECT_EQ(updater.interactiveChecks, 1);

    // A newer build is announced in its turn; asking for the check marks it announced too.
    updater.finishLoading(Appcast {{release(QStringLiteral("140"), QStringLiteral("1.4"))}});
    controller.checkForUpdates();
    EXPECT_EQ(updater.interactiveChecks, 2);
    ManualClock::drainEvents();
    EXPECT_EQ(announcer.shown.size(), 1);

    // The feed's newest is the installed build: the notice goes.
    updater.finishLoading(Appcast {{release(QStringLiteral("110"), QStringLiteral("1.1"))}});
    EXPECT_FALSE(controller.availableUpdate());
    EXPECT_FALSE(controller.notices().latest());
}

TEST(QuorvinUpdateUserDriver, AnUpdateFoundLeadsToItsDownloadPage)
{
    QList<QUrl> opened;
    QuorvinUpdateUserDriver driver([&](const QUrl &url) {
        opened.append(url);
        return true;
    });
    driver.showUpdateFound(release(QStringLiteral("130"), QStringLiteral("1.3")));
    QMessageBox *alert = nullptr;
    for (auto *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("quorvinUpdateCheck") && widget->isVisible()) {
            alert = qobject_cast<QMessageBox *>(widget);
        }
    }
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), QStringLiteral("Quorvin 有新版本"));
    EXPECT_EQ(alert->informativeText(),
        QStringLiteral("版本 1.3 已发布。你可以现在更新，也可以稍后点击窗口顶部的“更新”按钮。"));
    auto *now = alert->findChild<QPushButton *>(QStringLiteral("updateNow"));
    ASSERT_TRUE(now);
    EXPECT_EQ(now->text(), QStringLiteral("立即更新"));
    now->click();
    EXPECT_EQ(opened, QList<QUrl> {QUrl(QStringLiteral("https://quorvin.invalid/releases/1.3"))});
}
