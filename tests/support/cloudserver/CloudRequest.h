#pragma once

#include "platform/http/HttpHeaders.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>
#include <utility>

namespace quorvin::test {

// One request as the test cloud server received it. The journal keeps these for assertions, so the
// raw forms are kept beside the decoded ones: a test can check both what was escaped and what it
// meant.
struct CloudRequest {
    QString method;
    // The path as sent, still percent-encoded, without the query.
    QString rawPath;
    // The query as sent, without the "?"; empty when there was none.
    QString rawQuery;
    bool hasQuery = false;
    // The decoded query items in the order sent.
    QList<std::pair<QString, QString>> queryItems;
    HttpHeaders headers;
    QByteArray body;
    bool hasBody = false;
    QDateTime receivedAt;
    // Decoded values of the ":name" segments of the route that matched.
    QMap<QString, QString> pathParams;

    // The decoded path.
    QString path() const;
    // The path with the query as sent, e.g. "/sync?cursor=a%20b".
    QString target() const { return hasQuery ? rawPath + u'?' + rawQuery : rawPath; }
    std::optional<QString> queryValue(const QString &name) const;
    std::optional<QString> header(const QByteArray &name) const;
    // The token of "Authorization: Bearer <token>", empty without one.
    QString bearerToken() const;
    // The body as a JSON object; throws CloudHttpFailure 400 when it is none.
    QJsonObject jsonBody() const;
};

} // namespace quorvin::test
