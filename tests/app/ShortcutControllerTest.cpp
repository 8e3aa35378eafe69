#include "app/MainWindowShortcutController.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/shell/FakeGlobalHotKeys.h"

#include <gtest/gtest.h>

using namespace quorvin;

TEST(MainWindowShortcutController, RegistersOnlyWhileEnabledAndActsOnlyWhileStillEnabled)
{
    FakeGlobalHotKeys hotKeys;
    InMemoryUserDefaults defaults;
    int opened = 0;
    MainWindowShortcutController controller(hotKeys, defaults, [&] { ++opened; });
    const QKeyCombination altShiftL(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_L);

    // Never written: off, nothing registered, the keys do nothing.
    controller.install();
    EXPECT_FALSE(controller.isEnabled());
    EXPECT_TRUE(hotKeys.registered().isEmpty());
    EXPECT_FALSE(hotKeys.press(altShiftL));

    controller.applySetting(true);
    EXPECT_TRUE(controller.isRegistered());
    EXPECT_EQ(hotKeys.registered().value(MainWindowShortcutController::hotKeyId), altShiftL);
    ASSERT_TRUE(hotKeys.press(altShiftL));
    EXPECT_EQ(opened, 0) << "acted on from the event loop, not inside the key handler";
    ManualClock::drainEvents();
    EXPECT_EQ(opened, 1);

    // The same value again does not re-register.
    const int registrations = hotKeys.registrationCount;
    controller.applySetting(true);
    EXPECT_EQ(hotKeys.registrationCount, registrations);

    // A press that arrives just before the shortcut is turned off opens nothing.
    ASSERT_TRUE(hotKeys.press(altShiftL));
    controller.applySetting(false);
    ManualClock::drainEvents();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(hotKeys.registered().isEmpty());

    // Another program owns the keys: refused silently, still enabled; the next change tries again.
    hotKeys.refuse = true;
    controller.applySetting(true);
    EXPECT_TRUE(controller.isEnabled());
    EXPECT_FALSE(controller.isRegistered());
    hotKeys.refuse = false;
    controller.applySetting(false);
    controller.applySetting(true);
    EXPECT_TRUE(controller.isRegistered());

    // Installing again with the setting on keeps the shortcut working.
    defaults.setBoolean(QStringLiteral("mainWindowShortcutEnabled"), true);
    controller.install();
    controller.install();
    EXPECT_TRUE(controller.isRegistered());
    ASSERT_TRUE(hotKeys.press(altShiftL));
    ManualClock::drainEvents();
    EXPECT_EQ(opened, 2) << "one press opens once, however often the handler was installed";

    // Other ids are not this shortcut.
    Q_EMIT hotKeys.pressed(7);
    ManualClock::drainEvents();
    EXPECT_EQ(opened, 2);
}
