#pragma once

#include <QByteArray>
#include <QString>

namespace quorvin {

// The readable message for a service error body: the message of the first known phrase found in
// it (case ignored), else the trimmed body as sent, else empty.
QString readableServerErrorBody(const QString &body);

// The full message of an HTTP status error: "<message>（HTTP <status>）", or "HTTP <status>" when
// the body yields no message.
QString readableHTTPErrorMessage(int statusCode, const QString &body);

// The bytes as UTF-8 text, or the empty text when they are not valid UTF-8 (no replacement
// characters ever stand in for broken bytes).
QString decodeUtf8OrEmpty(const QByteArray &bytes);

} // namespace quorvin
