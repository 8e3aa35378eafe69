#pragma once

#include "cloud/CloudSyncClient.h"

#include <QString>
#include <qcoro/qcorotask.h>

namespace quorvin {

// Deletes of one server record that accept the service's "not found": the record is already gone,
// which is all a delete wants. Each answers true when this call deleted the record and false when
// it was already absent; any other failure throws.
QCoro::Task<bool> deleteCloudReminderIfPresent(CloudSyncClient client, QString serverID);
QCoro::Task<bool> deleteCloudListIfPresent(CloudSyncClient client, QString serverID);

} // namespace quorvin
