#pragma once

#include <QFrame>

namespace quorvin {

// A control tile: as wide as it may be, `height` tall, its content inset 13 and aligned to the
// top left, on the card background in a rounded rectangle of 18 with the card border.
class QuorvinControlPanelCard : public QFrame {
    Q_OBJECT
public:
    static constexpr int padding = 13;
    static constexpr qreal radius = 18;

    explicit QuorvinControlPanelCard(int height, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quorvin
