#pragma once

#include <QAbstractButton>

namespace quorvin {

// The login card's round close button: a white cross on a 22-pixel circle in the danger colour.
class QuorvinCloseButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit QuorvinCloseButton(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quorvin
