#pragma once

#include "platform/concurrency/CancelToken.h"
#include "platform/http/HttpHeaders.h"

#include <QByteArray>
#include <QUrl>

#include <chrono>
#include <optional>

namespace quorvin {

// One request for an HttpSession. A present body is sent even when it has no bytes.
struct HttpRequest {
    QByteArray method = "GET";
    QUrl url;
    HttpHeaders headers;
    std::optional<QByteArray> body;
    // The longest time the whole exchange may take, answer included, before it fails as timed out.
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
    CancelToken cancel;
};

} // namespace quorvin
