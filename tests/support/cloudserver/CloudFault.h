#pragma once

#include "platform/http/HttpHeaders.h"

#include <QByteArray>

#include <chrono>
#include <optional>

namespace quorvin::test {

// What the server does instead of (or besides) answering normally. With a status, the route is
// not run and this answer is given instead (a canned answer when the status is 2xx), unless
// `applyFirst` asks for the route to run first: then the change is made and its answer lost, as
// when a server fails after its write. Without a status, the route runs and its answer is delayed,
// held or dropped as asked.
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
    bool applyFirst = false;

    static CloudFault answer(int status, QByteArray body = {})
    {
        CloudFault fault;
        fault.status = status;
        fault.body = std::move(body);
        return fault;
    }
    // The request is carried out, then answered with `status` instead of its own answer.
    static CloudFault appliedThenAnswer(int status, QByteArray body = {})
    {
        CloudFault fault = answer(status, std::move(body));
        fault.applyFirst = true;
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
