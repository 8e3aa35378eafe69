#include "ui/QuorvinTextButton.h"

#include "ui/QuorvinMacTheme.h"

#include <QFontMetrics>
#include <QPainter>

namespace quorvin {

QuorvinTextButton::QuorvinTextButton(const QString &text, int pixelSize, QFont::Weight weight, QWidget *parent)
    : QAbstractButton(parent)
    , m_enabled(QuorvinMacTheme::accentBlue)
    , m_disabled(QuorvinMacTheme::secondaryText)
{
    setText(text);
    QFont label = font();
    label.setPixelSize(pixelSize);
    label.setWeight(weight);
    setFont(label);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void QuorvinTextButton::setColors(QuorvinDynamicColor enabled, QuorvinDynamicColor disabled)
{
    m_enabled = enabled;
    m_disabled = disabled;
    update();
}

QSize QuorvinTextButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text()) + 4, metrics.height() + 4);
}

void QuorvinTextButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (isDown()) {
        painter.setOpacity(0.7);
    }
    painter.setPen((isEnabled() ? m_enabled : m_disabled).resolve());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    if (hasFocus()) {
        // Keyboard users see where they are.
        painter.setOpacity(0.5);
        painter.setPen(QPen(m_enabled.resolve(), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

} // namespace quorvin
