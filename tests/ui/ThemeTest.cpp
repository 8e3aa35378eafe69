#include "ApplicationLook.h"
#include "ui/QuorvinAppIconView.h"
#include "ui/QuorvinControlPanelCard.h"
#include "ui/QuorvinMacCard.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinPillButton.h"
#include "ui/QuorvinSoftTextField.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMap>

using namespace quorvin;

namespace {
// The widget alone on a transparent ground.
QImage render(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}
} // namespace

TEST(QuorvinMacTheme, EveryColourResolvesInLightAndDark)
{
    const QMap<QString, std::pair<QString, QString>> expected {
        {QStringLiteral("pageBackground"), {"#f6f7f9", "#101317"}},
        {QStringLiteral("cardBackground"), {"#ffffff", "#1a1e24"}},
        {QStringLiteral("cardBorder"), {"#e5e6eb", "#343a43"}},
        {QStringLiteral("surfaceSubtle"), {"#f2f3f5", "#252b33"}},
        {QStringLiteral("primaryText"), {"#1f2329", "#f2f4f7"}},
        {QStringLiteral("secondaryText"), {"#6b7280", "#a8b0bc"}},
        {QStringLiteral("accentBlue"), {"#1e88e5", "#4ea3f1"}},
        {QStringLiteral("softBlue"), {"#e8f3ff", "#14324a"}},
        {QStringLiteral("success"), {"#22c55e", "#4ade80"}},
        {QStringLiteral("warning"), {"#ff9500", "#ffb454"}},
        {QStringLiteral("danger"), {"#ff3b30", "#ff6961"}},
        {QStringLiteral("systemGray"), {"#8e8e93", "#8f96a3"}},
    };
    ASSERT_EQ(QuorvinMacTheme::all().size(), expected.size());
    for (const auto &[name, color] : QuorvinMacTheme::all()) {
        ASSERT_TRUE(expected.contains(name)) << name.toStdString();
        const QColor light = color.resolve(ColorScheme::Light);
        const QColor dark = color.resolve(ColorScheme::Dark);
        EXPECT_EQ(light.name(), expected[name].first) << name.toStdString();
        EXPECT_EQ(dark.name(), expected[name].second) << name.toStdString();
        EXPECT_EQ(light.alphaF(), 1.0f);
        EXPECT_EQ(dark.alphaF(), 1.0f);
    }
    const QColor translucent = QuorvinDynamicColor::quorvinDynamic(0x102030, 0x405060, 0.5).resolve(ColorScheme::Dark);
    EXPECT_EQ(translucent.name(), QStringLiteral("#405060"));
    EXPECT_EQ(translucent.alpha(), 128);

    // Resolved in the application's look, whatever a widget's own palette holds.
    test::ApplicationLook look(ColorScheme::Dark);
    QWidget widget;
    widget.setPalette(FusionPalette::palette(ColorScheme::Light));
    EXPECT_EQ(QuorvinMacTheme::pageBackground.resolve().name(), QStringLiteral("#101317"));
    look.set(ColorScheme::Light);
    EXPECT_EQ(QuorvinMacTheme::pageBackground.resolve().name(), QStringLiteral("#f6f7f9"));
}

TEST(QuorvinControlStyles, DrawInTheApplicationsLook)
{
    test::ApplicationLook look(ColorScheme::Dark);
    QWidget window;
    auto *card = new QuorvinMacCard(16, 12, &window);
    card->setGeometry(0, 0, 120, 80);
    EXPECT_EQ(card->contentsMargins(), QMargins(16, 16, 16, 16));
    const QImage dark = render(*card);
    EXPECT_EQ(dark.pixelColor(60, 40).name(), QStringLiteral("#1a1e24"));
    EXPECT_EQ(dark.pixelColor(60, 0).name(), QStringLiteral("#343a43")) << "the border runs inside the edge";
    EXPECT_EQ(dark.pixelColor(0, 0).alpha(), 0) << "the corners are round";

    look.set(ColorScheme::Light);
    EXPECT_EQ(render(*card).pixelColor(60, 40).name(), QStringLiteral("#ffffff"));

    QuorvinControlPanelCard tile(96, &window);
    EXPECT_EQ(tile.height(), 96);
    EXPECT_EQ(tile.contentsMargins(), QMargins(13, 13, 13, 13));

    // The soft field's text follows the look as it changes.
    QuorvinSoftTextField field(&window);
    EXPECT_EQ(field.height(), 34);
    EXPECT_EQ(field.palette().color(QPalette::Text).name(), QStringLiteral("#1f2329"));
    look.set(ColorScheme::Dark);
    EXPECT_EQ(field.palette().color(QPalette::Text).name(), QStringLiteral("#f2f4f7"));

    // Pills: 0.48 disabled whether pressed or not, 0.78 only while an enabled one is held down.
    EXPECT_EQ(QuorvinPillButtonStyle::opacity(false, false), 0.48);
    EXPECT_EQ(QuorvinPillButtonStyle::opacity(false, true), 0.48);
    EXPECT_EQ(QuorvinPillButtonStyle::opacity(true, true), 0.78);
    EXPECT_EQ(QuorvinPillButtonStyle::opacity(true, false), 1.0);
    QuorvinPillButton pill(QStringLiteral("手动刷新"),
        {QuorvinMacTheme::accentBlue, QuorvinMacTheme::cardBackground, QuorvinMacTheme::accentBlue, 96, 36}, &window);
    EXPECT_EQ(pill.sizeHint().height(), 36);
    EXPECT_GE(pill.sizeHint().width(), 96 + 20);
    pill.resize(pill.sizeHint());
    EXPECT_EQ(render(pill).pixelColor(pill.width() / 2, 3).name(), QStringLiteral("#4ea3f1"));

    // No bundled icon: the badge on the soft blue fill.
    QuorvinAppIconView icon(64, 14, &window);
    const QImage iconImage = render(icon);
    EXPECT_EQ(iconImage.pixelColor(4, 32).name(), QStringLiteral("#14324a"));
    EXPECT_EQ(iconImage.pixelColor(0, 0).alpha(), 0);
}
