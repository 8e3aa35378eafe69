#pragma once

#include "ui/QuorvinDynamicColor.h"
#include "ui/QuorvinSymbol.h"

#include <QAbstractButton>

namespace quorvin {

// An operation tile: symbol and title on a filled rounded rectangle, clickable all over, faded
// while disabled.
class QuorvinSyncActionTile : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int tileHeight = 54;
    static constexpr qreal disabledOpacity = 0.55;

    QuorvinSyncActionTile(const QString &title, QuorvinSymbol symbol, QuorvinDynamicColor fill,
        QuorvinDynamicColor foreground, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont titleFont() const;

    QuorvinSymbol m_symbol;
    QuorvinDynamicColor m_fill;
    QuorvinDynamicColor m_foreground;
};

} // namespace quorvin
