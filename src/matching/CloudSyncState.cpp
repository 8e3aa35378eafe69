#include "matching/CloudSyncState.h"

#include "matching/MatchText.h"
#include "matching/ReminderLookup.h"
#include "matching/Strings.h"
#include "platform/core/DiagnosticSink.h"
#include "platform/defaults/UserDefaults.h"

#include <algorithm>
#include <utility>

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

namespace {
// Recording the pair would leave the index as it is; an apply re-records every pair it writes, and
// an unchanged map is not worth writing again.
bool alreadyMapped(const CloudIDMappingIndex &index, const QString &serverID, const QString &localID, bool unique)
{
    return index.localID(serverID) == localID && (!unique || index.serverIDs(localID).size() == 1);
}
} // namespace

CloudSyncState::MappingBatch::MappingBatch(CloudSyncState &state)
    : m_state(&state)
{
    ++m_state->m_cloudMappingMutationBatchDepth;
}

CloudSyncState::MappingBatch::MappingBatch(MappingBatch &&other) noexcept
    : m_state(std::exchange(other.m_state, nullptr))
{
}

CloudSyncState::MappingBatch::~MappingBatch()
{
    if (m_state) {
        m_state->endCloudMappingMutationBatch();
    }
}

CloudSyncState::CloudSyncState(UserDefaults &defaults, DiagnosticSink &log)
    : m_defaults(defaults)
    , m_log(log)
    , m_cloudPullCursor(defaults.string(MatchingText::keyPullCursor).value_or(QString()))
    , m_cloudPushCursor(defaults.string(MatchingText::keyPushCursor).value_or(QString()))
    , m_reminderMappingIndex(CloudIDMappingIndex::load(defaults, MatchingText::keyReminderMap))
    , m_listMappingIndex(CloudIDMappingIndex::load(defaults, MatchingText::keyListMap))
    , m_remoteIdentityCacheVersion(defaults.integer(MatchingText::keyRemoteIdentityCacheVersion).value_or(0))
{
    // A stored dictionary is used only when every key and value is text; anything else reads as empty.
    if (const auto map = defaults.stringMap(MatchingText::keyRemoteSourceIdentityMap)) {
        for (auto it = map->cbegin(); it != map->cend(); ++it) {
            m_cachedRemoteSourceIdentityByServerID.insert(it.key(), it.value());
        }
    }
    if (const auto ids = defaults.stringArray(MatchingText::keyRemoteServerIDs)) {
        m_cachedRemoteServerIDs = QSet<QString>(ids->cbegin(), ids->cend());
    }
}

void CloudSyncState::saveCloudPullCursor(const QString &cursor)
{
    m_cloudPullCursor = cursor;
    m_defaults.setString(MatchingText::keyPullCursor, cursor);
}

void CloudSyncState::saveCloudPushCursor(const QString &cursor)
{
    m_cloudPushCursor = cursor;
    m_defaults.setString(MatchingText::keyPushCursor, cursor);
}

QString CloudSyncState::cloudCursorSummary() const
{
    auto shown = [](const QString &cursor) { return cursor.isEmpty() ? MatchingText::noCursor : cursor; };
    return u"push="_s + shown(m_cloudPushCursor) + u" / pull="_s + shown(m_cloudPullCursor);
}

bool CloudSyncState::holdsState() const
{
    return !m_cloudPullCursor.isEmpty() || !m_cloudPushCursor.isEmpty() || !m_reminderMappingIndex.isEmpty()
        || !m_listMappingIndex.isEmpty();
}

// ---- id mappings

CloudSyncState::MappingBatch CloudSyncState::beginCloudMappingMutationBatch()
{
    return MappingBatch(*this);
}

void CloudSyncState::endCloudMappingMutationBatch()
{
    m_cloudMappingMutationBatchDepth = std::max(0, m_cloudMappingMutationBatchDepth - 1);
    if (m_cloudMappingMutationBatchDepth > 0) {
        return;
    }
    flushCloudMappings();
}

