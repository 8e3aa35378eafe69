#pragma once

#include "ui/QuorvinDynamicColor.h"

namespace quorvin {

// The rounded pill look of the main window's buttons; the calling view chooses its colours and
// sizes.
struct QuorvinPillButtonStyle {
    QuorvinDynamicColor fill;
    QuorvinDynamicColor foreground;
    QuorvinDynamicColor border;
    int minWidth = 0;
    int height = 0;

    static constexpr int fontPixelSize = 14;
    static constexpr int horizontalPadding = 10;
    static constexpr qreal radius = 14;
    // Long labels shrink to this share of the font size before they are cut.
    static constexpr qreal minimumScaleFactor = 0.85;

    // 0.48 when disabled, whether pressed or not; 0.78 while an enabled button is held down.
    static qreal opacity(bool isEnabled, bool isPressed) { return !isEnabled ? 0.48 : isPressed ? 0.78 : 1.0; }
};

} // namespace quorvin
