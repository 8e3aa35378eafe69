#include "ui/QuorvinControlPanelCard.h"

#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinShapes.h"

#include <QPainter>

namespace quorvin {

QuorvinControlPanelCard::QuorvinControlPanelCard(int height, QWidget *parent)
    : QFrame(parent)
{
    setContentsMargins(padding, padding, padding, padding);
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void QuorvinControlPanelCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QuorvinShapes::paintRoundedPanel(painter, QRectF(rect()), radius, QuorvinMacTheme::cardBackground.resolve(),
        QuorvinMacTheme::cardBorder.resolve());
}

} // namespace quorvin
