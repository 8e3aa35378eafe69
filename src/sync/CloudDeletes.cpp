#include "sync/CloudDeletes.h"

#include "cloud/CloudHTTPError.h"

namespace quorvin {

namespace {
enum class CloudRecord { Reminder, List };

QCoro::Task<bool> deleteCloudRecordIfPresent(CloudSyncClient client, CloudRecord record, QString serverID)
{
    bool absent = false;
    try {
        if (record == CloudRecord::Reminder) {
            co_await client.deleteReminder(serverID);
        } else {
            co_await client.deleteList(serverID, std::nullopt);
        }
    } catch (const Error &error) {
        if (!CloudHTTPError::hasStatus(error, 404)) {
            throw;
        }
        absent = true;
    }
    co_return !absent;
}
} // namespace

QCoro::Task<bool> deleteCloudReminderIfPresent(CloudSyncClient client, QString serverID)
{
    return deleteCloudRecordIfPresent(std::move(client), CloudRecord::Reminder, std::move(serverID));
}

QCoro::Task<bool> deleteCloudListIfPresent(CloudSyncClient client, QString serverID)
{
    return deleteCloudRecordIfPresent(std::move(client), CloudRecord::List, std::move(serverID));
}

} // namespace quorvin
