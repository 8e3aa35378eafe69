#pragma once

#include "platform/http/HttpHeaders.h"

#include <QByteArray>

namespace quorvin {

// Any HTTP answer, whatever its status.
struct HttpResponse {
    int status = 0;
    HttpHeaders headers;
    QByteArray body;
};

} // namespace quorvin
