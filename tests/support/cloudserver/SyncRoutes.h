#pragma once

namespace quorvin::test {

class CloudServer;

// The sync endpoints: "/sync", "/sync/wait", "/sync/count-verification", "/reminders/upsert",
// "/reminders/delete", "/reminders/complete", "/lists/create", "/lists/update", "/lists/delete",
// "/admin/reset" and "/diagnostics/reports", all answered from the server's SyncModel.
void registerSyncRoutes(CloudServer &server);

} // namespace quorvin::test
