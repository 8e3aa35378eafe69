#include "ui/QuorvinBehaviorTile.h"

#include "ui/QuorvinMacTheme.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quorvin {

QuorvinBehaviorTile::QuorvinBehaviorTile(QWidget *content, QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(tileHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(0);
    content->setParent(this);
    column->addWidget(content, 0, Qt::AlignVCenter);
}

void QuorvinBehaviorTile::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 10, 10);
    painter.fillPath(shape, QuorvinMacTheme::surfaceSubtle.resolve());
}

} // namespace quorvin
