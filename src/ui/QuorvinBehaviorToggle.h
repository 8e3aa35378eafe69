#pragma once

#include "ui/QuorvinDynamicColor.h"
#include "ui/QuorvinSymbol.h"

#include <QWidget>

namespace quorvin {

class QuorvinSwitch;

// A labelled switch: the symbol and title, then the switch at the trailing end.
class QuorvinBehaviorToggle : public QWidget {
    Q_OBJECT
public:
    QuorvinBehaviorToggle(
        const QString &title, QuorvinSymbol symbol, int pixelSize, QuorvinDynamicColor tint, QWidget *parent = nullptr);

    QuorvinSwitch *toggle() const { return m_switch; }

private:
    QuorvinSwitch *m_switch;
};

} // namespace quorvin
