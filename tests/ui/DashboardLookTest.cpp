#include "ApplicationLook.h"
#include "ViewRig.h"
#include "ui/ActivityLogRowModel.h"
#include "ui/ActivityLogRowView.h"
#include "ui/QuorvinAboutSheetView.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinSwitch.h"
#include "ui/QuorvinSyncActionTile.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

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

TEST(DashboardLook, TilesSwitchesAndRowsDrawInTheApplicationsLook)
{
    test::ApplicationLook look(ColorScheme::Light);
    QWidget window;
    QuorvinSyncActionTile refresh(u"手动刷新"_s, QuorvinSymbol::ArrowClockwise, QuorvinMacTheme::accentBlue,
        QuorvinDynamicColor::quorvinDynamic(0xFFFFFF, 0xFFFFFF), &window);
    refresh.resize(160, QuorvinSyncActionTile::tileHeight);
    // Bottom right: away from the symbol and the title.
    const QPoint fill(150, 44);
    EXPECT_EQ(render(refresh).pixelColor(fill).name(), u"#1e88e5"_s);
    look.set(ColorScheme::Dark);
    EXPECT_EQ(render(refresh).pixelColor(fill).name(), u"#4ea3f1"_s);
    // Disabled: faded to 0.55 of its fill.
    refresh.setEnabled(false);
    EXPECT_NEAR(render(refresh).pixelColor(fill).alphaF(), 0.55, 0.01);

    // A switch shows its value in the tint; the knob stays white.
    QuorvinSwitch toggle(QuorvinMacTheme::accentBlue, &window);
    toggle.resize(toggle.sizeHint());
    toggle.setChecked(true);
    const QImage on = render(toggle);
    toggle.setChecked(false);
    const QImage off = render(toggle);
    const QPoint track(6, toggle.height() / 2);
    EXPECT_EQ(on.pixelColor(track).name(), u"#4ea3f1"_s);
    EXPECT_NE(off.pixelColor(track).name(), u"#4ea3f1"_s);

    // An activity row's card follows the look too.
    const ActivityLogLine line {QUuid::createUuid(), QDateTime::currentDateTimeUtc(), u"同步"_s, u"全量拉取"_s, {}};
    ActivityLogRowView row(ActivityLogRowModel(line, line.createdAt), &window);
    row.resize(300, row.sizeHint().height());
    EXPECT_EQ(render(row).pixelColor(290, row.height() / 2).name(), u"#1a1e24"_s);
    look.set(ColorScheme::Light);
    EXPECT_EQ(render(row).pixelColor(290, row.height() / 2).name(), u"#ffffff"_s);
}

TEST(DashboardLook, AboutSheetShowsTheVersionAndClosesOnReturn)
{
    EXPECT_EQ(QuorvinAboutSheetView::versionText(u"1.2"_s, u"34"_s), u"版本 1.2（34）"_s);
    EXPECT_EQ(QuorvinAboutSheetView::versionText(QString(), QString()), u"版本 -（-）"_s);

    test::ViewRig rig;
    QuorvinAboutSheetView sheet(*rig.updates);
    sheet.show();
    EXPECT_GE(sheet.width(), 620);
    EXPECT_GE(sheet.height(), 470);
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}
