#include "matching/CloudSyncState.h"

#include "matching/MatchText.h"
#include "matching/ReminderLookup.h"
#include "matching/Strings.h"
#include "platform/core/DiagnosticSink.h"
#include "platform/defaults/UserDefaults.h"

#include <QFile>
#include <QJsonDocument>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

namespace {
// Each change reaches the journal as it is flushed; the settings' copy of the maps is rewritten
// after this many changes, or after as many changes as the maps hold when that is more: every
// rewrite stores the whole settings file, so at tens of thousands of mappings a fold per commit
// would write the file over and over and stall the window each time, while a journal no longer
// than the maps costs a start little to read.
constexpr int changesBetweenFolds = 200;
const QString journalSuffix = u".journal"_s;
const QString journalKindList = u"list"_s;

bool appendToFile(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const char *data = bytes.constData();
    auto left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            ::close(fd);
            return false;
        }
        data += written;
        left -= size_t(written);
    }
    return ::close(fd) == 0;
}

// Survives a kill at any point: the old journal or the new one, never a part of either.
bool replaceFile(const QString &path, const QByteArray &bytes)
{
    const QString temporary = path + u".new"_s;
    QFile::remove(temporary);
    return appendToFile(temporary, bytes)
        && ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) == 0;
}

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

void CloudSyncState::MappingBatch::close(const std::function<void()> &alongside)
{
    if (auto *state = std::exchange(m_state, nullptr)) {
        state->endCloudMappingMutationBatch(alongside);
    } else if (alongside) {
        alongside();
    }
}

CloudSyncState::CloudSyncState(UserDefaults &defaults, DiagnosticSink &log, const Clock * /*clock*/)
    : m_defaults(defaults)
    , m_log(log)
    , m_cloudPullCursor(defaults.string(MatchingText::keyPullCursor).value_or(QString()))
    , m_cloudPushCursor(defaults.string(MatchingText::keyPushCursor).value_or(QString()))
    , m_reminderMappingIndex(CloudIDMappingIndex::load(defaults, MatchingText::keyReminderMap))
    , m_listMappingIndex(CloudIDMappingIndex::load(defaults, MatchingText::keyListMap))
    , m_journalPath(defaults.companionFilePath(journalSuffix))
    , m_remoteIdentityCacheVersion(defaults.integer(MatchingText::keyRemoteIdentityCacheVersion).value_or(0))
{
    // A stored dictionary is used only when every key and value is text; anything else reads as empty.
    const auto storedIdentities = defaults.stringMap(MatchingText::keyRemoteSourceIdentityMap);
    const auto storedServerIDs = defaults.stringArray(MatchingText::keyRemoteServerIDs);
    const auto storedLists = defaults.stringMap(MatchingText::keyRemoteListMap);
    // A cache read back whole is what the file holds: written again at the first save, it would
    // cost a rewrite of the whole settings file at every start of a large store for nothing.
    m_remoteIdentityCacheNeedsWrite
        = !(m_remoteIdentityCacheVersion == 1 && storedIdentities && storedServerIDs && storedLists);
    if (const auto &map = storedIdentities) {
        for (auto it = map->cbegin(); it != map->cend(); ++it) {
            m_cachedRemoteSourceIdentityByServerID.insert(it.key(), it.value());
        }
    }
    if (const auto &ids = storedServerIDs) {
        m_cachedRemoteServerIDs = QSet<QString>(ids->cbegin(), ids->cend());
    }
    if (const auto ids = defaults.stringArray(MatchingText::keyRemindersCreatedByLastApply)) {
        m_remindersCreatedByLastApply = QSet<QString>(ids->cbegin(), ids->cend());
    }
    if (const auto ids = defaults.stringArray(MatchingText::keyRemindersLostByDatabase)) {
        m_remindersLostByDatabase = QSet<QString>(ids->cbegin(), ids->cend());
    }
    if (const auto &map = storedLists) {
        for (auto it = map->cbegin(); it != map->cend(); ++it) {
            m_cachedRemoteListByServerID.insert(it.key(), it.value());
        }
    }
    replayMappingJournal();
}

