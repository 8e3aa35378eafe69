#include "ui/QuorvinLabel.h"

#include <QEvent>

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
    }
}

void QuorvinLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyColor();
    }
}

void QuorvinLabel::applyColor()
{
    const QColor color = m_color.resolve(this);
    QPalette palette = this->palette();
    if (palette.color(QPalette::WindowText) != color) {
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::Text, color);
        setPalette(palette);
    }
}

} // namespace quorvin
