#pragma once

#include "platform/http/HttpRequest.h"
#include "platform/http/HttpResponse.h"

#include <qcoro/qcorotask.h>

namespace quorvin {

// The one way the system talks HTTP. send() yields every HTTP answer, 4xx and 5xx included, and
// throws TransportError only when there is no answer: time-out, no connection, cancellation.
// Implementations never answer from a cache and follow redirects as the stack does by default.
class HttpSession {
public:
    virtual ~HttpSession() = default;

    virtual QCoro::Task<HttpResponse> send(HttpRequest request) = 0;
};

} // namespace quorvin
