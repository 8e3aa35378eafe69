#pragma once

#include <QLineEdit>

namespace quorvin {

// A borderless text field on the card background: 34 high, text 13 in the primary text colour,
// inset 10 at both sides, in a rounded rectangle of 10 with the card border.
class QuorvinSoftTextField : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int fieldHeight = 34;
    static constexpr int horizontalPadding = 10;
    static constexpr qreal radius = 10;

    explicit QuorvinSoftTextField(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void followTheme();
};

} // namespace quorvin
