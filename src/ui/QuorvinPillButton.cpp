#include "ui/QuorvinPillButton.h"

#include "ui/QuorvinShapes.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace quorvin {

QuorvinPillButton::QuorvinPillButton(const QString &text, QuorvinPillButtonStyle style, QWidget *parent)
    : QAbstractButton(parent)
    , m_style(style)
{
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void QuorvinPillButton::setPillStyle(const QuorvinPillButtonStyle &style)
{
    m_style = style;
    updateGeometry();
    update();
}

QFont QuorvinPillButton::labelFont() const
{
    QFont label = font();
    label.setPixelSize(QuorvinPillButtonStyle::fontPixelSize);
    label.setWeight(QFont::Medium);
    return label;
}

QSize QuorvinPillButton::sizeHint() const
{
    const int textWidth = static_cast<int>(std::ceil(QFontMetricsF(labelFont()).horizontalAdvance(text())));
    return QSize(std::max(m_style.minWidth, textWidth) + 2 * QuorvinPillButtonStyle::horizontalPadding, m_style.height);
}

QSize QuorvinPillButton::minimumSizeHint() const
{
    return QSize(m_style.minWidth + 2 * QuorvinPillButtonStyle::horizontalPadding, m_style.height);
}

void QuorvinPillButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setOpacity(QuorvinPillButtonStyle::opacity(isEnabled(), isDown()));
    const QRectF pill(QPointF(0, (height() - m_style.height) / 2.0), QSizeF(width(), m_style.height));
    QuorvinShapes::paintRoundedPanel(
        painter, pill, QuorvinPillButtonStyle::radius, m_style.fill.resolve(), m_style.border.resolve());

    const QRectF textArea
        = pill.adjusted(QuorvinPillButtonStyle::horizontalPadding, 0, -QuorvinPillButtonStyle::horizontalPadding, 0);
    QFont label = labelFont();
    const qreal natural = QFontMetricsF(label).horizontalAdvance(text());
    if (natural > textArea.width() && natural > 0) {
        const qreal scale = std::max(QuorvinPillButtonStyle::minimumScaleFactor, textArea.width() / natural);
        label.setPixelSize(std::max(1, static_cast<int>(std::floor(QuorvinPillButtonStyle::fontPixelSize * scale))));
    }
    painter.setFont(label);
    painter.setPen(m_style.foreground.resolve());
    const QString shown = QFontMetricsF(label).elidedText(text(), Qt::ElideRight, textArea.width());
    painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine, shown);
}

} // namespace quorvin
