#pragma once

namespace quorvin::test {

class CloudServer;

// The "/auth/..." endpoints: SMS codes, the two sign-ins, the session exchange, the current
// session and device, the device list and removal, profile, avatar, phone linking, logout and
// account deletion.
void registerAccountRoutes(CloudServer &server);

} // namespace quorvin::test
