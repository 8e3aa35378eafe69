#pragma once

#include "platform/http/HttpSession.h"

#include <QNetworkAccessManager>

namespace quorvin {

// HttpSession over QNetworkAccessManager, on the main thread.
class QtHttpSession final : public HttpSession {
public:
    QtHttpSession();

    // The process-wide session; created on first use, on the thread that first asks.
    static QtHttpSession &shared();

    QCoro::Task<HttpResponse> send(HttpRequest request) override;

private:
    QNetworkAccessManager m_manager;
};

} // namespace quorvin
