#include "model/Digest.h"

#include <QCryptographicHash>

namespace quorvin {

QString sha256Hex(QByteArrayView bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString sha256Hex(const QString &text)
{
    return sha256Hex(QByteArrayView(text.toUtf8()));
}

} // namespace quorvin
