#pragma once

#include "platform/http/HttpHeaders.h"

#include <QByteArray>

#include <chrono>
#include <optional>

namespace quorvin::test {

// What the server does instead of (or besides) answering normally. With a status, the route is
// not run and this answer is given instead (a canned answer when the status is 2xx). Without one,
// the route runs and its answer is delayed, held or dropped as asked.
//
// Over the loopback listener, mind that the Qt stack silently re-sends a request whose connection
// closed early (up to twice): give a dropped connection a lasting count to see the failure.
struct CloudFault {
    std::optional<int> status;
    QByteArray body;
    HttpHeaders headers;
    std::chrono::milliseconds delay {0};
    bool hang = false;
    bool dropConnection = false;

    static CloudFault answer(int status, QByteArray body = {})
    {
        CloudFault fault;
        fault.status = status;
        fault.body = std::move(body);
        return fault;
    }
    static CloudFault delayed(std::chrono::milliseconds delay)
    {
        CloudFault fault;
        fault.delay = delay;
        return fault;
    }
    static CloudFault hanging()
    {
        CloudFault fault;
        fault.hang = true;
        return fault;
    }
    static CloudFault dropped()
    {
        CloudFault fault;
        fault.dropConnection = true;
        return fault;
    }
};

} // namespace quorvin::test