void CloudSyncState::flushCloudMappings()
{
    if (m_reminderMappingsNeedSave) {
        m_reminderMappingsNeedSave = false;
        m_reminderMappingIndex.save(m_defaults, MatchingText::keyReminderMap);
    }
    if (m_listMappingsNeedSave) {
        m_listMappingsNeedSave = false;
        m_listMappingIndex.save(m_defaults, MatchingText::keyListMap);
    }
}

CloudSyncState::MappingCheckpoint CloudSyncState::mappingCheckpoint() const
{
    return MappingCheckpoint {m_reminderMappingIndex, m_listMappingIndex, m_cachedRemoteSourceIdentityByServerID,
        m_cachedRemoteServerIDs, m_remoteIdentityCacheNeedsWrite, m_redundantCompletedCopyServerIDs, m_syncStateEpoch};
}

void CloudSyncState::restoreMappingCheckpoint(const MappingCheckpoint &checkpoint)
{
    if (checkpoint.epoch != m_syncStateEpoch) {
        return;
    }
    m_reminderMappingIndex = checkpoint.reminders;
    m_listMappingIndex = checkpoint.lists;
    m_cachedRemoteSourceIdentityByServerID = checkpoint.remoteSourceIdentities;
    m_cachedRemoteServerIDs = checkpoint.remoteServerIDs;
    m_remoteIdentityCacheNeedsWrite = checkpoint.remoteIdentityCacheNeedsWrite;
    m_redundantCompletedCopyServerIDs = checkpoint.redundantCompletedCopies;
    saveReminderMappings();
    saveListMappings();
}

void CloudSyncState::saveReminderMappings()
{
    if (m_cloudMappingMutationBatchDepth < 1) {
        m_reminderMappingIndex.save(m_defaults, MatchingText::keyReminderMap);
    } else {
        m_reminderMappingsNeedSave = true;
    }
}

void CloudSyncState::saveListMappings()
{
    if (m_cloudMappingMutationBatchDepth < 1) {
        m_listMappingIndex.save(m_defaults, MatchingText::keyListMap);
    } else {
        m_listMappingsNeedSave = true;
    }
}

void CloudSyncState::setReminderMapping(const QString &serverID, const QString &localID, bool uniqueLocalID)
{
    if (alreadyMapped(m_reminderMappingIndex, serverID, localID, uniqueLocalID)) {
        return;
    }
    m_reminderMappingIndex.set(serverID, localID, uniqueLocalID);
    saveReminderMappings();
}

void CloudSyncState::removeReminderMapping(const QString &serverID)
{
    m_reminderMappingIndex.remove(serverID);
    saveReminderMappings();
}

void CloudSyncState::setListMapping(const QString &serverID, const QString &localID, bool uniqueLocalID)
{
    if (alreadyMapped(m_listMappingIndex, serverID, localID, uniqueLocalID)) {
        return;
    }
    m_listMappingIndex.set(serverID, localID, uniqueLocalID);
    saveListMappings();
}

void CloudSyncState::removeListMapping(const QString &serverID)
{
    m_listMappingIndex.remove(serverID);
    saveListMappings();
}

void CloudSyncState::mapCloudReminder(const QString &serverID, const QString &localID, const ReminderLookup &reminders)
{
    mapCloudReminder(serverID, localID, reminders, m_reminderMappingIndex.localID(serverID));
}

void CloudSyncState::mapCloudReminder(const QString &serverID, const QString &localID, const ReminderLookup &reminders,
    const std::optional<QString> &previous)
{
    setReminderMapping(serverID, localID, false);
    const auto identity = m_cachedRemoteSourceIdentityByServerID.constFind(serverID);
    if (identity == m_cachedRemoteSourceIdentityByServerID.cend()) {
        return;
    }
    if (previous ? *previous != localID : *identity != localID && !reminders.reminder(*identity).has_value()) {
        m_cachedRemoteSourceIdentityByServerID.insert(serverID, localID);
        m_remoteIdentityCacheNeedsWrite = true;
    }
}

