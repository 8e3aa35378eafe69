#include "support/cloudserver/CloudRequest.h"

#include "support/cloudserver/CloudHttpFailure.h"

#include <QJsonDocument>
#include <QUrl>

namespace quorvin::test {

QString CloudRequest::path() const
{
    return QUrl::fromPercentEncoding(rawPath.toUtf8());
}

std::optional<QString> CloudRequest::queryValue(const QString &name) const
{
    for (const auto &[key, value] : queryItems) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<QString> CloudRequest::header(const QByteArray &name) const
{
    const auto value = headers.value(name);
    if (!value) {
        return std::nullopt;
    }
    return QString::fromUtf8(*value);
}

QString CloudRequest::bearerToken() const
{
    const QString value = header("Authorization").value_or(QString());
    const QString prefix = QStringLiteral("Bearer ");
    if (!value.startsWith(prefix, Qt::CaseInsensitive)) {
        return {};
    }
    return value.mid(prefix.size()).trimmed();
}

QJsonObject CloudRequest::jsonBody() const
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        throw CloudHttpFailure(400, QStringLiteral("invalid json body"));
    }
    return document.object();
}

} // namespace quorvin::test
