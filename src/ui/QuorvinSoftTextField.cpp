#include "ui/QuorvinSoftTextField.h"

#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinShapes.h"

#include <QEvent>
#include <QPainter>

namespace quorvin {

QuorvinSoftTextField::QuorvinSoftTextField(QWidget *parent)
    : QLineEdit(parent)
{
    setFrame(false);
    QFont text = font();
    text.setPixelSize(13);
    text.setWeight(QFont::Normal);
    setFont(text);
    setTextMargins(horizontalPadding, 0, horizontalPadding, 0);
    setFixedHeight(fieldHeight);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    followTheme();
}

void QuorvinSoftTextField::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (QuorvinDynamicColor::isAppearanceChange(event)) {
        followTheme();
    }
}

void QuorvinSoftTextField::followTheme()
{
    // Only the two roles it draws itself are set; the window colour still comes from the parent,
    // so the look is read from it and setting the same colours again changes nothing.
    QPalette own = palette();
    const QColor text = QuorvinMacTheme::primaryText.resolve();
    if (own.color(QPalette::Text) == text && own.color(QPalette::Base) == Qt::transparent) {
        return;
    }
    own.setColor(QPalette::Text, text);
    own.setColor(QPalette::Base, Qt::transparent);
    setPalette(own);
}

void QuorvinSoftTextField::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        QuorvinShapes::paintRoundedPanel(painter, QRectF(rect()), radius, QuorvinMacTheme::cardBackground.resolve(),
            QuorvinMacTheme::cardBorder.resolve());
    }
    QLineEdit::paintEvent(event);
}

} // namespace quorvin
