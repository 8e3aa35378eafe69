#include "ui/QuorvinSymbol.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <algorithm>

namespace quorvin::QuorvinSymbols {

namespace {

// Every symbol is drawn on a 16 x 16 grid.
constexpr qreal grid = 16.0;

QPainterPath cloudOutline()
{
    QPainterPath cloud;
    cloud.moveTo(4.5, 12.5);
    cloud.cubicTo(2.3, 12.5, 1.0, 11.0, 1.0, 9.3);
    cloud.cubicTo(1.0, 7.6, 2.3, 6.3, 3.9, 6.3);
    cloud.cubicTo(4.4, 4.1, 6.2, 2.8, 8.2, 2.8);
    cloud.cubicTo(10.6, 2.8, 12.4, 4.6, 12.6, 6.9);
    cloud.cubicTo(14.1, 7.1, 15.0, 8.3, 15.0, 9.7);
    cloud.cubicTo(15.0, 11.3, 13.8, 12.5, 12.1, 12.5);
    cloud.closeSubpath();
    return cloud;
}

void arrowHead(QPainter &painter, QPointF tip, qreal angleDegrees, qreal length = 2.6)
{
    // Two strokes back from the tip, 40 degrees either side of the reversed direction.
    for (const qreal side : {-40.0, 40.0}) {
        const qreal a = qDegreesToRadians(angleDegrees + 180.0 + side);
        painter.drawLine(tip, tip + QPointF(qCos(a), -qSin(a)) * length);
    }
}

void checkMark(QPainter &painter, QPointF start, qreal size)
{
    QPainterPath check;
    check.moveTo(start);
    check.lineTo(start + QPointF(size * 0.35, size * 0.35));
    check.lineTo(start + QPointF(size, -size * 0.45));
    painter.drawPath(check);
}

void draw(QPainter &p, QuorvinSymbol symbol)
{
    switch (symbol) {
    case QuorvinSymbol::Checklist:
    case QuorvinSymbol::ChecklistChecked:
        for (int row = 0; row < 3; ++row) {
            const qreal y = 3.5 + row * 4.5;
            if (symbol == QuorvinSymbol::ChecklistChecked) {
                checkMark(p, QPointF(1.2, y), 3.4);
            } else {
                p.drawEllipse(QPointF(2.8, y), 1.2, 1.2);
            }
            p.drawLine(QPointF(6.5, y), QPointF(15.0, y));
        }
        break;
    case QuorvinSymbol::ConnectedPoints: {
        const QPointF a(8.0, 2.8), b(2.6, 13.0), c(13.4, 13.0);
        QPen dotted = p.pen();
        dotted.setStyle(Qt::DotLine);
        p.save();
        p.setPen(dotted);
        p.drawLine(a, b);
        p.drawLine(b, c);
        p.drawLine(c, a);
        p.restore();
        p.save();
        p.setBrush(p.pen().color());
        for (const QPointF &point : {a, b, c}) {
            p.drawEllipse(point, 1.8, 1.8);
        }
        p.restore();
        break;
    }
    case QuorvinSymbol::Cloud:
        p.drawPath(cloudOutline());
        break;
    case QuorvinSymbol::CloudArrowUp:
        p.drawPath(cloudOutline());
        p.drawLine(QPointF(8.0, 11.0), QPointF(8.0, 6.2));
        arrowHead(p, QPointF(8.0, 6.2), 90.0, 2.2);
        break;
    case QuorvinSymbol::Network:
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.drawEllipse(QPointF(8, 8), 2.8, 6.5);
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(2.6, 4.6), QPointF(13.4, 4.6));
        p.drawLine(QPointF(2.6, 11.4), QPointF(13.4, 11.4));
        break;
    case QuorvinSymbol::CheckmarkSeal: {
        QPainterPath seal;
        constexpr int points = 12;
        for (int i = 0; i <= 2 * points; ++i) {
            const qreal angle = M_PI * i / points;
            const qreal radius = i % 2 == 0 ? 7.0 : 5.9;
            const QPointF point(8.0 + radius * qCos(angle), 8.0 + radius * qSin(angle));
            if (i == 0) {
                seal.moveTo(point);
            } else {
                seal.lineTo(point);
            }
        }
        p.drawPath(seal);
        checkMark(p, QPointF(5.0, 8.2), 6.0);
        break;
    }
    case QuorvinSymbol::CirclingArrows: {
        const QRectF ring(2.0, 2.0, 12.0, 12.0);
        QPainterPath upper;
        upper.arcMoveTo(ring, 160);
        upper.arcTo(ring, 160, -140);
        p.drawPath(upper);
        arrowHead(p, upper.currentPosition(), -70.0);
        QPainterPath lower;
        lower.arcMoveTo(ring, 340);
        lower.arcTo(ring, 340, -140);
        p.drawPath(lower);
        arrowHead(p, lower.currentPosition(), 110.0);
        break;
    }
    case QuorvinSymbol::DesktopComputer:
        p.drawRoundedRect(QRectF(1.5, 2.0, 13.0, 9.0), 1.5, 1.5);
        p.drawLine(QPointF(8.0, 11.0), QPointF(8.0, 13.8));
        p.drawLine(QPointF(5.0, 14.0), QPointF(11.0, 14.0));
        break;
    case QuorvinSymbol::ArrowClockwise: {
        const QRectF ring(2.2, 2.5, 11.6, 11.6);
        QPainterPath arc;
        arc.arcMoveTo(ring, 110);
        arc.arcTo(ring, 110, -300);
        p.drawPath(arc);
        arrowHead(p, arc.currentPosition(), 10.0);
        break;
    }
    case QuorvinSymbol::Power: {
        const QRectF ring(2.0, 2.8, 12.0, 12.0);
        QPainterPath arc;
        // Open at the top, where the stroke goes in.
        arc.arcMoveTo(ring, 120);
        arc.arcTo(ring, 120, 300);
        p.drawPath(arc);
        p.drawLine(QPointF(8.0, 1.5), QPointF(8.0, 8.0));
        break;
    }
    case QuorvinSymbol::DockRectangle:
        p.drawRoundedRect(QRectF(1.5, 2.5, 13.0, 11.0), 2.0, 2.0);
        p.drawLine(QPointF(4.5, 11.0), QPointF(11.5, 11.0));
        break;
    case QuorvinSymbol::MenuBarRectangle:
        p.drawRoundedRect(QRectF(1.5, 2.5, 13.0, 11.0), 2.0, 2.0);
        p.drawLine(QPointF(1.5, 5.5), QPointF(14.5, 5.5));
        break;
    case QuorvinSymbol::Keyboard:
        p.drawRoundedRect(QRectF(1.0, 3.5, 14.0, 9.0), 1.8, 1.8);
        p.save();
        p.setBrush(p.pen().color());
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 5; ++column) {
                p.drawEllipse(QPointF(3.6 + column * 2.2, 6.0 + row * 2.1), 0.35, 0.35);
            }
        }
        p.restore();
        p.drawLine(QPointF(5.0, 10.5), QPointF(11.0, 10.5));
        break;
    case QuorvinSymbol::Trash:
        p.drawLine(QPointF(2.0, 4.0), QPointF(14.0, 4.0));
        p.drawLine(QPointF(6.0, 4.0), QPointF(6.5, 2.0));
        p.drawLine(QPointF(6.5, 2.0), QPointF(9.5, 2.0));
        p.drawLine(QPointF(9.5, 2.0), QPointF(10.0, 4.0));
        p.drawRoundedRect(QRectF(3.5, 4.0, 9.0, 10.5), 1.5, 1.5);
        p.drawLine(QPointF(6.5, 6.5), QPointF(6.5, 12.0));
        p.drawLine(QPointF(9.5, 6.5), QPointF(9.5, 12.0));
        break;
    case QuorvinSymbol::ClockCheckmark: {
        const QRectF face(1.0, 1.0, 11.5, 11.5);
        QPainterPath open;
        open.arcMoveTo(face, 300);
        open.arcTo(face, 300, 300);
        p.drawPath(open);
        p.drawLine(face.center(), face.center() + QPointF(0, -3.6));
        p.drawLine(face.center(), face.center() + QPointF(2.6, 0));
        checkMark(p, QPointF(9.6, 12.6), 5.6);
        break;
    }
    case QuorvinSymbol::InfoCircle:
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.drawLine(QPointF(8.0, 7.0), QPointF(8.0, 11.8));
        p.save();
        p.setBrush(p.pen().color());
        p.drawEllipse(QPointF(8.0, 4.6), 0.5, 0.5);
        p.restore();
        break;
    case QuorvinSymbol::Stethoscope: {
        QPainterPath tube;
        tube.moveTo(3.0, 1.5);
        tube.lineTo(3.0, 5.5);
        tube.cubicTo(3.0, 8.8, 8.0, 8.8, 8.0, 5.5);
        tube.lineTo(8.0, 1.5);
        tube.moveTo(5.5, 8.0);
        tube.lineTo(5.5, 10.5);
        tube.cubicTo(5.5, 14.8, 12.0, 14.8, 12.0, 10.5);
        tube.lineTo(12.0, 9.4);
        p.drawPath(tube);
        p.drawEllipse(QPointF(12.0, 7.6), 1.8, 1.8);
        break;
    }
    }
}

} // namespace

void paint(QPainter &painter, QuorvinSymbol symbol, const QRectF &box, const QColor &color, qreal weight)
{
    const qreal side = std::min(box.width(), box.height());
    if (side <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center() - QPointF(side / 2, side / 2));
    painter.scale(side / grid, side / grid);
    // A line that grows with the symbol, from about one pixel at small sizes.
    const qreal linePixels = std::clamp(side / 11.0, 1.1, 2.2) * weight;
    QPen pen(color, linePixels * grid / side);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    draw(painter, symbol);
    painter.restore();
}

} // namespace quorvin::QuorvinSymbols
