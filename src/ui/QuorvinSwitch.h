#pragma once

#include "ui/QuorvinDynamicColor.h"

#include <QAbstractButton>

namespace quorvin {

// An on/off switch: a capsule track, filled with the tint while on, and a round white knob.
// clicked(bool) reports the user's change; setChecked() only shows a value.
class QuorvinSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit QuorvinSwitch(QuorvinDynamicColor tint, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QuorvinDynamicColor m_tint;
};

} // namespace quorvin
