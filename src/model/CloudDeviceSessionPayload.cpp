#include "model/CloudDeviceSessionPayload.h"

#include "model/FieldHash.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

QString CloudDeviceSessionPayload::id() const
{
    QString session = session_id.value_or(QString()).trimmed();
    if (!session.isEmpty()) {
        return session;
    }
    QStringList parts;
    for (const auto *field : {&client_kind, &device_id, &created_at}) {
        if (!*field) {
            continue;
        }
        const QString part = (*field)->trimmed();
        if (!part.isEmpty()) {
            parts.append(part);
        }
    }
    return parts.join(u':');
}

size_t qHash(const CloudDeviceSessionPayload &value, size_t seed) noexcept
{
    for (const auto *field : {&value.session_id, &value.device_id, &value.client_kind, &value.created_at,
             &value.last_seen_at, &value.revoked_at, &value.device_label, &value.platform, &value.app_version}) {
        seed = hashOptionalField(seed, *field);
    }
    return seed;
}

} // namespace quorvin
