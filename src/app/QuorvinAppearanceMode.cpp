#include "app/QuorvinAppearanceMode.h"

#include "platform/shell/SystemAppearance.h"

namespace quorvin {

const QList<QuorvinAppearanceMode> &QuorvinAppearanceModes::all()
{
    static const QList<QuorvinAppearanceMode> modes {
        QuorvinAppearanceMode::Light, QuorvinAppearanceMode::Dark, QuorvinAppearanceMode::System};
    return modes;
}

QString QuorvinAppearanceModes::rawValue(QuorvinAppearanceMode mode)
{
    switch (mode) {
    case QuorvinAppearanceMode::Light:
        return QStringLiteral("light");
    case QuorvinAppearanceMode::Dark:
        return QStringLiteral("dark");
    case QuorvinAppearanceMode::System:
        break;
    }
    return QStringLiteral("system");
}

std::optional<QuorvinAppearanceMode> QuorvinAppearanceModes::fromRawValue(const QString &raw)
{
    for (const auto mode : all()) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

ColorScheme quorvinPreferredColorScheme(const QString &mode, qint64, const SystemAppearance &system)
{
    if (mode == QStringLiteral("light")) {
        return ColorScheme::Light;
    }
    if (mode == QStringLiteral("dark")) {
        return ColorScheme::Dark;
    }
    return system.colorScheme();
}

} // namespace quorvin
