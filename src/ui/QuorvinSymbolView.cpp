#include "ui/QuorvinSymbolView.h"

#include <QPainter>

namespace quorvin {

QuorvinSymbolView::QuorvinSymbolView(
    QuorvinSymbol symbol, int size, QuorvinDynamicColor color, qreal weight, QWidget *parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_color(color)
    , m_weight(weight)
{
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QuorvinSymbolView::setColor(QuorvinDynamicColor color)
{
    m_color = color;
    update();
}

void QuorvinSymbolView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QuorvinSymbols::paint(painter, m_symbol, QRectF(rect()), m_color.resolve(), m_weight);
}

} // namespace quorvin
