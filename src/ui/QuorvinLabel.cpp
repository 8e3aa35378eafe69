#include "ui/QuorvinLabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

namespace quorvin {

QuorvinLabel::QuorvinLabel(
    const QString &text, int pixelSize, QFont::Weight weight, QuorvinDynamicColor color, QWidget *parent)
    : QLabel(text, parent)
    , m_color(color)
{
    QFont font = this->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    setFont(font);
    setTextFormat(Qt::PlainText);
    applyColor();
}

void QuorvinLabel::setColor(QuorvinDynamicColor color)
{
    m_color = color;
    applyColor();
}

void QuorvinLabel::setTextIfChanged(const QString &text)
{
    if (this->text() != text) {
        setText(text);
        updateToolTip();
    }
}

void QuorvinLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    setWordWrap(false);
    updateGeometry();
    updateToolTip();
    update();
}

QString QuorvinLabel::shownText() const
{
    if (m_elideMode == Qt::ElideNone) {
        return text();
    }
    return fontMetrics().elidedText(text(), m_elideMode, contentsRect().width());
}

QSize QuorvinLabel::minimumSizeHint() const
{
    const QSize natural = QLabel::minimumSizeHint();
    if (m_elideMode == Qt::ElideNone) {
        return natural;
    }
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(QChar(0x2026)) + margins.left() + margins.right(), natural.height());
}

void QuorvinLabel::paintEvent(QPaintEvent *event)
{
    if (m_elideMode == Qt::ElideNone) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(QStyle::visualAlignment(layoutDirection(), alignment())),
        palette(), isEnabled(), shownText(), foregroundRole());
}

void QuorvinLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void QuorvinLabel::updateToolTip()
{
    if (m_elideMode != Qt::ElideNone) {
        setToolTip(shownText() == text() ? QString() : text());
    }
}

void QuorvinLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (QuorvinDynamicColor::isAppearanceChange(event)) {
        applyColor();
    }
}

void QuorvinLabel::applyColor()
{
    const QColor color = m_color.resolve();
    QPalette palette = this->palette();
    if (palette.color(QPalette::WindowText) != color) {
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::Text, color);
        setPalette(palette);
    }
}

} // namespace quorvin
