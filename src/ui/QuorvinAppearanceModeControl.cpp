#include "ui/QuorvinAppearanceModeControl.h"

#include "ui/QuorvinMacTheme.h"
#include "ui/Strings.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace quorvin {

namespace {

constexpr int padding = 3;

// One segment: the mode's glyph, white on the accent capsule when selected.
class ModeButton final : public QAbstractButton {
public:
    ModeButton(QuorvinAppearanceMode mode, const QuorvinAppearanceModeControl *control, QWidget *parent)
        : QAbstractButton(parent)
        , m_mode(mode)
        , m_control(control)
    {
        setFixedSize(24, 22);
        setCursor(Qt::PointingHandCursor);
        setToolTip(QuorvinAppearanceModeControl::label(mode));
        setAccessibleName(QuorvinAppearanceModeControl::label(mode));
        setObjectName(QStringLiteral("appearance.") + QuorvinAppearanceModes::rawValue(mode));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool selected = m_control->selectedMode() == m_mode;
        if (selected) {
            QPainterPath capsule;
            capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
            painter.fillPath(capsule, QuorvinMacTheme::accentBlue.resolve());
        }
        const QColor ink = selected ? QColor(Qt::white) : QuorvinMacTheme::secondaryText.resolve();
        const QPointF centre = QRectF(rect()).center();
        switch (m_mode) {
        case QuorvinAppearanceMode::Light: {
            painter.setPen(Qt::NoPen);
            painter.setBrush(ink);
            painter.drawEllipse(centre, 2.8, 2.8);
            painter.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap));
            for (int ray = 0; ray < 8; ++ray) {
                const qreal angle = ray * M_PI / 4;
                const QPointF direction(qCos(angle), qSin(angle));
                painter.drawLine(centre + direction * 4.3, centre + direction * 5.8);
            }
            break;
        }
        case QuorvinAppearanceMode::Dark: {
            QPainterPath moon;
            moon.addEllipse(centre, 5.0, 5.0);
            QPainterPath bite;
            bite.addEllipse(centre + QPointF(2.6, -2.2), 4.2, 4.2);
            painter.fillPath(moon.subtracted(bite), ink);
            break;
        }
        case QuorvinAppearanceMode::System: {
            painter.setPen(QPen(ink, 1.3));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(centre, 5.0, 5.0);
            QPainterPath half;
            half.moveTo(centre + QPointF(0, -5.0));
            half.arcTo(QRectF(centre - QPointF(5.0, 5.0), QSizeF(10.0, 10.0)), 90, 180);
            half.closeSubpath();
            painter.fillPath(half, ink);
            break;
        }
        }
    }

private:
    QuorvinAppearanceMode m_mode;
    const QuorvinAppearanceModeControl *m_control;
};

} // namespace

QuorvinAppearanceModeControl::QuorvinAppearanceModeControl(QWidget *parent)
    : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(3);
    for (const auto mode : QuorvinAppearanceModes::all()) {
        auto *button = new ModeButton(mode, this, this);
        connect(button, &QAbstractButton::clicked, this, [this, mode] { Q_EMIT modeChosen(mode); });
        row->addWidget(button);
        m_buttons.append(button);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString QuorvinAppearanceModeControl::label(QuorvinAppearanceMode mode)
{
    switch (mode) {
    case QuorvinAppearanceMode::Light:
        return UiText::appearanceLight;
    case QuorvinAppearanceMode::Dark:
        return UiText::appearanceDark;
    case QuorvinAppearanceMode::System:
        break;
    }
    return UiText::appearanceSystem;
}

QWidget *QuorvinAppearanceModeControl::button(QuorvinAppearanceMode mode) const
{
    return m_buttons.value(QuorvinAppearanceModes::all().indexOf(mode));
}

void QuorvinAppearanceModeControl::setSelectedMode(QuorvinAppearanceMode mode)
{
    if (mode != m_selected) {
        m_selected = mode;
        for (auto *button : std::as_const(m_buttons)) {
            button->update();
        }
    }
}

void QuorvinAppearanceModeControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = capsule.height() / 2;
    QPainterPath shape;
    shape.addRoundedRect(capsule, radius, radius);
    painter.fillPath(shape, QuorvinMacTheme::surfaceSubtle.resolve());
    painter.setPen(QPen(QuorvinMacTheme::cardBorder.resolve(), 1));
    painter.drawPath(shape);
}

} // namespace quorvin
