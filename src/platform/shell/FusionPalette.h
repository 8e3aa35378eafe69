#pragma once

#include "platform/shell/ColorScheme.h"

#include <QPalette>

namespace quorvin {

// Stock widgets (menus, dialogs, scroll bars) follow the application's light or dark look only
// when their style takes its colours from the palette and ignores the desktop's widget theme:
// the Fusion style does, given one of these two palettes.
class FusionPalette {
public:
    static QPalette palette(ColorScheme scheme);

    // Which scheme a palette is drawn in: dark when its window colour is dark.
    static ColorScheme schemeOf(const QPalette &palette);

    // Makes Fusion the application's style. Needs the QApplication.
    static void installStyle();
};

} // namespace quorvin
