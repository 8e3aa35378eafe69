#include "platform/http/QtHttpSession.h"

#include "platform/http/TransportError.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <qcoro/qcorosignal.h>

#include <memory>

namespace quorvin {

namespace {

struct DeleteLater {
    void operator()(QNetworkReply *reply) const { reply->deleteLater(); }
};

TransportError::Kind kindOf(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return TransportError::Kind::CannotConnect;
    case QNetworkReply::HostNotFoundError:
        return TransportError::Kind::CannotFindHost;
    case QNetworkReply::RemoteHostClosedError:
        return TransportError::Kind::ConnectionLost;
    // The transfer time-out aborts the reply, which reports it as cancelled; our own cancellation
    // is told apart by the caller's token before this mapping is consulted.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return TransportError::Kind::TimedOut;
    case QNetworkReply::SslHandshakeFailedError:
        return TransportError::Kind::SecureConnectionFailed;
    case QNetworkReply::ProtocolUnknownError:
        return TransportError::Kind::BadURL;
    default:
        return TransportError::Kind::Other;
    }
}

} // namespace

QtHttpSession::QtHttpSession()
{
    m_manager.setCache(nullptr);
}

QtHttpSession &QtHttpSession::shared()
{
    // Never destroyed: requests may still be finishing while the process exits, after the
    // application object is gone.
    static QtHttpSession *session = new QtHttpSession;
    return *session;
}

QCoro::Task<HttpResponse> QtHttpSession::send(HttpRequest request)
{
    if (request.cancel.isCancelled()) {
        throw TransportError(TransportError::Kind::Cancelled);
    }
    const QString scheme = request.url.scheme();
    if (!request.url.isValid() || request.url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        throw TransportError(TransportError::Kind::BadURL, request.url.toString());
    }

    QNetworkRequest networkRequest(request.url);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    networkRequest.setTransferTimeout(static_cast<int>(std::max<qint64>(1, request.timeout.count())));
    for (const auto &[name, value] : request.headers.fields()) {
        networkRequest.setRawHeader(name, value);
    }

    // A POST, PUT or PATCH without a body still says "Content-Length: 0": some servers otherwise
    // wait for a body until the connection closes.
    const bool announcesLength = request.method == "POST" || request.method == "PUT" || request.method == "PATCH";
    std::unique_ptr<QNetworkReply, DeleteLater> reply(request.body || announcesLength
            ? m_manager.sendCustomRequest(networkRequest, request.method, request.body.value_or(QByteArray()))
            : m_manager.sendCustomRequest(networkRequest, request.method));
    QNetworkReply *raw = reply.get();
    // Aborting from inside the canceller's call would resume this coroutine on its stack.
    auto subscription = request.cancel.onCancel(
        [raw] { QMetaObject::invokeMethod(raw, &QNetworkReply::abort, Qt::QueuedConnection); });

    if (!raw->isFinished()) {
        co_await qCoro(raw, &QNetworkReply::finished);
    }
    subscription.reset();

    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (request.cancel.isCancelled()) {
        throw TransportError(TransportError::Kind::Cancelled);
    }
    if (!status.isValid()) {
        if (raw->error() == QNetworkReply::NoError) {
            throw TransportError(TransportError::Kind::BadServerResponse);
        }
        throw TransportError(kindOf(raw->error()), raw->errorString());
    }
    // A network-level failure (the connection broke, the transfer timed out) after the status line
    // leaves no whole answer; the HTTP-level error codes (201 and up) come with one.
    if (raw->error() != QNetworkReply::NoError && raw->error() < QNetworkReply::ContentAccessDenied) {
        throw TransportError(kindOf(raw->error()), raw->errorString());
    }

    HttpResponse response;
    response.status = status.toInt();
    for (const auto &[name, value] : raw->rawHeaderPairs()) {
        response.headers.add(name, value);
    }
    response.body = raw->readAll();
    co_return response;
}

} // namespace quorvin
