#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace quorvin {

// The main window's two looks: signed in, a normal titled window that only widens, 880 wide and as
// high as the toolbar row plus the 618 of the page below it; signed out, a borderless, transparent
// 640 × 360 card dragged by its background.
struct QuorvinWindowStateMetrics {
    QSize contentSize;
    QSize contentMinimum;
    QSize contentMaximum;
    bool framed = true;
};

class QuorvinWindowController {
public:
    // The signed-in window's toolbar row, drawn inside the window above the page.
    static constexpr int toolbarHeight = 52;
    static constexpr int pageHeight = 618;

    static QuorvinWindowStateMetrics metrics(bool isAuthenticated);

    // `frame` moved the least it takes to lie in `area`; one larger than the area keeps its
    // top-left corner in it, so the title bar stays reachable.
    static QRect clampedFrame(const QRect &frame, const QRect &area);

    // The frame for content of `contentSize` around a window now at `currentFrame` whose frame
    // adds `frameMargins` to its content: the current centre is kept, then the frame is pulled
    // into `visibleArea` (the screen without its panels) when there is one. A frame larger than
    // the area keeps its top-left corner in it, so the title bar stays reachable. Absent when
    // width and height both are within 1 pixel of the current frame: the window stays put.
    static std::optional<QRect> targetFrame(
        const QRect &currentFrame, const QMargins &frameMargins, QSize contentSize, std::optional<QRect> visibleArea);

    // Brings a top-level widget's chrome, size limits and frame in line with the sign-in state.
    // A window that gains a title bar learns its size only once the window manager has framed
    // it; the frame is then pulled onto the screen once more.
    static void apply(bool isAuthenticated, QWidget *window);
};

} // namespace quorvin
