#pragma once

#include "platform/http/HttpRequest.h"
#include "support/cloudserver/CloudRequest.h"

namespace quorvin::test {

// Splits a raw request target ("/a%20b?x=1") into the raw path, raw query and decoded items.
void setTarget(CloudRequest &request, const QString &rawTarget);

// The server's view of a client request, as the in-process front end hands it over.
CloudRequest cloudRequestFrom(const HttpRequest &request);

} // namespace quorvin::test
