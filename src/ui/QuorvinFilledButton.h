#pragma once

#include "ui/QuorvinDynamicColor.h"

#include <QAbstractButton>

namespace quorvin {

// A wide button with its text on a filled rounded rectangle, drawn at 48 % opacity while disabled.
class QuorvinFilledButton : public QAbstractButton {
    Q_OBJECT
public:
    QuorvinFilledButton(const QString &text, QuorvinDynamicColor fill, int height, qreal radius, int pixelSize,
        QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QuorvinDynamicColor m_fill;
    int m_height;
    qreal m_radius;
};

} // namespace quorvin
