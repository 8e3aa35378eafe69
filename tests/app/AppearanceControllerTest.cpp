#include "app/AppVisibility.h"
#include "app/QtTranslations.h"
#include "app/QuorvinAppearanceController.h"
#include "app/QuorvinAppearanceMode.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/shell/FakeDockIconPolicy.h"
#include "platform/shell/FakeSystemAppearance.h"
#include "platform/shell/FusionPalette.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <QTranslator>

#include <memory>

using namespace quorvin;

TEST(QuorvinAppearanceController, ModesAndTheSystemsChanges)
{
    FakeSystemAppearance system(ColorScheme::Light);
    InMemoryUserDefaults defaults;
    QuorvinAppearanceController controller(defaults, system);
    controller.apply(QStringLiteral("system"));

    // A dark desktop answers after launch: its look applies, but nothing changed and nothing is
    // written.
    system.answerFirstRead(ColorScheme::Dark);
    EXPECT_EQ(controller.appliedScheme(), ColorScheme::Dark);
    EXPECT_FALSE(defaults.contains(QStringLiteral("quorvinSystemAppearanceRevision")));

    EXPECT_EQ(QuorvinAppearanceModes::fromRawValue(QStringLiteral("dark")), QuorvinAppearanceMode::Dark);
    EXPECT_EQ(QuorvinAppearanceModes::fromRawValue(QStringLiteral("Dark")), std::nullopt);
    for (const auto mode : QuorvinAppearanceModes::all()) {
        EXPECT_EQ(QuorvinAppearanceModes::fromRawValue(QuorvinAppearanceModes::rawValue(mode)), mode);
    }
    EXPECT_EQ(quorvinPreferredColorScheme(QStringLiteral("light"), 0, system), ColorScheme::Light);
    EXPECT_EQ(quorvinPreferredColorScheme(QStringLiteral("system"), 3, system), ColorScheme::Dark);
    EXPECT_EQ(quorvinPreferredColorScheme(QStringLiteral("sepia"), 0, system), ColorScheme::Dark);

    // The look reaches stock widgets through the Fusion style and its palette.
    controller.apply(QStringLiteral("system"));
    EXPECT_EQ(controller.appliedScheme(), ColorScheme::Dark);
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
    EXPECT_EQ(FusionPalette::schemeOf(QApplication::palette()), ColorScheme::Dark);
    controller.apply(QStringLiteral("light"));
    EXPECT_EQ(FusionPalette::schemeOf(QApplication::palette()), ColorScheme::Light);

    // A fixed mode ignores the system: no revision, no new look.
    defaults.setString(QStringLiteral("quorvinAppearanceMode"), QStringLiteral("light"));
    system.setColorScheme(ColorScheme::Light);
    system.setColorScheme(ColorScheme::Dark);
    EXPECT_FALSE(defaults.contains(QStringLiteral("quorvinSystemAppearanceRevision")));
    EXPECT_EQ(controller.appliedScheme(), ColorScheme::Light);

    // Following the system (or an unknown mode): each change counts and re-applies.
    defaults.setString(QStringLiteral("quorvinAppearanceMode"), QStringLiteral("bogus"));
    system.setColorScheme(ColorScheme::Light);
    EXPECT_EQ(defaults.integer(QStringLiteral("quorvinSystemAppearanceRevision")), 1);
    EXPECT_EQ(controller.appliedScheme(), ColorScheme::Light);
    defaults.remove(QStringLiteral("quorvinAppearanceMode"));
    system.setColorScheme(ColorScheme::Dark);
    EXPECT_EQ(defaults.integer(QStringLiteral("quorvinSystemAppearanceRevision")), 2);
    EXPECT_EQ(controller.appliedScheme(), ColorScheme::Dark);
    EXPECT_EQ(FusionPalette::schemeOf(QApplication::palette()), ColorScheme::Dark);
    controller.apply(QStringLiteral("light"));
}

TEST(AppVisibility, ChangesThePolicyOnlyWhenItDiffers)
{
    FakeDockIconPolicy policy;
    AppVisibility visibility(policy);
    visibility.apply(true, false);
    EXPECT_EQ(policy.changeCount, 0);
    visibility.apply(false, true);
    EXPECT_EQ(policy.policy, ActivationPolicy::Accessory);
    EXPECT_EQ(policy.changeCount, 1);
    policy.refuse = true;
    visibility.apply(true, false);
    EXPECT_EQ(policy.policy, ActivationPolicy::Accessory);
}

TEST(QtTranslations, QtsOwnDialogsAndMenusSpeakChinese)
{
    std::unique_ptr<QTranslator> translator(QtTranslations::install(*QCoreApplication::instance()));
    ASSERT_TRUE(translator) << "qt6-translations-l10n is missing";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Copy"));
    QCoreApplication::removeTranslator(translator.get());
}
