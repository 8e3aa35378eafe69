#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace quorvin {

// The small line pictures of the main window's tiles, rows and buttons, drawn rather than loaded
// so that they take any colour and size.
enum class QuorvinSymbol {
    Checklist,
    ChecklistChecked,
    ConnectedPoints,
    Cloud,
    CloudArrowUp,
    Network,
    CheckmarkSeal,
    CirclingArrows,
    DesktopComputer,
    ArrowClockwise,
    Power,
    DockRectangle,
    MenuBarRectangle,
    Keyboard,
    Trash,
    ClockCheckmark,
    InfoCircle,
    Stethoscope,
};

namespace QuorvinSymbols {

// Draws `symbol` in `color`, centred in the largest square that fits `box`; `weight` scales the
// line width (1 regular, 1.3 semibold).
void paint(QPainter &painter, QuorvinSymbol symbol, const QRectF &box, const QColor &color, qreal weight = 1.0);

} // namespace QuorvinSymbols

} // namespace quorvin
