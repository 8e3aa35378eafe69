#pragma once

#include "ui/QuorvinDynamicColor.h"

#include <QList>
#include <QString>

namespace quorvin {

// The one palette every view draws with; each colour has a light and a dark value.
class QuorvinMacTheme {
public:
    static constexpr auto pageBackground = QuorvinDynamicColor::quorvinDynamic(0xF6F7F9, 0x101317);
    static constexpr auto cardBackground = QuorvinDynamicColor::quorvinDynamic(0xFFFFFF, 0x1A1E24);
    static constexpr auto cardBorder = QuorvinDynamicColor::quorvinDynamic(0xE5E6EB, 0x343A43);
    static constexpr auto surfaceSubtle = QuorvinDynamicColor::quorvinDynamic(0xF2F3F5, 0x252B33);
    static constexpr auto primaryText = QuorvinDynamicColor::quorvinDynamic(0x1F2329, 0xF2F4F7);
    static constexpr auto secondaryText = QuorvinDynamicColor::quorvinDynamic(0x6B7280, 0xA8B0BC);
    static constexpr auto accentBlue = QuorvinDynamicColor::quorvinDynamic(0x1E88E5, 0x4EA3F1);
    static constexpr auto softBlue = QuorvinDynamicColor::quorvinDynamic(0xE8F3FF, 0x14324A);
    static constexpr auto success = QuorvinDynamicColor::quorvinDynamic(0x22C55E, 0x4ADE80);
    static constexpr auto warning = QuorvinDynamicColor::quorvinDynamic(0xFF9500, 0xFFB454);
    static constexpr auto danger = QuorvinDynamicColor::quorvinDynamic(0xFF3B30, 0xFF6961);
    static constexpr auto systemGray = QuorvinDynamicColor::quorvinDynamic(0x8E8E93, 0x8F96A3);

    struct NamedColor {
        QString name;
        QuorvinDynamicColor color;
    };
    // Every colour with its name, in the order above.
    static const QList<NamedColor> &all();
};

} // namespace quorvin
