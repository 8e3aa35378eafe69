#pragma once

#include <QFrame>

namespace quorvin {

// A plain card: content inset by `padding` on every side, on the card background in a rounded
// rectangle of `radius` with the card border.
class QuorvinMacCard : public QFrame {
    Q_OBJECT
public:
    explicit QuorvinMacCard(qreal padding, qreal radius, QWidget *parent = nullptr);

    qreal radius() const { return m_radius; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_radius;
};

} // namespace quorvin
