#include "ui/QuorvinMacTheme.h"

namespace quorvin {

const QList<QuorvinMacTheme::NamedColor> &QuorvinMacTheme::all()
{
    static const QList<NamedColor> colors {
        {QStringLiteral("pageBackground"), pageBackground},
        {QStringLiteral("cardBackground"), cardBackground},
        {QStringLiteral("cardBorder"), cardBorder},
        {QStringLiteral("surfaceSubtle"), surfaceSubtle},
        {QStringLiteral("primaryText"), primaryText},
        {QStringLiteral("secondaryText"), secondaryText},
        {QStringLiteral("accentBlue"), accentBlue},
        {QStringLiteral("softBlue"), softBlue},
        {QStringLiteral("success"), success},
        {QStringLiteral("warning"), warning},
        {QStringLiteral("danger"), danger},
        {QStringLiteral("systemGray"), systemGray},
    };
    return colors;
}

} // namespace quorvin
