#pragma once

#include <QString>

namespace quorvin {

// 64-bit FNV-1a of the text's UTF-8 bytes, in lowercase hexadecimal without leading zeros. The
// account marks a token and a user with it; the empty text gives "cbf29ce484222325".
QString fnv1aHashString(const QString &text);

} // namespace quorvin
