#include "support/cloudserver/CloudResponse.h"

#include <QJsonDocument>

namespace quorvin::test {

namespace {
CloudResponse withJson(QByteArray body, int status)
{
    CloudResponse response;
    response.status = status;
    response.body = std::move(body);
    response.headers.set("Content-Type", "application/json");
    return response;
}
} // namespace

CloudResponse CloudResponse::json(const QJsonObject &object, int status)
{
    return withJson(QJsonDocument(object).toJson(QJsonDocument::Compact), status);
}

CloudResponse CloudResponse::json(QByteArray text, int status)
{
    return withJson(std::move(text), status);
}

CloudResponse CloudResponse::jsonArray(const QJsonArray &array, int status)
{
    return withJson(QJsonDocument(array).toJson(QJsonDocument::Compact), status);
}

CloudResponse CloudResponse::text(const QByteArray &body, int status)
{
    CloudResponse response;
    response.status = status;
    response.body = body;
    response.headers.set("Content-Type", "text/plain; charset=utf-8");
    return response;
}

CloudResponse CloudResponse::error(int status, const QString &message)
{
    return json(QJsonObject {{QStringLiteral("error"), message}}, status);
}

CloudResponse CloudResponse::later(
    std::chrono::milliseconds maxWait, std::function<std::optional<CloudResponse>(bool timedOut)> poll)
{
    CloudResponse response;
    response.deferred = std::make_shared<CloudDeferred>(CloudDeferred {maxWait, std::move(poll)});
    return response;
}

} // namespace quorvin::test
