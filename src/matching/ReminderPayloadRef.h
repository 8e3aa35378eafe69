#pragma once

#include "model/ReminderPayload.h"

#include <memory>

namespace quorvin {

// A journalled reminder. The snapshot, every change batch and every refresh event point at the
// same immutable payload, so a refresh of the whole database copies no payload at all.
using ReminderPayloadRef = std::shared_ptr<const ReminderPayload>;

} // namespace quorvin
