#include "ui/QuorvinCloseButton.h"

#include "ui/QuorvinMacTheme.h"

#include <QPainter>

namespace quorvin {

QuorvinCloseButton::QuorvinCloseButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setFixedSize(22, 22);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void QuorvinCloseButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown()) {
        painter.setOpacity(0.78);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QuorvinMacTheme::danger.resolve());
    painter.drawEllipse(QRectF(0, 0, 22, 22));
    QColor cross(Qt::white);
    cross.setAlphaF(0.9F);
    painter.setPen(QPen(cross, 1.8, Qt::SolidLine, Qt::RoundCap));
    const qreal half = 3.4;
    const QPointF centre(11, 11);
    painter.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
    painter.drawLine(centre + QPointF(-half, half), centre + QPointF(half, -half));
}

} // namespace quorvin
