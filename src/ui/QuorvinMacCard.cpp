#include "ui/QuorvinMacCard.h"

#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinShapes.h"

#include <QPainter>

#include <cmath>

namespace quorvin {

QuorvinMacCard::QuorvinMacCard(qreal padding, qreal radius, QWidget *parent)
    : QFrame(parent)
    , m_radius(radius)
{
    const int inset = static_cast<int>(std::lround(padding));
    setContentsMargins(inset, inset, inset, inset);
}

void QuorvinMacCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QuorvinShapes::paintRoundedPanel(painter, QRectF(rect()), m_radius, QuorvinMacTheme::cardBackground.resolve(),
        QuorvinMacTheme::cardBorder.resolve());
}

} // namespace quorvin
