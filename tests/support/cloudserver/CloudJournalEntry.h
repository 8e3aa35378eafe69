#pragma once

#include "support/cloudserver/CloudRequest.h"

namespace quorvin::test {

// One request the server received, with the status it answered (0 when it hung or dropped).
struct CloudJournalEntry {
    CloudRequest request;
    int status = 0;
};

} // namespace quorvin::test
