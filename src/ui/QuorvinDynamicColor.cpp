#include "ui/QuorvinDynamicColor.h"

#include "platform/shell/FusionPalette.h"

#include <QWidget>

namespace quorvin {

QColor QuorvinDynamicColor::resolve(ColorScheme scheme) const
{
    const quint32 rgb = scheme == ColorScheme::Dark ? dark : light;
    QColor color(
        static_cast<int>((rgb >> 16) & 0xff), static_cast<int>((rgb >> 8) & 0xff), static_cast<int>(rgb & 0xff));
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

QColor QuorvinDynamicColor::resolve(const QWidget *widget) const
{
    return resolve(widget ? FusionPalette::schemeOf(widget->palette()) : ColorScheme::Light);
}

} // namespace quorvin
