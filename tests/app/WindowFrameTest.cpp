#include "app/QuorvinWindowController.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

using namespace quorvin;

TEST(QuorvinWindowController, FrameKeepsTheCentreAndStaysOnScreen)
{
    const QRect screen(0, 30, 1440, 870); // the area left by a top panel
    const QMargins none;
    struct Row {
        const char *what;
        QRect current;
        QMargins margins;
        QSize content;
        std::optional<QRect> area;
        std::optional<QRect> expected;
    };
    const Row rows[] = {
        {"grows around its centre", QRect(400, 300, 640, 360), none, QSize(880, 618), screen,
            QRect(280, 171, 880, 618)},
        {"shrinks around its centre", QRect(280, 171, 880, 618), none, QSize(640, 360), screen,
            QRect(400, 300, 640, 360)},
        {"the frame adds its margins", QRect(400, 300, 640, 360), QMargins(1, 28, 1, 1), QSize(880, 618), screen,
            QRect(279, 157, 882, 647)},
        {"pulled back from the right and bottom edges", QRect(1200, 700, 640, 360), none, QSize(880, 618), screen,
            QRect(560, 282, 880, 618)},
        {"pulled back from the left and top edges", QRect(-50, 0, 640, 360), none, QSize(880, 618), screen,
            QRect(0, 30, 880, 618)},
        {"larger than the screen keeps its top-left corner on it", QRect(100, 100, 640, 360), none, QSize(2000, 1000),
            screen, QRect(0, 30, 2000, 1000)},
        {"no screen: no clamping", QRect(-500, -500, 640, 360), none, QSize(880, 618), std::nullopt,
            QRect(-620, -629, 880, 618)},
        {"within a pixel: left alone", QRect(3000, 3000, 881, 617), none, QSize(880, 618), screen, std::nullopt},
        {"one side off by two: re-framed", QRect(280, 171, 882, 618), none, QSize(880, 618), screen,
            QRect(281, 171, 880, 618)},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(QuorvinWindowController::targetFrame(row.current, row.margins, row.content, row.area), row.expected)
            << row.what;
    }

    // A card near the bottom turned into a titled window: once its title bar is known, the whole
    // frame is pulled back onto the screen.
    EXPECT_EQ(QuorvinWindowController::clampedFrame(QRect(280, 260, 882, 699), screen), QRect(280, 201, 882, 699));
    EXPECT_EQ(QuorvinWindowController::clampedFrame(QRect(280, 100, 882, 699), screen), QRect(280, 100, 882, 699));
}

TEST(QuorvinWindowController, AppliesTheSizesAndChromeOfEachState)
{
    // The page below the toolbar row keeps its full 618.
    const auto in = QuorvinWindowController::metrics(true);
    EXPECT_EQ(in.contentSize, QSize(880, 670));
    EXPECT_EQ(in.contentMinimum, QSize(880, 670));
    EXPECT_EQ(in.contentMaximum, QSize(10000, 670));
    const auto out = QuorvinWindowController::metrics(false);
    EXPECT_EQ(out.contentMinimum, QSize(640, 360));
    EXPECT_EQ(out.contentMaximum, QSize(640, 360));

    // Whatever the test screen, the window lands where the frame computation puts it, measured
    // before the new size limits resize the window from its corner.
    QWidget window;
    window.setGeometry(QRect(QPoint(300, 200), QSize(880, 670)));
    window.show();
    const auto area = window.screen()->availableGeometry();
    const auto margins = [&] {
        const QRect frame = window.frameGeometry();
        const QRect content = window.geometry();
        return QMargins(content.left() - frame.left(), content.top() - frame.top(), frame.right() - content.right(),
            frame.bottom() - content.bottom());
    };

    auto expected = QuorvinWindowController::targetFrame(window.frameGeometry(), margins(), QSize(640, 360), area);
    ASSERT_TRUE(expected);
    QuorvinWindowController::apply(false, &window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(window.windowTitle().isEmpty());
    EXPECT_EQ(window.frameGeometry().topLeft(), expected->topLeft());
    EXPECT_EQ(window.size(), QSize(640, 360));

    expected = QuorvinWindowController::targetFrame(window.frameGeometry(), margins(), QSize(880, 670), area);
    ASSERT_TRUE(expected);
    QuorvinWindowController::apply(true, &window);
    EXPECT_FALSE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quorvin"));
    EXPECT_EQ(window.frameGeometry().topLeft(), expected->topLeft());
    EXPECT_EQ(window.size(), QSize(880, 670));
    EXPECT_EQ(window.minimumSize(), QSize(880, 670));
    EXPECT_EQ(window.maximumSize(), QSize(10000, 670));

    // Already the right size: the window stays where the user put it, even partly off screen.
    window.move(-100, 50);
    const QRect placed = window.frameGeometry();
    QuorvinWindowController::apply(true, &window);
    EXPECT_EQ(window.frameGeometry(), placed);
}
