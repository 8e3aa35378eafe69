#include "ui/QuorvinSyncActionTile.h"

#include "ui/QuorvinMacTheme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace quorvin {

namespace {

constexpr int padding = 10;
constexpr int symbolSize = 14;
constexpr int spacing = 7;

} // namespace

QuorvinSyncActionTile::QuorvinSyncActionTile(const QString &title, QuorvinSymbol symbol, QuorvinDynamicColor fill,
    QuorvinDynamicColor foreground, QWidget *parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_fill(fill)
    , m_foreground(foreground)
{
    setText(title);
    setAccessibleName(title);
    setFixedHeight(tileHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QFont QuorvinSyncActionTile::titleFont() const
{
    QFont title = font();
    title.setPixelSize(13);
    title.setWeight(QFont::DemiBold);
    return title;
}

QSize QuorvinSyncActionTile::sizeHint() const
{
    const int textWidth = static_cast<int>(std::ceil(QFontMetricsF(titleFont()).horizontalAdvance(text())));
    return QSize(2 * padding + symbolSize + spacing + textWidth, tileHeight);
}

QSize QuorvinSyncActionTile::minimumSizeHint() const
{
    return QSize(2 * padding + symbolSize, tileHeight);
}

void QuorvinSyncActionTile::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(!isEnabled() ? disabledOpacity : isDown() ? 0.78 : 1.0);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 10, 10);
    painter.fillPath(shape, m_fill.resolve());
    if (hasFocus()) {
        QColor ring = QuorvinMacTheme::accentBlue.resolve();
        ring.setAlphaF(0.6f);
        painter.setPen(QPen(ring, 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 9, 9);
    }
    const QColor ink = m_foreground.resolve();
    const QRectF symbolBox(padding, (height() - symbolSize) / 2.0, symbolSize, symbolSize);
    QuorvinSymbols::paint(painter, m_symbol, symbolBox, ink, 1.3);
    const QFont title = titleFont();
    painter.setFont(title);
    painter.setPen(ink);
    const QRectF textArea(symbolBox.right() + spacing, 0, width() - symbolBox.right() - spacing - padding, height());
    const QString shown = QFontMetricsF(title).elidedText(text(), Qt::ElideRight, textArea.width());
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

} // namespace quorvin
