#include "support/cloudserver/InProcessHttpSession.h"

#include "platform/http/TransportError.h"
#include "support/cloudserver/CloudRequestConversion.h"
#include "support/cloudserver/CloudServer.h"

namespace quorvin::test {

namespace {

using std::chrono::milliseconds;

milliseconds until(const Clock &clock, const QDateTime &deadline)
{
    return milliseconds(std::max<qint64>(0, clock.now().msecsTo(deadline)));
}

// Waits on the clock; a cancelled request ends the wait with the transport's cancellation.
QCoro::Task<void> wait(Clock &clock, milliseconds duration, CancelToken token)
{
    try {
        co_await clock.sleep(duration, token);
    } catch (const CancelledError &) {
        throw TransportError(TransportError::Kind::Cancelled);
    }
}

} // namespace

InProcessHttpSession::InProcessHttpSession(CloudServer &server, Clock &clock)
    : m_server(server)
    , m_clock(clock)
{
}

QCoro::Task<HttpResponse> InProcessHttpSession::send(HttpRequest request)
{
    if (request.cancel.isCancelled()) {
        throw TransportError(TransportError::Kind::Cancelled);
    }
    const QString scheme = request.url.scheme();
    if (!request.url.isValid() || request.url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        throw TransportError(TransportError::Kind::BadURL, request.url.toString());
    }
    const QDateTime deadline = m_clock.now().addMSecs(request.timeout.count());

    CloudRequest cloudRequest = cloudRequestFrom(request);
    cloudRequest.receivedAt = m_clock.now().toUTC();
    CloudResponse response = m_server.handle(std::move(cloudRequest));
    const qsizetype journalIndex = response.journalIndex;

    if (response.delay.count() > 0) {
        if (response.delay >= request.timeout) {
            co_await wait(m_clock, until(m_clock, deadline), request.cancel);
            throw TransportError(TransportError::Kind::TimedOut);
        }
        co_await wait(m_clock, response.delay, request.cancel);
    } else {
        // Answers always arrive through the event loop, never inside the caller's send().
        co_await wait(m_clock, milliseconds(0), request.cancel);
    }
    if (response.hang) {
        co_await wait(m_clock, until(m_clock, deadline), request.cancel);
        throw TransportError(TransportError::Kind::TimedOut);
    }
    if (response.dropConnection) {
        throw TransportError(TransportError::Kind::ConnectionLost);
    }

    if (const std::shared_ptr<CloudDeferred> deferred = response.deferred) {
        const QDateTime heldUntil = m_clock.now().addMSecs(deferred->maxWait.count());
        while (true) {
            // Listen before looking, so that a change in between still wakes the wait.
            CancelSource wake;
            const int listener = m_server.addChangeListener([wake]() mutable { wake.cancel(); });
            auto cancelSubscription = request.cancel.onCancel([wake]() mutable { wake.cancel(); });
            std::optional<CloudResponse> answer;
            {
                auto guard = m_server.lock();
                answer = deferred->poll(m_clock.now() >= heldUntil);
                if (!answer && m_clock.now() >= heldUntil) {
                    answer = CloudResponse::error(500, QStringLiteral("deferred answer missing"));
                }
            }
            if (answer) {
                m_server.removeChangeListener(listener);
                response = std::move(*answer);
                break;
            }
            if (m_clock.now() >= deadline) {
                m_server.removeChangeListener(listener);
                throw TransportError(TransportError::Kind::TimedOut);
            }
            const milliseconds nap = std::min(until(m_clock, heldUntil), until(m_clock, deadline));
            try {
                co_await m_clock.sleep(nap, wake.token());
            } catch (const CancelledError &) {
            }
            m_server.removeChangeListener(listener);
            if (request.cancel.isCancelled()) {
                throw TransportError(TransportError::Kind::Cancelled);
            }
        }
    }

    m_server.recordAnswer(journalIndex, response.status);
    HttpResponse result;
    result.status = response.status;
    result.headers = response.headers;
    result.body = response.body;
    co_return result;
}

} // namespace quorvin::test