void CloudSyncState::noteRemindersCreatedByApply(const QSet<QString> &localIDs)
{
    if (localIDs.isEmpty() || localIDs == m_remindersCreatedByLastApply) {
        return;
    }
    m_remindersCreatedByLastApply = localIDs;
    m_defaults.setEncodedStringSet(MatchingText::keyRemindersCreatedByLastApply, m_remindersCreatedByLastApply);
}

void CloudSyncState::forgetRemindersCreatedByApply(const QList<QString> &localIDs)
{
    const auto before = m_remindersCreatedByLastApply.size();
    for (const auto &localID : localIDs) {
        m_remindersCreatedByLastApply.remove(localID);
    }
    if (m_remindersCreatedByLastApply.size() != before) {
        m_defaults.setEncodedStringSet(MatchingText::keyRemindersCreatedByLastApply, m_remindersCreatedByLastApply);
    }
}

bool CloudSyncState::noteRemindersLostByDatabase(const QList<QString> &localIDs)
{
    const auto before = m_remindersLostByDatabase.size();
    for (const auto &localID : localIDs) {
        if (m_reminderMappingIndex.containsLocalID(localID)) {
            m_remindersLostByDatabase.insert(localID);
        }
    }
    if (m_remindersLostByDatabase.size() == before) {
        return false;
    }
    saveRemindersLostByDatabase();
    return true;
}

void CloudSyncState::forgetRestoredRemindersLostByDatabase()
{
    const auto removed = m_remindersLostByDatabase.removeIf(
        [this](const QString &localID) { return !m_reminderMappingIndex.containsLocalID(localID); });
    if (removed > 0) {
        saveRemindersLostByDatabase();
    }
}

