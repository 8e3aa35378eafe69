#include "cloud/CloudURLEscaping.h"

namespace quorvin {

namespace {

bool isValidUtf16(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate()) {
                return false;
            }
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

std::optional<QString> escape(const QString &value, const char *allowedPunctuation)
{
    if (!isValidUtf16(value)) {
        return std::nullopt;
    }
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = value.toUtf8();
    const QByteArray allowed(allowedPunctuation);
    QString result;
    result.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto u = static_cast<unsigned char>(byte);
        const bool keep = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')
            || (u < 0x80 && allowed.contains(byte));
        if (keep) {
            result.append(QChar(u));
        } else {
            result.append(u'%');
            result.append(QChar(hex[u >> 4]));
            result.append(QChar(hex[u & 0xF]));
        }
    }
    return result;
}

} // namespace

std::optional<QString> escapeQueryValue(const QString &value)
{
    return escape(value, "-._~!$'()*+,;:@/?");
}

std::optional<QString> escapePathSegment(const QString &value)
{
    return escape(value, "-._~!$&'()*+,=:@");
}

} // namespace quorvin
