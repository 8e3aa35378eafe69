#include "matching/CloudUploadTarget.h"

#include "matching/MatchText.h"

namespace quorvin {

namespace {
// The server item that carries `identity` and that no reminder here is mapped to.
std::optional<QString> unclaimedServerID(const std::optional<QString> &identity, const CloudRemoteIdentities &remote,
    const CloudIDMappingIndex &reminderMappings)
{
    if (!identity) {
        return std::nullopt;
    }
    for (const auto &serverID : remote.serverIDsBySourceIdentity.value(*identity)) {
        if (!reminderMappings.containsServerID(serverID)) {
            return serverID;
        }
    }
    return std::nullopt;
}
} // namespace

CloudUploadTarget CloudUploadTarget::resolve(const Upload &upload, const CloudRemoteIdentities &remote,
    const CloudIDMappingIndex &reminderMappings, const ReminderLookup &reminders)
{
    if (upload.recurringCompletionServerID) {
        return {upload.recurringCompletionServerID, Reason::RecurringCompletion, std::nullopt};
    }
    if (upload.completedCopy) {
        return {std::nullopt, Reason::CompletedCopy, std::nullopt};
    }
    // The identity the reminder goes by on the server: its source id, or else its own id.
    std::optional<QString> sourceID;
    if (const auto source = MatchText::trimmed(upload.sourceItemID); !source.isEmpty()) {
        sourceID = source;
    } else if (const auto local = upload.localID.trimmed(); !local.isEmpty()) {
        sourceID = local;
    }
    if (!upload.mappedServerID) {
        if (const auto known = unclaimedServerID(sourceID, remote, reminderMappings)) {
            return {known, Reason::KnownRemotely, std::nullopt};
        }
        return {std::nullopt, Reason::Unmapped, std::nullopt};
    }
    const QString &serverID = *upload.mappedServerID;
    const auto remoteIdentity = remote.sourceIdentityByServerID.constFind(serverID);
    if (remoteIdentity != remote.sourceIdentityByServerID.cend()) {
        if (!sourceID) {
            return {serverID, Reason::Mapped, std::nullopt};
        }
        // Phones put their own id of a reminder there: only another reminder here makes the
        // mapping stale, and the upload would otherwise overwrite that reminder's server item.
        if (*sourceID != *remoteIdentity && reminders.reminder(*remoteIdentity)) {
            if (const auto known = unclaimedServerID(sourceID, remote, reminderMappings)) {
                return {known, Reason::KnownRemotely, serverID};
            }
            return {std::nullopt, Reason::IdentityMismatch, serverID};
        }
    }
    const bool known = !remote.sourceIdentities || !sourceID || remote.sourceIdentities->contains(*sourceID)
        || (remote.serverIDs && remote.serverIDs->contains(serverID));
    if (!known) {
        return {std::nullopt, Reason::MissingRemotely, serverID};
    }
    return {serverID, Reason::Mapped, std::nullopt};
}

} // namespace quorvin
