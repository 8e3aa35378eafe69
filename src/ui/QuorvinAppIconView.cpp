#include "ui/QuorvinAppIconView.h"

#include "ui/QuorvinMacTheme.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quorvin {

QuorvinAppIconView::QuorvinAppIconView(int size, qreal cornerRadius, QWidget *parent)
    : QWidget(parent)
    , m_size(size)
    , m_cornerRadius(cornerRadius)
{
    setFixedSize(size, size);
}

const QPixmap &QuorvinAppIconView::appIcon()
{
    static const QPixmap icon(QStringLiteral(":/quorvin/AppIcon.png"));
    return icon;
}

void QuorvinAppIconView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF square(0, 0, m_size, m_size);
    QPainterPath clip;
    clip.addRoundedRect(square, m_cornerRadius, m_cornerRadius);
    painter.setClipPath(clip);

    if (const QPixmap &icon = appIcon(); !icon.isNull()) {
        const qreal scaled = m_size * 1.06;
        const qreal offset = (m_size - scaled) / 2;
        painter.drawPixmap(QRectF(offset, offset, scaled, scaled), icon, QRectF(icon.rect()));
        return;
    }
    painter.fillRect(square, QuorvinMacTheme::softBlue.resolve());
    // An application tile with a badge dot, 52 % of the size, centred.
    const qreal glyph = m_size * 0.52;
    const QRectF tile((m_size - glyph) / 2, (m_size - glyph) / 2, glyph, glyph);
    const QColor accent = QuorvinMacTheme::accentBlue.resolve();
    painter.setPen(QPen(accent, std::max<qreal>(1.0, glyph * 0.09)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(tile.adjusted(0, glyph * 0.12, -glyph * 0.12, 0), glyph * 0.2, glyph * 0.2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    const qreal dot = glyph * 0.34;
    painter.drawEllipse(QRectF(tile.right() - dot, tile.top(), dot, dot));
}

} // namespace quorvin
