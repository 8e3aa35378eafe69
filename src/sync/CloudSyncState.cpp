#include "sync/QuorvinMacService.h"

#include "account/ShortCloudIdentifier.h"
#include "matching/CloudIDMappingIndex.h"
#include "matching/MatchText.h"
#include "platform/defaults/UserDefaults.h"
#include "sync/Strings.h"

#include <algorithm>

namespace quorvin {

namespace {
UserDefaults::StringMap toStringMap(const QHash<QString, QString> &map)
{
    UserDefaults::StringMap result;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        result.insert(it.key(), it.value());
    }
    return result;
}
} // namespace

void QuorvinMacService::writeReminderMappings()
{
    m_defaults.setStringMap(SyncText::keyReminderMap, toStringMap(m_reminderMappingIndex->serverToLocal()));
}

void QuorvinMacService::writeListMappings()
{
    m_defaults.setStringMap(SyncText::keyListMap, toStringMap(m_listMappingIndex->serverToLocal()));
}

void QuorvinMacService::saveReminderMappings()
{
    if (m_cloudMappingMutationBatchDepth < 1) {
        writeReminderMappings();
    } else {
        m_reminderMappingsNeedSave = true;
    }
}

void QuorvinMacService::saveListMappings()
{
    if (m_cloudMappingMutationBatchDepth < 1) {
        writeListMappings();
    } else {
        m_listMappingsNeedSave = true;
    }
}

void QuorvinMacService::beginCloudMappingMutationBatch()
{
    ++m_cloudMappingMutationBatchDepth;
}

void QuorvinMacService::endCloudMappingMutationBatch()
{
    m_cloudMappingMutationBatchDepth = std::max(0, m_cloudMappingMutationBatchDepth - 1);
    if (m_cloudMappingMutationBatchDepth > 0) {
        return;
    }
    if (m_reminderMappingsNeedSave) {
        m_reminderMappingsNeedSave = false;
        writeReminderMappings();
    }
    if (m_listMappingsNeedSave) {
        m_listMappingsNeedSave = false;
        writeListMappings();
    }
}

void QuorvinMacService::clearCloudSyncState(const QString &reason)
{
    ++m_syncStateEpoch;
    m_cloudPullCursor.clear();
    m_defaults.setString(SyncText::keyPullCursor, QString());
    m_cloudPushCursor.clear();
    m_defaults.setString(SyncText::keyPushCursor, QString());
    m_reminderMappingIndex->removeAll();
    m_listMappingIndex->removeAll();
    m_redundantCompletedCopyServerIDs.clear();
    saveReminderMappings();
    saveListMappings();
    clearRemoteIdentityCache();
    appendLog(reason);
}

void QuorvinMacService::resetCloudSyncStateForUserChangeIfNeeded(const QString &nextUserID, const QString &reason)
{
    const QString previous = m_cloudUserID.trimmed();
    const QString next = nextUserID.trimmed();
    if (next.isEmpty()) {
        return;
    }
    if (!previous.isEmpty() && previous != next) {
        m_cloudPushCursorNeedsRebase = true;
        clearCloudSyncState(reason + SyncText::userChangedInfix + shortCloudIdentifier(previous)
            + SyncText::userChangedArrow + shortCloudIdentifier(next) + SyncText::userChangedSuffix);
        return;
    }
    const bool holdsState = !m_cloudPullCursor.isEmpty() || !m_cloudPushCursor.isEmpty()
        || !m_reminderMappingIndex->serverToLocal().isEmpty() || !m_listMappingIndex->serverToLocal().isEmpty();
    if (previous.isEmpty() && holdsState) {
        m_cloudPushCursorNeedsRebase = true;
        clearCloudSyncState(reason + SyncText::userResolvedSuffix);
    }
}

void QuorvinMacService::clearRemoteIdentityCache()
{
    m_cachedRemoteSourceIdentityByServerID.clear();
    m_cachedRemoteServerIDs.clear();
    m_remoteIdentityCacheVersion = 0;
    m_remoteIdentityCacheNeedsWrite = true;
    m_defaults.remove(SyncText::keyRemoteSourceIdentityMap);
    m_defaults.remove(SyncText::keyRemoteServerIDs);
    m_defaults.remove(SyncText::keyRemoteIdentityCacheVersion);
}

void QuorvinMacService::saveRemoteIdentityCache()
{
    // Every pull saves the cache; with thousands of reminders an unchanged one is not worth
    // serialising again.
    if (!m_remoteIdentityCacheNeedsWrite && m_remoteIdentityCacheVersion == 1) {
        return;
    }
    m_defaults.setStringMap(SyncText::keyRemoteSourceIdentityMap, toStringMap(m_cachedRemoteSourceIdentityByServerID));
    QStringList ids(m_cachedRemoteServerIDs.cbegin(), m_cachedRemoteServerIDs.cend());
    std::sort(ids.begin(), ids.end());
    m_defaults.setStringArray(SyncText::keyRemoteServerIDs, ids);
    m_remoteIdentityCacheVersion = 1;
    m_defaults.setInteger(SyncText::keyRemoteIdentityCacheVersion, 1);
    m_remoteIdentityCacheNeedsWrite = false;
}

void QuorvinMacService::updateRemoteIdentityCache(const SyncResponseEnvelope &envelope)
{
    auto identities = m_cachedRemoteSourceIdentityByServerID;
    auto serverIDs = m_cachedRemoteServerIDs;
    if (envelope.full_snapshot) {
        identities.clear();
        serverIDs.clear();
    }
    for (const auto &id : envelope.deleted_ids) {
        identities.remove(id);
        serverIDs.remove(id);
    }
    for (const auto &item : envelope.items) {
        const auto serverID = item.local_id.trimmed();
        if (serverID.isEmpty()) {
            continue;
        }
        serverIDs.insert(serverID);
        if (const auto source = MatchText::trimmed(item.source_item_id); !source.isEmpty()) {
            identities.insert(serverID, source);
        } else {
            identities.remove(serverID);
        }
    }
    if (identities != m_cachedRemoteSourceIdentityByServerID || serverIDs != m_cachedRemoteServerIDs) {
        m_cachedRemoteSourceIdentityByServerID = std::move(identities);
        m_cachedRemoteServerIDs = std::move(serverIDs);
        m_remoteIdentityCacheNeedsWrite = true;
    }
    saveRemoteIdentityCache();
}

void QuorvinMacService::noteRemoteReminderUpsert(const QString &serverID, const std::optional<QString> &sourceID)
{
    m_cachedRemoteServerIDs.insert(serverID);
    if (const auto source = MatchText::trimmed(sourceID); !source.isEmpty()) {
        m_cachedRemoteSourceIdentityByServerID.insert(serverID, source);
    } else {
        m_cachedRemoteSourceIdentityByServerID.remove(serverID);
    }
    m_remoteIdentityCacheNeedsWrite = true;
}

} // namespace quorvin