void CloudSyncState::saveRemindersLostByDatabase()
{
    m_defaults.setEncodedStringSet(MatchingText::keyRemindersLostByDatabase, m_remindersLostByDatabase);
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

void CloudSyncState::endCloudMappingMutationBatch(const std::function<void()> &alongside)
{
    m_cloudMappingMutationBatchDepth = std::max(0, m_cloudMappingMutationBatchDepth - 1);
    if (m_cloudMappingMutationBatchDepth > 0) {
        if (alongside) {
            alongside();
        }
        return;
    }
    m_uncommittedMappings.clear();
    foldMappingJournal(alongside);
}

void CloudSyncState::flushCloudMappings()
{
    m_uncommittedMappings.clear();
    if (m_journalPath && m_cloudMappingMutationBatchDepth > 0) {
        const int mapped = m_reminderMappingIndex.recordCount() + m_listMappingIndex.recordCount();
        const bool due = m_changesSinceFold >= std::max(changesBetweenFolds, mapped);
        if (!due && (m_pendingJournal.isEmpty() || appendToJournal(m_pendingJournal))) {
            m_pendingJournal.clear();
            m_pendingEntries.clear();
            return;
        }
    }
    foldMappingJournal();
}

void CloudSyncState::foldMappingJournal(const std::function<void()> &alongside)
{
    {
        const auto write = m_defaults.batchWrites();
        if (alongside) {
            alongside();
        }
        if (m_reminderMappingsNeedSave) {
            m_reminderMappingsNeedSave = false;
            m_reminderMappingIndex.save(m_defaults, MatchingText::keyReminderMap);
        }
        if (m_listMappingsNeedSave) {
            m_listMappingsNeedSave = false;
            m_listMappingIndex.save(m_defaults, MatchingText::keyListMap);
        }
    }
    m_changesSinceFold = 0;
    if (!m_journalPath) {
        return;
    }
    // Until the settings holding the maps are on disk, the journal holds every change they do.
    if (!m_pendingJournal.isEmpty() && appendToJournal(m_pendingJournal)) {
        m_pendingJournal.clear();
        m_pendingEntries.clear();
    }
    const quint64 fold = ++m_folds;
    m_journalSinceFold.append({fold, QByteArray()});
    m_defaults.whenWritten([this, alive = std::weak_ptr<const int>(m_alive), fold](bool saved) {
        if (saved && !alive.expired()) {
            foldedIntoSettings(fold);
        }
    });
}

bool CloudSyncState::appendToJournal(const QByteArray &lines)
{
    if (!appendToFile(*m_journalPath, lines)) {
        return false;
    }
    if (!m_journalSinceFold.isEmpty()) {
        m_journalSinceFold.last().second += lines;
    }
    return true;
}

void CloudSyncState::foldedIntoSettings(quint64 fold)
{
    // What was journalled before the fold is in the settings on disk now; what came after is not.
    while (!m_journalSinceFold.isEmpty() && m_journalSinceFold.constFirst().first < fold) {
        m_journalSinceFold.removeFirst();
    }
    // Mappings waiting for the store are not in the settings: a kill must not lose them.
    QByteArray kept;
    for (const QJsonObject &entry : std::as_const(m_tentativeMappings)) {
        kept += QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    }
    for (const auto &[after, lines] : std::as_const(m_journalSinceFold)) {
        kept += lines;
    }
    if (kept.isEmpty()) {
        QFile::remove(*m_journalPath);
    } else {
        replaceFile(*m_journalPath, kept);
    }
}

void CloudSyncState::journalUncommittedMappings()
{
    if (!m_journalPath || m_cloudMappingMutationBatchDepth < 1 || m_pendingJournal.isEmpty()) {
        return;
    }
    // The same lines, each marked tentative; the flush after the commit writes them for good. A
    // stretch of a large pull holds thousands: each line is marked as it stands, nothing is parsed,
    // and the entries are marked only if the commit fails (restoreMappingCheckpoint).
    static constexpr char mark[] = R"({"t":true,)";
    constexpr qsizetype markSize = sizeof mark - 1;
    QByteArray tentative(m_pendingJournal.size() + m_pendingEntries.size() * (markSize - 1), Qt::Uninitialized);
    char *out = tentative.data();
    for (qsizetype start = 0, end = m_pendingJournal.indexOf('\n'); end >= 0;
         start = end + 1, end = m_pendingJournal.indexOf('\n', start)) {
        std::memcpy(out, mark, markSize);
        out += markSize;
        // The line without its opening brace, with its line break.
        std::memcpy(out, m_pendingJournal.constData() + start + 1, size_t(end - start));
        out += end - start;
    }
    tentative.truncate(out - tentative.constData());
    m_uncommittedMappings = m_pendingEntries;
    appendToJournal(tentative);
}

void CloudSyncState::resolveTentativeMappings(
    const std::function<bool(const QString &localID)> &committed, bool waitForStore)
{
    if (m_tentativeMappings.isEmpty()) {
        return;
    }
    int kept = 0;
    const auto total = m_tentativeMappings.size();
    QList<QJsonObject> waiting;
    for (const QJsonObject &entry : std::as_const(m_tentativeMappings)) {
        const QString serverID = entry.value(u"s"_s).toString();
        const QJsonValue localID = entry.value(u"l"_s);
        // Only a reminder's mapping, only a new one: a removal or a list waits for the next pull.
        if (entry.value(u"k"_s).toString() == journalKindList || !localID.isString()
            || m_reminderMappingIndex.containsServerID(serverID)
            || !m_reminderMappingIndex.serverIDs(localID.toString()).empty()) {
            continue;
        }
        if (!committed(localID.toString())) {
            if (waitForStore) {
                waiting.append(entry);
            }
            continue;
        }
        m_reminderMappingIndex.set(serverID, localID.toString(), entry.value(u"u"_s).toBool());
        ++kept;
    }
    m_tentativeMappings = waiting;
    if (waitForStore && kept == 0) {
        return;
    }
    m_log.appendLog(u"Cloud mapping journal kept "_s + QString::number(kept) + u" of "_s + QString::number(total)
        + u" mappings of an interrupted commit"_s);
    m_reminderMappingsNeedSave = true;
    if (waitForStore) {
        flushCloudMappings();
    } else {
        foldMappingJournal();
    }
}

void CloudSyncState::journal(const QJsonObject &entry)
{
    if (!m_journalPath || m_cloudMappingMutationBatchDepth < 1) {
        return;
    }
    m_pendingJournal += QJsonDocument(entry).toJson(QJsonDocument::Compact);
    m_pendingJournal += '\n';
    m_pendingEntries.append(entry);
    ++m_changesSinceFold;
}

void CloudSyncState::replayMappingJournal()
{
    if (!m_journalPath || !QFile::exists(*m_journalPath)) {
        return;
    }
    QFile file(*m_journalPath);
    if (!file.open(QIODevice::ReadOnly)) {
        m_log.appendLog(u"Cloud mapping journal unreadable: "_s + file.errorString());
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    int replayed = 0;
    // A line the kill cut short has no line break and is no change.
    for (qsizetype start = 0, end = bytes.indexOf('\n'); end >= 0; start = end + 1, end = bytes.indexOf('\n', start)) {
        const QJsonObject entry = QJsonDocument::fromJson(bytes.mid(start, end - start)).object();
        const QString serverID = entry.value(u"s"_s).toString();
        if (serverID.isEmpty()) {
            continue;
        }
        if (entry.value(u"t"_s).toBool()) {
            m_tentativeMappings.append(entry);
            continue;
        }
        CloudIDMappingIndex &index
            = entry.value(u"k"_s).toString() == journalKindList ? m_listMappingIndex : m_reminderMappingIndex;
        if (const QJsonValue localID = entry.value(u"l"_s); localID.isString()) {
            index.set(serverID, localID.toString(), entry.value(u"u"_s).toBool());
        } else {
            index.remove(serverID);
        }
        ++replayed;
    }
    // A later line may have confirmed a tentative one; what is left waits for the store, and for
    // a kill before that the fold keeps it in the journal.
    for (auto it = m_tentativeMappings.begin(); it != m_tentativeMappings.end();) {
        const QString serverID = it->value(u"s"_s).toString();
        if (m_reminderMappingIndex.localID(serverID) == it->value(u"l"_s).toString()) {
            it = m_tentativeMappings.erase(it);
            continue;
        }
        ++it;
    }
    m_reminderMappingsNeedSave = true;
    m_listMappingsNeedSave = true;
    foldMappingJournal();
    m_log.appendLog(u"Cloud mapping journal folded changes="_s + QString::number(replayed));
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
    // The changes made since the checkpoint never reached the journal; what did is folded over.
    // Those of a commit that failed may be written all the same: they wait for the store.
    m_pendingJournal.clear();
    m_pendingEntries.clear();
    for (QJsonObject entry : std::as_const(m_uncommittedMappings)) {
        entry.insert(u"t"_s, true);
        m_tentativeMappings.append(entry);
    }
    m_uncommittedMappings.clear();
    m_reminderMappingIndex = checkpoint.reminders;
    m_listMappingIndex = checkpoint.lists;
    m_cachedRemoteSourceIdentityByServerID = checkpoint.remoteSourceIdentities;
    m_cachedRemoteServerIDs = checkpoint.remoteServerIDs;
    m_remoteIdentityCacheNeedsWrite = checkpoint.remoteIdentityCacheNeedsWrite;
    m_redundantCompletedCopyServerIDs = checkpoint.redundantCompletedCopies;
    saveReminderMappings();
    saveListMappings();
    if (m_journalPath) {
        m_reminderMappingsNeedSave = true;
        m_listMappingsNeedSave = true;
        foldMappingJournal();
    }
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
    journal({{u"s"_s, serverID}, {u"l"_s, localID}, {u"u"_s, uniqueLocalID}});
    saveReminderMappings();
}

void CloudSyncState::removeReminderMapping(const QString &serverID)
{
    m_reminderMappingIndex.remove(serverID);
    journal({{u"s"_s, serverID}});
    saveReminderMappings();
}

void CloudSyncState::setListMapping(const QString &serverID, const QString &localID, bool uniqueLocalID)
{
    if (alreadyMapped(m_listMappingIndex, serverID, localID, uniqueLocalID)) {
        return;
    }
    m_listMappingIndex.set(serverID, localID, uniqueLocalID);
    journal({{u"k"_s, journalKindList}, {u"s"_s, serverID}, {u"l"_s, localID}, {u"u"_s, uniqueLocalID}});
    saveListMappings();
}

void CloudSyncState::removeListMapping(const QString &serverID)
{
    m_listMappingIndex.remove(serverID);
    journal({{u"k"_s, journalKindList}, {u"s"_s, serverID}});
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
    m_cachedRemoteListByServerID.remove(serverID);
    m_remoteIdentityCacheNeedsWrite = true;
    removeReminderMapping(serverID);
}

// ---- remote identity cache

CloudRemoteIdentities CloudSyncState::remoteIdentitiesOf(
    const QHash<QString, QString> &sourceIdentityByServerID, const QSet<QString> &serverIDs)
{
    QHash<QString, QStringList> serverIDsBySourceIdentity;
    for (auto it = sourceIdentityByServerID.cbegin(); it != sourceIdentityByServerID.cend(); ++it) {
        serverIDsBySourceIdentity[it.value()].append(it.key());
    }
    for (auto &ids : serverIDsBySourceIdentity) {
        std::sort(ids.begin(), ids.end());
    }
    return {sourceIdentityByServerID, QSet<QString>(sourceIdentityByServerID.cbegin(), sourceIdentityByServerID.cend()),
        serverIDs, std::move(serverIDsBySourceIdentity)};
}

void CloudSyncState::clearRemoteIdentityCache()
{
    m_cachedRemoteSourceIdentityByServerID.clear();
    m_cachedRemoteServerIDs.clear();
    m_cachedRemoteListByServerID.clear();
    m_remoteListMoved.clear();
    m_remoteIdentityCacheVersion = 0;
    m_remoteIdentityCacheNeedsWrite = true;
    const auto write = m_defaults.batchWrites();
    m_defaults.remove(MatchingText::keyRemoteSourceIdentityMap);
    m_defaults.remove(MatchingText::keyRemoteServerIDs);
    m_defaults.remove(MatchingText::keyRemoteListMap);
    m_defaults.remove(MatchingText::keyRemoteIdentityCacheVersion);
}

void CloudSyncState::saveRemoteIdentityCache()
{
    // Every pull saves the cache; with thousands of reminders an unchanged one is not worth
    // serialising again.
    if (!m_remoteIdentityCacheNeedsWrite && m_remoteIdentityCacheVersion == 1) {
        return;
    }
    // Shared copies of the containers, encoded by the settings' writer: saved after every pull and
    // push, a rebuild here of tens of thousands of entries would stall the window each time.
    const auto write = m_defaults.batchWrites();
    m_defaults.setEncodedStringMap(MatchingText::keyRemoteSourceIdentityMap, m_cachedRemoteSourceIdentityByServerID);
    m_defaults.setEncodedStringSet(MatchingText::keyRemoteServerIDs, m_cachedRemoteServerIDs);
    m_defaults.setEncodedStringMap(MatchingText::keyRemoteListMap, m_cachedRemoteListByServerID);
    m_remoteIdentityCacheVersion = 1;
    m_defaults.setInteger(MatchingText::keyRemoteIdentityCacheVersion, 1);
    m_remoteIdentityCacheNeedsWrite = false;
}

void CloudSyncState::updateRemoteIdentityCache(const SyncResponseEnvelope &envelope)
{
    RemoteIdentityTables tables {std::exchange(m_cachedRemoteSourceIdentityByServerID, {}),
        std::exchange(m_cachedRemoteServerIDs, {}), std::exchange(m_cachedRemoteListByServerID, {}),
        std::exchange(m_remoteListMoved, {})};
    const bool changed = foldIntoRemoteIdentityTables(tables, envelope);
    adoptRemoteIdentityTables(tables, changed);
}

CloudSyncState::RemoteIdentityTables CloudSyncState::remoteIdentityTables() const
{
    return {m_cachedRemoteSourceIdentityByServerID, m_cachedRemoteServerIDs, m_cachedRemoteListByServerID,
        m_remoteListMoved};
}

void CloudSyncState::adoptRemoteIdentityTables(RemoteIdentityTables &tables, bool changed)
{
    std::swap(m_cachedRemoteSourceIdentityByServerID, tables.sourceIdentityByServerID);
    std::swap(m_cachedRemoteServerIDs, tables.serverIDs);
    std::swap(m_cachedRemoteListByServerID, tables.listByServerID);
    std::swap(m_remoteListMoved, tables.listMoved);
    if (changed) {
        m_remoteIdentityCacheNeedsWrite = true;
    }
    saveRemoteIdentityCache();
}

bool CloudSyncState::foldIntoRemoteIdentityTables(RemoteIdentityTables &tables, const SyncResponseEnvelope &envelope)
{
    // The cache is changed in place: a small answer costs what it holds, not a copy and a
    // comparison of tens of thousands of entries. Only a full snapshot, which brings them all,
    // builds the cache anew and compares it with the old one.
    const bool full = envelope.full_snapshot;
    QHash<QString, QString> identitiesBefore;
    QSet<QString> serverIDsBefore;
    // The list each touched item had before this answer (absent: none known), to tell a move.
    QHash<QString, std::optional<QString>> listsBefore;
    QHash<QString, QString> wholeListsBefore;
    if (full) {
        identitiesBefore = std::exchange(tables.sourceIdentityByServerID, {});
        serverIDsBefore = std::exchange(tables.serverIDs, {});
        wholeListsBefore = std::exchange(tables.listByServerID, {});
        tables.sourceIdentityByServerID.reserve(envelope.items.size());
        tables.serverIDs.reserve(envelope.items.size());
        tables.listByServerID.reserve(envelope.items.size());
    }
    const auto listBefore = [&](const QString &serverID) -> std::optional<QString> {
        if (full) {
            const auto found = wholeListsBefore.constFind(serverID);
            return found == wholeListsBefore.cend() ? std::nullopt : std::optional<QString>(*found);
        }
        if (const auto touched = listsBefore.constFind(serverID); touched != listsBefore.cend()) {
            return *touched;
        }
        const auto found = tables.listByServerID.constFind(serverID);
        auto list = found == tables.listByServerID.cend() ? std::nullopt : std::optional<QString>(*found);
        listsBefore.insert(serverID, list);
        return list;
    };
    bool changed = false;
    for (const auto &id : envelope.deleted_ids) {
        listBefore(id);
        changed |= tables.sourceIdentityByServerID.remove(id);
        changed |= tables.serverIDs.remove(id);
        changed |= tables.listByServerID.remove(id);
    }
    for (const auto &item : envelope.items) {
        const auto serverID = item.local_id.trimmed();
        if (serverID.isEmpty()) {
            continue;
        }
        const auto list = MatchText::trimmed(item.list_id);
        if (const auto before = listBefore(serverID); !before || *before != list) {
            tables.listMoved.insert(serverID);
        }
        if (!tables.serverIDs.contains(serverID)) {
            tables.serverIDs.insert(serverID);
            changed = true;
        }
        if (const auto current = tables.listByServerID.constFind(serverID);
            current == tables.listByServerID.cend() || *current != list) {
            tables.listByServerID.insert(serverID, list);
            changed = true;
        }
        if (const auto source = MatchText::trimmed(item.source_item_id); !source.isEmpty()) {
            if (const auto current = tables.sourceIdentityByServerID.constFind(serverID);
                current == tables.sourceIdentityByServerID.cend() || *current != source) {
                tables.sourceIdentityByServerID.insert(serverID, source);
                changed = true;
            }
        } else {
            changed |= tables.sourceIdentityByServerID.remove(serverID);
        }
    }
    if (full) {
        changed = tables.sourceIdentityByServerID != identitiesBefore || tables.serverIDs != serverIDsBefore
            || tables.listByServerID != wholeListsBefore;
    }
    return changed;
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
    m_remindersCreatedByLastApply.clear();
    m_defaults.setStringArray(MatchingText::keyRemindersCreatedByLastApply, {});
    m_remindersLostByDatabase.clear();
    m_defaults.setStringArray(MatchingText::keyRemindersLostByDatabase, {});
    m_pendingJournal.clear();
    m_pendingEntries.clear();
    m_tentativeMappings.clear();
    m_uncommittedMappings.clear();
    saveReminderMappings();
    saveListMappings();
    if (m_journalPath) {
        // A journal replayed over the cleared maps would bring the old mappings back.
        m_reminderMappingsNeedSave = true;
        m_listMappingsNeedSave = true;
        foldMappingJournal();
    }
    clearRemoteIdentityCache();
    m_log.appendLog(reason);
}

} // namespace quorvin
