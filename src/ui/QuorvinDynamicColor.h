#pragma once

#include "platform/shell/ColorScheme.h"

#include <QColor>

class QWidget;

namespace quorvin {

// A colour with a light and a dark value (0xRRGGBB, sRGB), resolved for the look of whoever draws
// it, so a change of the appearance recolours everything without any view reading the mode.
struct QuorvinDynamicColor {
    quint32 light = 0;
    quint32 dark = 0;
    double opacity = 1.0;

    static constexpr QuorvinDynamicColor quorvinDynamic(quint32 light, quint32 dark, double opacity = 1.0)
    {
        return QuorvinDynamicColor {light, dark, opacity};
    }

    QColor resolve(ColorScheme scheme) const;
    // For a widget: dark when its palette is (the appearance reaches widgets through the palette).
    QColor resolve(const QWidget *widget) const;
};

} // namespace quorvin
