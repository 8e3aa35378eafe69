#include "ui/QuorvinBehaviorToggle.h"

#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinSwitch.h"
#include "ui/QuorvinSymbolView.h"

#include <QHBoxLayout>

namespace quorvin {

QuorvinBehaviorToggle::QuorvinBehaviorToggle(
    const QString &title, QuorvinSymbol symbol, int pixelSize, QuorvinDynamicColor tint, QWidget *parent)
    : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    row->addWidget(new QuorvinSymbolView(symbol, pixelSize + 1, QuorvinMacTheme::primaryText, 1.1, this));
    auto *label = new QuorvinLabel(title, pixelSize, QFont::Medium, QuorvinMacTheme::primaryText, this);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(title) * 4 / 5);
    row->addWidget(label, 1);
    m_switch = new QuorvinSwitch(tint, this);
    m_switch->setAccessibleName(title);
    row->addWidget(m_switch);
}

} // namespace quorvin
