#pragma once

#include "platform/shell/ColorScheme.h"

#include <QColor>

class QEvent;

namespace quorvin {

// A colour with a light and a dark value (0xRRGGBB, sRGB), resolved for the application's look, so
// a change of the appearance recolours everything without any view reading the mode.
//
// The look is the application's: the appearance controller installs it as the application palette,
// and every widget hears of a new one (isAppearanceChange). A widget's own palette never decides
// it, so a view that sets a colour of its own cannot hold its children in an old look.
struct QuorvinDynamicColor {
    quint32 light = 0;
    quint32 dark = 0;
    double opacity = 1.0;

    static constexpr QuorvinDynamicColor quorvinDynamic(quint32 light, quint32 dark, double opacity = 1.0)
    {
        return QuorvinDynamicColor {light, dark, opacity};
    }

    QColor resolve(ColorScheme scheme) const;
    // In the application's look as it is now.
    QColor resolve() const;

    static ColorScheme applicationScheme();
    // Whether `event` tells a widget that the look may have changed: it then resolves its colours
    // again.
    static bool isAppearanceChange(const QEvent *event);
};

} // namespace quorvin
