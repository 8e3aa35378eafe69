#pragma once

#include "platform/shell/ColorScheme.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

class SystemAppearance;

// The user's choice of look; stored as its raw text under "quorvinAppearanceMode".
enum class QuorvinAppearanceMode { Light, Dark, System };

namespace QuorvinAppearanceModes {

// In the order the choice offers them.
const QList<QuorvinAppearanceMode> &all();
QString rawValue(QuorvinAppearanceMode mode);
// Absent for any text other than the three raw values.
std::optional<QuorvinAppearanceMode> fromRawValue(const QString &raw);

} // namespace QuorvinAppearanceModes

// The scheme a stored mode text asks for: "light" and "dark" fix it; any other text follows the
// system. `systemRevision` takes no part in the result: passing it lets a caller recompute when
// the system's look changes.
ColorScheme quorvinPreferredColorScheme(const QString &mode, qint64 systemRevision, const SystemAppearance &system);

} // namespace quorvin
