#pragma once

#include "platform/concurrency/Clock.h"
#include "platform/http/HttpSession.h"

namespace quorvin::test {

class CloudServer;

// An HttpSession that hands each request straight to a CloudServer on this thread and delivers
// the answer through the event loop. Every wait (a fault's delay, a hang, a held long-poll, the
// client's time-out) runs on the given clock, so with a ManualClock a whole exchange happens in
// virtual time. A request's time-out bounds its whole exchange here.
class InProcessHttpSession final : public HttpSession {
public:
    InProcessHttpSession(CloudServer &server, Clock &clock);

    QCoro::Task<HttpResponse> send(HttpRequest request) override;

    // The base URL to give the client; any http URL reaches the server.
    static QString baseUrl() { return QStringLiteral("http://cloud.test"); }

private:
    CloudServer &m_server;
    Clock &m_clock;
};

} // namespace quorvin::test
