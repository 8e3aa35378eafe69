#include "platform/http/QtHttpSession.h"

#include "platform/concurrency/Clock.h"
#include "platform/http/TransportError.h"

#include <QIODevice>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopeGuard>
#include <QTimer>
#include <qcoro/qcorosignal.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace quorvin {

namespace {

struct DeleteLater {
    void operator()(QNetworkReply *reply) const { reply->deleteLater(); }
};

// A body that can be read once and never rewound. The network stack resends a request on a new
// connection when the old one closes before the answer, even a POST; a write the service may already
// have stored must not go out twice behind the caller's back, so rewinding for a resend fails and the
// request ends as a lost connection. The caller's own retry decides what to do next.
class OneShotBody final : public QIODevice {
public:
    explicit OneShotBody(QByteArray bytes, QObject *parent)
        : QIODevice(parent)
        , m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return (m_bytes.size() - m_read) + QIODevice::bytesAvailable(); }
    bool atEnd() const override { return m_read >= m_bytes.size() && QIODevice::bytesAvailable() == 0; }
    bool reset() override { return false; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        // A sequential device tells its end by -1: 0 would mean "more to come".
        if (m_read >= m_bytes.size()) {
            return -1;
        }
        const qint64 count = std::min<qint64>(maxSize, m_bytes.size() - m_read);
        std::memcpy(data, m_bytes.constData() + m_read, static_cast<size_t>(count));
        m_read += count;
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_read = 0;
};

bool isIdempotent(const QByteArray &method)
{
    return method == "GET" || method == "HEAD" || method == "OPTIONS" || method == "PUT";
}

TransportError::Kind kindOf(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return TransportError::Kind::CannotConnect;
    case QNetworkReply::HostNotFoundError:
        return TransportError::Kind::CannotFindHost;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ContentReSendError:
        return TransportError::Kind::ConnectionLost;
    // An aborted reply reports itself as cancelled; our own cancellation and the deadline are told
    // apart before this mapping is consulted.
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
    for (const auto &[name, value] : request.headers.fields()) {
        networkRequest.setRawHeader(name, value);
    }

    // A POST, PUT or PATCH without a body still says "Content-Length: 0": some servers otherwise
    // wait for a body until the connection closes.
    const bool announcesLength = request.method == "POST" || request.method == "PUT" || request.method == "PATCH";
    std::unique_ptr<QNetworkReply, DeleteLater> reply;
    if (!isIdempotent(request.method)) {
        // Sent straight from a device that cannot rewind, so the stack cannot replay it.
        const QByteArray bytes = request.body.value_or(QByteArray());
        networkRequest.setHeader(QNetworkRequest::ContentLengthHeader, bytes.size());
        networkRequest.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        auto *body = new OneShotBody(bytes, nullptr);
        reply.reset(m_manager.sendCustomRequest(networkRequest, request.method, body));
        body->setParent(reply.get());
    } else {
        reply.reset(request.body || announcesLength
                ? m_manager.sendCustomRequest(networkRequest, request.method, request.body.value_or(QByteArray()))
                : m_manager.sendCustomRequest(networkRequest, request.method));
    }
    QNetworkReply *raw = reply.get();
    // The answer is taken out as it arrives: a large one copied out in one go at the end held the
    // window for as long as the copy took. A block of the announced size is taken at once (a
    // block grown piece by piece ends up to half as large again, held while the answer decodes);
    // the announcement is not trusted beyond a bound. Each turn of the loop takes a bounded
    // piece: the stack hands over all that arrived while the loop was busy in one notice, tens
    // of megabytes for a large answer, and the rest is taken in later turns.
    static constexpr qint64 largestReservation = 64LL * 1024 * 1024;
    static constexpr qint64 largestPiece = 4LL * 1024 * 1024;
    QByteArray body;
    const auto takePiece = [raw, &body] {
        if (body.isEmpty()) {
            const qint64 announced = raw->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            if (announced > 0) {
                body.reserve(qsizetype(std::min(announced, largestReservation)));
            }
        }
        const qint64 piece = std::min(raw->bytesAvailable(), largestPiece);
        if (piece <= 0) {
            return;
        }
        const qsizetype at = body.size();
        body.resize(at + qsizetype(piece));
        const qint64 got = raw->read(body.data() + at, piece);
        body.resize(at + qsizetype(std::max<qint64>(got, 0)));
    };
    const QMetaObject::Connection reading = QObject::connect(raw, &QIODevice::readyRead, raw, takePiece);
    const auto stopReading = qScopeGuard([&reading] { QObject::disconnect(reading); });
    // Aborting from inside the canceller's call would resume this coroutine on its stack.
    auto subscription = request.cancel.onCancel(
        [raw] { QMetaObject::invokeMethod(raw, &QNetworkReply::abort, Qt::QueuedConnection); });

    // The time-out bounds the whole exchange: an answer trickling in a byte at a time must not
    // hold the pass for ever.
    bool deadlinePassed = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, raw, [raw, &deadlinePassed] {
        deadlinePassed = true;
        raw->abort();
    });
    deadline.start(std::chrono::milliseconds(std::max<qint64>(1, request.timeout.count())));

    if (!raw->isFinished()) {
        co_await qCoro(raw, &QNetworkReply::finished);
    }
    deadline.stop();
    subscription.reset();

    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (request.cancel.isCancelled()) {
        throw TransportError(TransportError::Kind::Cancelled);
    }
    if (deadlinePassed) {
        throw TransportError(TransportError::Kind::TimedOut, raw->errorString());
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
    while (raw->bytesAvailable() > 0) {
        takePiece();
        if (raw->bytesAvailable() > 0) {
            co_await Clock::system().yield();
        }
    }
    response.body = std::move(body);
    co_return response;
}

} // namespace quorvin
