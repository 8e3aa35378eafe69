#pragma once

#include <QByteArray>
#include <QString>

namespace quorvin {

// SHA-256 of the bytes as 64 lowercase hexadecimal characters.
QString sha256Hex(QByteArrayView bytes);

// The same of a text's UTF-8 bytes.
QString sha256Hex(const QString &text);

} // namespace quorvin
