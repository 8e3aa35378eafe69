#pragma once

#include "ui/QuorvinDynamicColor.h"
#include "ui/QuorvinSymbol.h"

#include <QWidget>

namespace quorvin {

// One symbol in a theme colour, in a fixed square.
class QuorvinSymbolView : public QWidget {
    Q_OBJECT
public:
    QuorvinSymbolView(
        QuorvinSymbol symbol, int size, QuorvinDynamicColor color, qreal weight = 1.0, QWidget *parent = nullptr);

    QuorvinSymbol symbol() const { return m_symbol; }
    void setColor(QuorvinDynamicColor color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QuorvinSymbol m_symbol;
    QuorvinDynamicColor m_color;
    qreal m_weight;
};

} // namespace quorvin
