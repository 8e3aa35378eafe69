#pragma once

#include "ui/QuorvinDynamicColor.h"

#include <QAbstractButton>

namespace quorvin {

// A plain button: only its text, in a theme colour, and another one while disabled.
class QuorvinTextButton : public QAbstractButton {
    Q_OBJECT
public:
    QuorvinTextButton(const QString &text, int pixelSize, QFont::Weight weight, QWidget *parent = nullptr);

    void setColors(QuorvinDynamicColor enabled, QuorvinDynamicColor disabled);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QuorvinDynamicColor m_enabled;
    QuorvinDynamicColor m_disabled;
};

} // namespace quorvin
