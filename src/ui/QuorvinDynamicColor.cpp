#include "ui/QuorvinDynamicColor.h"

#include "platform/shell/FusionPalette.h"

#include <QEvent>
#include <QGuiApplication>

namespace quorvin {

QColor QuorvinDynamicColor::resolve(ColorScheme scheme) const
{
    const quint32 rgb = scheme == ColorScheme::Dark ? dark : light;
    QColor color(
        static_cast<int>((rgb >> 16) & 0xff), static_cast<int>((rgb >> 8) & 0xff), static_cast<int>(rgb & 0xff));
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

QColor QuorvinDynamicColor::resolve() const
{
    return resolve(applicationScheme());
}

ColorScheme QuorvinDynamicColor::applicationScheme()
{
    return qGuiApp ? FusionPalette::schemeOf(QGuiApplication::palette()) : ColorScheme::Light;
}

bool QuorvinDynamicColor::isAppearanceChange(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::ApplicationPaletteChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        return true;
    default:
        return false;
    }
}

} // namespace quorvin
