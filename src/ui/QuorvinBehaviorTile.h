#pragma once

#include <QWidget>

namespace quorvin {

// The tile of one desktop-behaviour switch: its content inset 8 across and 6 down, 54 tall, on the
// subtle surface.
class QuorvinBehaviorTile : public QWidget {
    Q_OBJECT
public:
    static constexpr int tileHeight = 54;

    explicit QuorvinBehaviorTile(QWidget *content, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quorvin
