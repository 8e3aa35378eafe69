#include "app/AppVisibility.h"
#include "app/MainWindowShortcutController.h"
#include "app/QuorvinAppDelegate.h"
#include "app/QuorvinAppearanceController.h"
#include "app/QuorvinMainWindowController.h"
#include "app/QuorvinStatusBarController.h"
#include "app/QuorvinUpdateController.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "platform/shell/FakeDockIconPolicy.h"
#include "platform/shell/FakeGlobalHotKeys.h"
#include "platform/shell/FakeLoginItem.h"
#include "platform/shell/FakeStatusBar.h"
#include "platform/shell/FakeSystemAppearance.h"
#include "platform/shell/FakeUpdater.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "sync/QuorvinMacService.h"

#include <gtest/gtest.h>

#include <QWidget>

using namespace quorvin;
using namespace quorvin::test;

namespace {

// The application's pieces with the desktop's services faked and a real service on the test
// cloud, signed out.
struct AppRig {
    ManualClock clock;
    CloudServer server {clock};
    InProcessHttpSession http {server, clock};
    InMemoryReminderStore store {clock};
    InMemoryUserDefaults defaults;
    FakeStatusBar statusBar;
    FakeGlobalHotKeys hotKeys;
    FakeDockIconPolicy dock;
    FakeSystemAppearance system {ColorScheme::Light};
    FakeLoginItem loginItem;
    FakeUpdater updater;
    std::unique_ptr<QuorvinMacService> service;
    std::unique_ptr<QuorvinUpdateController> updates;
    std::unique_ptr<QuorvinAppDelegate> delegate;
    int contentsBuilt = 0;
    int terminated = 0;

    void launch()
    {
        defaults.setString(QStringLiteral("Quorvin.CloudBaseURL"), InProcessHttpSession::baseUrl());
        service = std::make_unique<QuorvinMacService>(defaults, http, clock, store);
        updates = std::make_unique<QuorvinUpdateController>(updater, defaults, clock, QStringLiteral("1"));
        delegate = std::make_unique<QuorvinAppDelegate>(
            *service, defaults, *updates, QuorvinAppDelegate::Shell {statusBar, hotKeys, dock, system, loginItem},
            [this](const QuorvinAppContext &context) {
                EXPECT_EQ(&context.service, service.get());
                ++contentsBuilt;
                return new QWidget;
            },
            [this] { ++terminated; });
        delegate->applicationDidFinishLaunching();
    }

    QWidget *window() const { return delegate->mainWindowController()->mainWindow(); }

    ~AppRig()
    {
        delegate.reset();
        if (service) {
            service->shutdown();
        }
        ManualClock::drainEvents();
    }
};

} // namespace

TEST(QuorvinAppDelegate, LaunchingSetsUpEachPieceFromTheSettingsThenFollowsTheirChanges)
{
    AppRig rig;
    rig.defaults.setBoolean(QStringLiteral("showDockIcon"), false);
    rig.defaults.setBoolean(QStringLiteral("mainWindowShortcutEnabled"), true);
    rig.defaults.setString(QStringLiteral("quorvinAppearanceMode"), QStringLiteral("dark"));
    rig.launch();

    EXPECT_EQ(rig.dock.policy, ActivationPolicy::Accessory);
    ASSERT_NE(rig.delegate->appearanceController(), nullptr);
    EXPECT_EQ(rig.delegate->appearanceController()->appliedScheme(), ColorScheme::Dark);
    EXPECT_EQ(rig.statusBar.itemCount(), 1);
    EXPECT_TRUE(rig.hotKeys.registered().contains(MainWindowShortcutController::hotKeyId));
    // The sync service has started, and the main window opened signed out: the login card.
    EXPECT_EQ(rig.service->lastSyncAttemptStatus(), QStringLiteral("同步中"));
    ASSERT_NE(rig.window(), nullptr);
    EXPECT_TRUE(rig.window()->isVisible());
    EXPECT_EQ(rig.window()->size(), QSize(640, 360));
    EXPECT_TRUE(rig.window()->windowFlags() & Qt::FramelessWindowHint);

    // Each piece exists once.
    const auto *statusBarController = rig.delegate->statusBarController();
    rig.delegate->installStatusBarControllerIfNeeded();
    rig.delegate->installShortcutIfNeeded();
    rig.delegate->applicationDidFinishLaunching();
    EXPECT_EQ(rig.delegate->statusBarController(), statusBarController);
    EXPECT_EQ(rig.hotKeys.registrationCount, 1);
    EXPECT_EQ(rig.contentsBuilt, 1);

    // Changed settings reach the piece that follows them.
    rig.defaults.setBoolean(QStringLiteral("showDockIcon"), true);
    EXPECT_EQ(rig.dock.policy, ActivationPolicy::Regular);
    rig.defaults.setBoolean(QStringLiteral("mainWindowShortcutEnabled"), false);
    EXPECT_TRUE(rig.hotKeys.registered().isEmpty());
    rig.defaults.setString(QStringLiteral("quorvinAppearanceMode"), QStringLiteral("light"));
    EXPECT_EQ(rig.delegate->appearanceController()->appliedScheme(), ColorScheme::Light);
    rig.defaults.setBoolean(QStringLiteral("showMenuBarIcon"), false);
    EXPECT_EQ(rig.statusBar.itemCount(), 0);
    rig.defaults.setBoolean(QStringLiteral("showMenuBarIcon"), true);

    // Closing the window leaves the application running; the status menu opens a new one, and
    // quitting from it goes through the confirmation to the application's end.
    rig.window()->close();
    ManualClock::drainEvents();
    EXPECT_EQ(rig.window(), nullptr);
    const int itemsBefore = rig.statusBar.addedCount();
    ASSERT_TRUE(rig.statusBar.trigger(QStringLiteral("打开 Quorvin")));
    ASSERT_NE(rig.window(), nullptr);
    EXPECT_EQ(rig.contentsBuilt, 2);
    EXPECT_EQ(rig.statusBar.addedCount(), itemsBefore + 1) << "opening is an activation: the item is rebuilt";

    // A later launch brings the same window forward.
    QWidget *window = rig.window();
    window->showMinimized();
    rig.delegate->applicationShouldHandleReopen();
    EXPECT_EQ(rig.window(), window);
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(rig.terminated, 0);
}
