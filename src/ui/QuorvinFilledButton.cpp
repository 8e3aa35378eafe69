#include "ui/QuorvinFilledButton.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace quorvin {

QuorvinFilledButton::QuorvinFilledButton(
    const QString &text, QuorvinDynamicColor fill, int height, qreal radius, int pixelSize, QWidget *parent)
    : QAbstractButton(parent)
    , m_fill(fill)
    , m_height(height)
    , m_radius(radius)
{
    setText(text);
    QFont label = font();
    label.setPixelSize(pixelSize);
    label.setWeight(QFont::Medium);
    setFont(label);
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QSize QuorvinFilledButton::sizeHint() const
{
    return QSize(QFontMetrics(font()).horizontalAdvance(text()) + 2 * m_height, m_height);
}

void QuorvinFilledButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : 0.48);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), m_radius, m_radius);
    painter.fillPath(shape, m_fill.resolve());
    if (hasFocus()) {
        painter.setPen(QPen(QColor(255, 255, 255, 150), 2));
        painter.drawPath(shape);
    }
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}

} // namespace quorvin
