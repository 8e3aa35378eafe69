#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace quorvin::QuorvinShapes {

// A rounded rectangle filled with `fill` and bordered by a 1-pixel line of `border` drawn inside
// its edge, the shape every card, tile, pill and field shares.
void paintRoundedPanel(QPainter &painter, const QRectF &rect, qreal radius, const QColor &fill, const QColor &border);

} // namespace quorvin::QuorvinShapes