void CloudSyncState::forgetServerReminder(const QString &serverID)
{
    m_cachedRemoteServerIDs.remove(serverID);
    m_cachedRemoteSourceIdentityByServerID.remove(serverID);
    m_remoteIdentityCacheNeedsWrite = true;
    removeReminderMapping(serverID);
}

// ---- remote identity cache

CloudRemoteIdentities CloudSyncState::remoteIdentities() const
{
    QHash<QString, QStringList> serverIDsBySourceIdentity;
    for (auto it = m_cachedRemoteSourceIdentityByServerID.cbegin(); it != m_cachedRemoteSourceIdentityByServerID.cend();
         ++it) {
        serverIDsBySourceIdentity[it.value()].append(it.key());
    }
    for (auto &ids : serverIDsBySourceIdentity) {
        std::sort(ids.begin(), ids.end());
    }
    return {m_cachedRemoteSourceIdentityByServerID,
        QSet<QString>(m_cachedRemoteSourceIdentityByServerID.cbegin(), m_cachedRemoteSourceIdentityByServerID.cend()),
        m_cachedRemoteServerIDs, std::move(serverIDsBySourceIdentity)};
}

void CloudSyncState::clearRemoteIdentityCache()
{
    m_cachedRemoteSourceIdentityByServerID.clear();
    m_cachedRemoteServerIDs.clear();
    m_remoteIdentityCacheVersion = 0;
    m_remoteIdentityCacheNeedsWrite = true;
    m_defaults.remove(MatchingText::keyRemoteSourceIdentityMap);
    m_defaults.remove(MatchingText::keyRemoteServerIDs);
    m_defaults.remove(MatchingText::keyRemoteIdentityCacheVersion);
}

void CloudSyncState::saveRemoteIdentityCache()
{
    // Every pull saves the cache; with thousands of reminders an unchanged one is not worth
    // serialising again.
    if (!m_remoteIdentityCacheNeedsWrite && m_remoteIdentityCacheVersion == 1) {
        return;
    }
    UserDefaults::StringMap identities;
    for (auto it = m_cachedRemoteSourceIdentityByServerID.cbegin(); it != m_cachedRemoteSourceIdentityByServerID.cend();
         ++it) {
        identities.insert(it.key(), it.value());
    }
    m_defaults.setStringMap(MatchingText::keyRemoteSourceIdentityMap, identities);
    QStringList ids(m_cachedRemoteServerIDs.cbegin(), m_cachedRemoteServerIDs.cend());
    std::sort(ids.begin(), ids.end());
    m_defaults.setStringArray(MatchingText::keyRemoteServerIDs, ids);
    m_remoteIdentityCacheVersion = 1;
    m_defaults.setInteger(MatchingText::keyRemoteIdentityCacheVersion, 1);
    m_remoteIdentityCacheNeedsWrite = false;
}

void CloudSyncState::updateRemoteIdentityCache(const SyncResponseEnvelope &envelope)
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

void CloudSyncState::noteRemoteReminderUpsert(const QString &serverID, const std::optional<QString> &sourceID)
{
    m_cachedRemoteServerIDs.insert(serverID);
    if (const auto source = MatchText::trimmed(sourceID); !source.isEmpty()) {
        m_cachedRemoteSourceIdentityByServerID.insert(serverID, source);
    } else {
        m_cachedRemoteSourceIdentityByServerID.remove(serverID);
    }
    m_remoteIdentityCacheNeedsWrite = true;
}

// ---- clearing

void CloudSyncState::clearCloudSyncState(const QString &reason)
{
    raiseSyncStateEpoch();
    saveCloudPullCursor(QString());
    saveCloudPushCursor(QString());
    m_reminderMappingIndex.removeAll();
    m_listMappingIndex.removeAll();
    m_redundantCompletedCopyServerIDs.clear();
    saveReminderMappings();
    saveListMappings();
    clearRemoteIdentityCache();
    m_log.appendLog(reason);
}

} // namespace quorvin
