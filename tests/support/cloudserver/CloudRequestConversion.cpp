#include "support/cloudserver/CloudRequestConversion.h"

#include <QUrl>

namespace quorvin::test {

namespace {
// A "+" stays a plus: the client sends it unescaped inside cursors, so reading it as a space (the
// form-encoding habit) would change the value.
QString decodeQueryPart(const QString &text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}
} // namespace

void setTarget(CloudRequest &request, const QString &rawTarget)
{
    QString target = rawTarget;
    if (const qsizetype hash = target.indexOf(u'#'); hash >= 0) {
        target.truncate(hash);
    }
    const qsizetype question = target.indexOf(u'?');
    request.hasQuery = question >= 0;
    request.rawPath = request.hasQuery ? target.left(question) : target;
    request.rawQuery = request.hasQuery ? target.mid(question + 1) : QString();
    request.queryItems.clear();
    if (request.rawQuery.isEmpty()) {
        return;
    }
    for (const QString &item : request.rawQuery.split(u'&')) {
        const qsizetype equals = item.indexOf(u'=');
        const QString name = equals >= 0 ? item.left(equals) : item;
        const QString value = equals >= 0 ? item.mid(equals + 1) : QString();
        request.queryItems.append({decodeQueryPart(name), decodeQueryPart(value)});
    }
}

CloudRequest cloudRequestFrom(const HttpRequest &request)
{
    CloudRequest result;
    result.method = QString::fromLatin1(request.method);
    setTarget(result, QString::fromLatin1(request.url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority)));
    if (result.rawPath.isEmpty()) {
        result.rawPath = QStringLiteral("/");
    }
    result.headers = request.headers;
    result.hasBody = request.body.has_value();
    result.body = request.body.value_or(QByteArray());
    return result;
}

} // namespace quorvin::test
