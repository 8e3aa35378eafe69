#include "account/Fnv1aHash.h"

namespace quorvin {

QString fnv1aHashString(const QString &text)
{
    quint64 hash = 0xcbf29ce484222325ULL;
    for (const char byte : text.toUtf8()) {
        hash ^= static_cast<quint8>(byte);
        hash *= 0x100000001b3ULL;
    }
    return QString::number(hash, 16);
}

} // namespace quorvin
