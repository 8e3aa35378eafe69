#include "ui/QuorvinShapes.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace quorvin::QuorvinShapes {

void paintRoundedPanel(QPainter &painter, const QRectF &rect, qreal radius, const QColor &fill, const QColor &border)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outer;
    outer.addRoundedRect(rect, radius, radius);
    painter.fillPath(outer, fill);
    // The stroke straddles its path, so the path runs half a pixel inside the edge.
    const QRectF inner = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath line;
    line.addRoundedRect(inner, std::max<qreal>(radius - 0.5, 0), std::max<qreal>(radius - 0.5, 0));
    painter.setPen(QPen(border, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(line);
    painter.restore();
}

} // namespace quorvin::QuorvinShapes
