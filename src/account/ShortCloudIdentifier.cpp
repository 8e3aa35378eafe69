#include "account/ShortCloudIdentifier.h"

namespace quorvin {

QString shortCloudIdentifier(const QString &identifier)
{
    const QString trimmed = identifier.trimmed();
    if (trimmed.isEmpty()) {
        return QStringLiteral("-");
    }
    if (trimmed.size() >= 15) {
        return trimmed.left(7) + QChar(0x2026) + trimmed.right(4);
    }
    return trimmed;
}

} // namespace quorvin
