#pragma once

#include "ui/QuorvinDynamicColor.h"

#include <QString>

namespace quorvin {

// The look of an activity row's category badge: its text, drawn in `foreground` on a capsule of
// `background`.
struct ActivityCategoryBadge {
    QString title;
    QuorvinDynamicColor foreground;
    QuorvinDynamicColor background;
};

} // namespace quorvin
