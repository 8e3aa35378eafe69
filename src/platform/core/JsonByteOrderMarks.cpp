#include "platform/core/JsonByteOrderMarks.h"

namespace quorvin {

QByteArray escapeInnerByteOrderMarks(const QByteArray &json)
{
    static const QByteArray mark("\xEF\xBB\xBF");
    qsizetype at = json.indexOf(mark, 1);
    if (at < 0) {
        return json;
    }
    QByteArray result;
    result.reserve(json.size() + 16);
    qsizetype copied = 0;
    while (at >= 0) {
        result.append(json.constData() + copied, at - copied);
        result.append("\\ufeff");
        copied = at + mark.size();
        at = json.indexOf(mark, copied);
    }
    result.append(json.constData() + copied, json.size() - copied);
    return result;
}

} // namespace quorvin
