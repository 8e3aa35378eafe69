#pragma once

#include "ui/QuorvinPillButtonStyle.h"

#include <QAbstractButton>

namespace quorvin {

// A push button drawn in the pill style.
class QuorvinPillButton : public QAbstractButton {
    Q_OBJECT
public:
    QuorvinPillButton(const QString &text, QuorvinPillButtonStyle style, QWidget *parent = nullptr);

    const QuorvinPillButtonStyle &pillStyle() const { return m_style; }
    void setPillStyle(const QuorvinPillButtonStyle &style);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont labelFont() const;

    QuorvinPillButtonStyle m_style;
};

} // namespace quorvin
