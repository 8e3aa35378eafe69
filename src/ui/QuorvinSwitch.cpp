#include "ui/QuorvinSwitch.h"

#include "ui/QuorvinMacTheme.h"

#include <QPainter>
#include <QPainterPath>

namespace quorvin {

namespace {

constexpr int trackWidth = 32;
constexpr int trackHeight = 18;

} // namespace

QuorvinSwitch::QuorvinSwitch(QuorvinDynamicColor tint, QWidget *parent)
    : QAbstractButton(parent)
    , m_tint(tint)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(sizeHint());
}

QSize QuorvinSwitch::sizeHint() const
{
    // Room for the focus ring around the track.
    return QSize(trackWidth + 4, trackHeight + 4);
}

void QuorvinSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? (isDown() ? 0.85 : 1.0) : 0.48);
    const QRectF track(2, (height() - trackHeight) / 2.0, trackWidth, trackHeight);
    const qreal radius = trackHeight / 2.0;

    QColor off = QuorvinMacTheme::systemGray.resolve();
    off.setAlphaF(0.35f);
    QPainterPath capsule;
    capsule.addRoundedRect(track, radius, radius);
    painter.fillPath(capsule, isChecked() ? m_tint.resolve() : off);
    if (hasFocus()) {
        QColor ring = QuorvinMacTheme::accentBlue.resolve();
        ring.setAlphaF(0.5f);
        painter.setPen(QPen(ring, 2));
        painter.drawRoundedRect(track.adjusted(-1, -1, 1, 1), radius + 1, radius + 1);
    }

    const qreal knob = trackHeight - 4;
    const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    const QRectF knobRect(x, track.top() + 2, knob, knob);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knobRect.translated(0, 0.6));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knobRect);
}

} // namespace quorvin
