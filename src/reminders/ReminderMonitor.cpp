#include "reminders/ReminderMonitor.h"

#include "matching/SyncStateStore.h"
#include "model/DateFormatters.h"
#include "model/SyncError.h"
#include "platform/concurrency/Spawn.h"
#include "reminders/Strings.h"

#include <QHash>
#include <QScopeGuard>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {
constexpr int kYieldEvery = 12;
constexpr int kCopyBeforeYield = 500;
constexpr std::chrono::milliseconds kFirstDebounce {1000};
constexpr std::chrono::milliseconds kSettleDebounce {2000};
} // namespace

ReminderMonitor::ReminderMonitor(ReminderStore &eventStore, SyncStateStore &stateStore, RefreshCallback onRefresh,
    DiagnosticCallback onDiagnostic, Clock &clock, QTimeZone timeZone, QObject *parent)
    : QObject(parent)
    , m_eventStore(eventStore)
    , m_stateStore(stateStore)
    , m_onRefresh(std::move(onRefresh))
    , m_onDiagnostic(std::move(onDiagnostic))
    , m_clock(clock)
    , m_mapper(GregorianCalendar(timeZone), m_onDiagnostic)
    , m_next(GregorianCalendar(timeZone))
{
}

ReminderMonitor::~ReminderMonitor()
{
    if (m_observer) {
        disconnect(m_observer);
    }
    if (m_pendingTask) {
        m_pendingTask->cancel();
    }
}

ReminderMonitor::WriteGroup::WriteGroup(ReminderMonitor &monitor)
    : m_monitor(&monitor)
{
    Q_ASSERT(!monitor.m_writeGroupOpen);
    monitor.m_writeGroupOpen = true;
    monitor.m_writeGroupFailure = nullptr;
    m_outsideChanges = monitor.m_eventStore.counters().outsideChanges;
}

ReminderMonitor::WriteGroup::WriteGroup(WriteGroup &&other) noexcept
    : m_monitor(std::exchange(other.m_monitor, nullptr))
    , m_outsideChanges(other.m_outsideChanges)
{
}

ReminderMonitor::WriteGroup::~WriteGroup()
{
    if (m_monitor) {
        drop();
        m_monitor->m_writeGroupOpen = false;
    }
}

void ReminderMonitor::WriteGroup::commit()
{
    ReminderStore &store = m_monitor->m_eventStore;
    if (auto failure = std::exchange(m_monitor->m_writeGroupFailure, nullptr)) {
        store.reset();
        std::rethrow_exception(failure);
    }
    if (store.counters().outsideChanges != m_outsideChanges) {
        // What was staged before the change is gone; what was staged after it builds on writes
        // that never happened.
        store.reset();
        m_outsideChanges = store.counters().outsideChanges;
        throw ReminderStoreError(
            ReminderStoreError::WriteFailed, u"Reminder database changed from outside while writes were staged"_s);
    }
    try {
        store.commit();
    } catch (...) {
        // A commit that could not be written keeps its writes staged; none of them may reach the
        // database later through an unrelated commit.
        store.reset();
        throw;
    }
}

void ReminderMonitor::WriteGroup::drop()
{
    m_monitor->m_writeGroupFailure = nullptr;
    m_outsideChanges = m_monitor->m_eventStore.counters().outsideChanges;
    if (m_monitor->m_eventStore.hasUncommittedChanges()) {
        m_monitor->m_eventStore.reset();
    }
}

ReminderMonitor::WriteGroup ReminderMonitor::groupWrites()
{
    return WriteGroup(*this);
}

void ReminderMonitor::commitUnlessGrouped()
{
    if (commitsEachWrite()) {
        m_eventStore.commit();
    }
}

void ReminderMonitor::diagnostic(const QString &line) const
{
    if (m_onDiagnostic) {
        m_onDiagnostic(line);
    }
}

void ReminderMonitor::requestAccess()
{
    switch (m_eventStore.accessStatus()) {
    case ReminderStore::AccessStatus::NotDetermined:
        if (!m_eventStore.requestFullAccess()) {
            throw SyncError::permissionDenied();
        }
        return;
    case ReminderStore::AccessStatus::FullAccess:
        return;
    default:
        throw SyncError::permissionDenied();
    }
}

QCoro::Task<void> ReminderMonitor::start()
{
    co_await m_eventStore.loadAhead();
    requestAccess();
    co_await refresh(RemindersText::reasonStartup);
    if (!m_observer) {
        m_observer = connect(&m_eventStore, &ReminderStore::changed, this, &ReminderMonitor::handleStoreChanged);
    }
}

void ReminderMonitor::stopObserving()
{
    if (m_observer) {
        disconnect(m_observer);
        m_observer = {};
    }
    if (m_pendingTask) {
        m_pendingTask->cancel();
        m_pendingTask.reset();
    }
}

void ReminderMonitor::handleStoreChanged()
{
    diagnostic(RemindersText::diagStoreChanged);
    scheduleDebouncedRefresh();
}

void ReminderMonitor::scheduleDebouncedRefresh()
{
    if (m_pendingTask) {
        m_pendingTask->cancel();
    }
    m_pendingTask = std::make_unique<CancelSource>();
    spawn(debounce(m_pendingTask->token()), u"reminder refresh debounce"_s);
}

QCoro::Task<void> ReminderMonitor::debounce(CancelToken token)
{
    // The token outlives the monitor (its state is shared), so it is checked before `this` is used
    // after every wait: a released monitor cancels it.
    try {
        co_await m_clock.sleep(kFirstDebounce, token);
    } catch (const CancelledError &) {
        co_return;
    }
    if (token.isCancelled()) {
        co_return;
    }
    try {
        co_await refresh(RemindersText::reasonEventKitChange);
    } catch (...) {
        // The next store change tries again.
    }
    if (token.isCancelled()) {
        co_return;
    }
    try {
        co_await m_clock.sleep(kSettleDebounce, token);
    } catch (const CancelledError &) {
        co_return;
    }
    if (token.isCancelled()) {
        co_return;
    }
    try {
        co_await refresh(RemindersText::reasonEventKitSettle);
    } catch (...) {
    }
}

QCoro::Task<std::vector<Reminder>> ReminderMonitor::fetchRawReminders(quint64 *version)
{
    // A large store is copied a slice per turn of the loop, every slice from one version of it:
    // copied whole at once, it held the window for as long as the copy took. A change between two
    // slices starts the copy over; a store that keeps changing is copied whole after a few tries.
    static constexpr std::size_t slice = 2000;
    static constexpr int tries = 3;
    for (int attempt = 0; attempt < tries; ++attempt) {
        const std::size_t total = m_eventStore.reminderCount();
        const quint64 readAt = m_eventStore.contentsVersion();
        if (total <= slice) {
            break;
        }
        std::vector<Reminder> raw;
        raw.reserve(total);
        while (raw.size() < total && m_eventStore.contentsVersion() == readAt) {
            auto part = m_eventStore.reminderSlice(raw.size(), slice);
            if (part.empty()) {
                break;
            }
            std::move(part.begin(), part.end(), std::back_inserter(raw));
            if (raw.size() < total) {
                co_await m_clock.yield();
            }
        }
        // Complete only when no slice saw another version.
        if (raw.size() == total) {
            if (version) {
                *version = readAt;
            }
            co_return raw;
        }
    }
    if (version) {
        *version = m_eventStore.contentsVersion();
    }
    co_return m_eventStore.reminders();
}

QCoro::Task<std::vector<ReminderPayloadRef>> ReminderMonitor::fetchAllReminders()
{
    co_return co_await mapAllReminders(co_await fetchRawReminders());
}

ReminderMonitor::Placements ReminderMonitor::placementsOf(
    std::vector<ReminderList> lists, std::vector<ReminderSource> sources)
{
    QHash<QString, ReminderSource> sourceByID;
    for (ReminderSource &source : sources) {
        const QString id = source.id;
        sourceByID.emplace(id, std::move(source));
    }
    Placements placements;
    for (ReminderList &list : lists) {
        const QString id = list.id;
        ReminderMapper::Placement placement {std::move(list), std::nullopt, {}};
        const auto source = sourceByID.constFind(placement.list->sourceId);
        if (source != sourceByID.constEnd()) {
            placement.source = *source;
        }
        placements.byList.emplace(id, std::move(placement));
    }
    return placements;
}

std::optional<ReminderPayloadRef> ReminderMonitor::mapAfresh(const Reminder &item, const Placements &placements) const
{
    auto payload = m_mapper.mapReminder(item, placements.of(item.listId), true);
    if (!payload) {
        return std::nullopt;
    }
    // A reminder mapped as the journal holds it keeps the journal's payload: a second copy of the
    // whole store is never built up while it is read.
    return m_stateStore.share(std::move(*payload));
}

QCoro::Task<std::vector<ReminderPayloadRef>> ReminderMonitor::mapAllReminders(
    std::vector<Reminder> raw, std::optional<LastMapping> *record)
{
    std::vector<ReminderSource> sources = m_eventStore.sources();
    std::vector<ReminderList> lists = m_eventStore.lists();
    if (lists != m_mappedLists || sources != m_mappedSources) {
        m_mapped.clear();
        ++m_mappedPlacements;
        m_mappedLists = lists;
        m_mappedSources = sources;
    }
    // Another mapping may run while this one yields; what it keeps is for the placements it saw.
    const quint64 placements = m_mappedPlacements;
    // A copy of the shared tables: the mapping and the apply's look-ups make each raw summary once.
    const Placements placementsNow = currentPlacements();
    std::vector<MappingEntry> entries;
    if (record) {
        entries.reserve(raw.size());
    }
    std::vector<ReminderPayloadRef> payloads;
    payloads.reserve(raw.size());
    QHash<QString, MappedReminder> mapped;
    mapped.reserve(qsizetype(raw.size()));
    int handled = 0;
    for (Reminder &item : raw) {
        const bool keepable = item.recurrenceRules.empty() && !item.id.isEmpty();
        const auto kept = keepable && placements == m_mappedPlacements ? m_mapped.constFind(item.id) : m_mapped.cend();
        if (kept != m_mapped.cend() && kept->reminder == item) {
            payloads.push_back(kept->payload);
            if (record) {
                entries.push_back({item.id, kept->payload});
            }
            // Equal to the kept one, and this mapping's own: moved in rather than copied.
            const QString id = item.id;
            mapped.emplace(id, MappedReminder {std::move(item), kept->payload});
        } else {
            auto payload = mapAfresh(item, placementsNow);
            if (record) {
                entries.push_back({item.id, payload && keepable ? *payload : ReminderPayloadRef()});
            }
            if (payload) {
                payloads.push_back(std::move(*payload));
                if (keepable) {
                    const QString id = item.id;
                    mapped.emplace(id, MappedReminder {std::move(item), payloads.back()});
                }
            }
        }
        if (++handled % kYieldEvery == 0) {
            co_await m_clock.yield();
        }
    }
    // Only what this store still holds is kept, and only when the placements are still the ones
    // it was mapped in.
    if (placements == m_mappedPlacements) {
        m_mapped = std::move(mapped);
        if (record) {
            *record = LastMapping {0, placements, std::move(entries)};
        }
    }
    co_return payloads;
}

std::vector<ReminderListDirectoryPayload> ReminderMonitor::fetchAllReminderLists() const
{
    return m_mapper.mapLists(m_eventStore.lists());
}

QCoro::Task<std::optional<std::vector<ReminderPayloadRef>>> ReminderMonitor::remapUnchangedStore()
{
    // The contents version moves with every change of the store's reminders and lists, staged or
    // committed, and with every reload: at the version the last refresh read, the store holds
    // just what it mapped then. Only the reminders mapped afresh each time are read again.
    const auto unchanged = [this] {
        return m_lastMapping && m_lastMapping->version == m_eventStore.contentsVersion()
            && m_lastMapping->placements == m_mappedPlacements;
    };
    if (!unchanged()) {
        co_return std::nullopt;
    }
    std::optional<Placements> placementsNow;
    std::vector<ReminderPayloadRef> payloads;
    payloads.reserve(m_lastMapping->entries.size());
    int mapped = 0;
    for (std::size_t i = 0; i < m_lastMapping->entries.size(); ++i) {
        const MappingEntry &entry = m_lastMapping->entries[i];
        if (entry.payload) {
            payloads.push_back(entry.payload);
            continue;
        }
        const auto item = m_eventStore.reminder(entry.id);
        if (!item) {
            co_return std::nullopt;
        }
        if (!placementsNow) {
            placementsNow = currentPlacements();
        }
        if (auto payload = mapAfresh(*item, *placementsNow)) {
            payloads.push_back(std::move(*payload));
        }
        if (++mapped % kYieldEvery == 0) {
            co_await m_clock.yield();
            if (!unchanged()) {
                co_return std::nullopt;
            }
        }
    }
    co_return payloads;
}

QCoro::Task<void> ReminderMonitor::refresh(QString reason)
{
    // A refresh yields while it maps, so two could overlap, and the one that read the store first
    // could journal last and win with an older state. Each waits for the one before it instead.
    const std::optional<Wakeup> previous = std::exchange(m_lastRefreshEnded, Wakeup());
    const auto release = qScopeGuard([ended = *m_lastRefreshEnded] { ended.fire(); });
    if (previous) {
        co_await *previous;
    }
    // Both reads happen before the journal is touched: a failed read leaves it as it was, and an
    // unreadable store is never taken for an empty one.
    std::vector<ReminderPayloadRef> reminders;
    if (auto again = co_await remapUnchangedStore()) {
        reminders = std::move(*again);
    } else {
        m_lastMapping.reset();
        quint64 version = 0;
        std::vector<Reminder> raw = co_await fetchRawReminders(&version);
        // A series completed from outside is split before it is journalled, so the journal never
        // holds it completed with its rules (read as a plain completed reminder, it would end the
        // series everywhere) and the engine finds the completed occurrence and the next one as a
        // pair. Any refresh does it, not only the one the outside change scheduled: another may
        // read the change first. The bridge's own writes never leave that shape behind, since
        // completing a series with a next occurrence splits it there. The copy read after a
        // split was not looked at again, so it is not kept for the next refresh.
        const bool split = splitOutsideRecurringCompletions(raw);
        if (split) {
            raw = co_await fetchRawReminders();
        }
        std::optional<LastMapping> mapping;
        reminders = co_await mapAllReminders(std::move(raw), split ? nullptr : &mapping);
        if (mapping) {
            mapping->version = version;
            m_lastMapping = std::move(mapping);
        }
    }
    const std::vector<ReminderListDirectoryPayload> lists = fetchAllReminderLists();
    QList<ReminderRefreshListChange> listChanges
        = m_stateStore.replaceListDirectory(QList<ReminderListDirectoryPayload>(lists.begin(), lists.end()));
    ReminderRefreshEvent event = m_stateStore.applySnapshot(reminders);
    event.reason = reason;
    event.listChanges = std::move(listChanges);
    if (event.deletions > 0) {
        separateRemindersLostByDatabase(event);
    }
    if (m_onRefresh) {
        m_onRefresh(event);
    }
}

void ReminderMonitor::separateRemindersLostByDatabase(ReminderRefreshEvent &event) const
{
    const auto lost = m_eventStore.remindersLostByDatabase();
    if (lost.isEmpty()) {
        return;
    }
    event.reminderChanges.removeIf([&](const ReminderRefreshItemChange &change) {
        if (change.after || !change.before || !lost.contains(change.before->local_id)) {
            return false;
        }
        event.lostReminderIDs.append(change.before->local_id);
        return true;
    });
    event.deletions -= int(event.lostReminderIDs.size());
}

QCoro::Task<ReminderMonitorDiagnosticSnapshot> ReminderMonitor::diagnosticSnapshot()
{
    requestAccess();
    ReminderMonitorDiagnosticSnapshot snapshot;
    snapshot.generated_at = DateFormatters::fractionalISO8601(m_clock.now());
    const std::vector<ReminderPayloadRef> reminders = co_await fetchAllReminders();
    // Copied a stretch at a time: tens of thousands in one go would stall the window.
    snapshot.reminders.reserve(qsizetype(reminders.size()));
    int copied = 0;
    for (const auto &payload : reminders) {
        snapshot.reminders.append(*payload);
        if (++copied % kCopyBeforeYield == 0) {
            co_await m_clock.yield();
        }
    }
    for (auto &list : fetchAllReminderLists()) {
        snapshot.lists.append(std::move(list));
    }
    co_return snapshot;
}

const ReminderMonitor::Placements &ReminderMonitor::currentPlacements() const
{
    auto lists = m_eventStore.lists();
    auto sources = m_eventStore.sources();
    if (!m_currentPlacements || m_currentPlacements->lists != lists || m_currentPlacements->sources != sources) {
        auto placements = placementsOf(lists, sources);
        m_currentPlacements = KeptPlacements {std::move(lists), std::move(sources), std::move(placements)};
    }
    return m_currentPlacements->placements;
}

std::optional<ReminderPayload> ReminderMonitor::mapReminder(const Reminder &item, bool emitDiagnostics) const
{
    return m_mapper.mapReminder(item, currentPlacements().of(item.listId), emitDiagnostics);
}

ReminderPayloadRef ReminderMonitor::keptRecord(const Reminder &item) const
{
    const auto kept = m_mapped.constFind(item.id);
    if (kept == m_mapped.cend() || !(kept->reminder == item)) {
        return nullptr;
    }
    if (m_eventStore.lists() != m_mappedLists || m_eventStore.sources() != m_mappedSources) {
        return nullptr;
    }
    return kept->payload;
}

std::optional<Reminder> ReminderMonitor::findReminder(const QString &localID) const
{
    if (localID.isEmpty()) {
        return std::nullopt;
    }
    return m_eventStore.reminder(localID);
}

Reminder ReminderMonitor::requireReminder(const QString &localID) const
{
    auto found = findReminder(localID);
    if (!found) {
        throw SyncError::notFound();
    }
    return std::move(*found);
}

std::optional<LocalReminderState> ReminderMonitor::reminder(const QString &localID) const
{
    std::optional<Reminder> found;
    try {
        found = findReminder(localID);
    } catch (const Error &) {
        return std::nullopt;
    }
    if (!found) {
        return std::nullopt;
    }
    LocalReminderState state;
    state.localID = found->id;
    state.isCompleted = found->completed;
    state.hasRecurrenceRules = !found->recurrenceRules.empty();
    if (!found->listId.isEmpty()) {
        state.listID = found->listId;
    }
    state.lastModifiedDate = found->lastModifiedDate;
    return state;
}

ReminderPayloadRef ReminderMonitor::mapReminder(const QString &localID) const
{
    try {
        const auto found = findReminder(localID);
        if (!found) {
            return nullptr;
        }
        if (auto kept = keptRecord(*found)) {
            return kept;
        }
        auto payload = mapReminder(*found, false);
        return payload ? std::make_shared<const ReminderPayload>(std::move(*payload)) : nullptr;
    } catch (const Error &) {
        return nullptr;
    }
}

std::optional<QString> ReminderMonitor::localListID(const std::optional<QString> &sourceListID) const
{
    if (!sourceListID) {
        return std::nullopt;
    }
    const QString id = sourceListID->trimmed();
    if (id.isEmpty()) {
        return std::nullopt;
    }
    try {
        for (const ReminderList &list : m_eventStore.lists()) {
            if (list.id == id) {
                return list.id;
            }
        }
    } catch (const Error &) {
    }
    return std::nullopt;
}

std::optional<ReminderList> ReminderMonitor::resolveTargetCalendar(
    const std::optional<QString> &listID, const std::optional<QString> &listName) const
{
    const QString id = listID.value_or(QString()).trimmed();
    const QString name = listName.value_or(QString()).trimmed();
    if (id.isEmpty() && name.isEmpty()) {
        return std::nullopt;
    }
    const std::vector<ReminderList> lists = m_eventStore.lists();
    if (!id.isEmpty()) {
        for (const ReminderList &list : lists) {
            if (list.id == id) {
                return list;
            }
        }
    }
    if (!name.isEmpty()) {
        for (const ReminderList &list : lists) {
            if (list.title == name) {
                return list;
            }
        }
    }
    throw SyncError::invalidRequest(RemindersText::errTargetListNotFound);
}

QCoro::Task<std::pair<QString, QString>> ReminderMonitor::createList(QString name, bool refreshAfterWrite)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        throw SyncError::invalidRequest(RemindersText::errListNameRequired);
    }
    ReminderList list;
    list.title = trimmed;
    const std::vector<ReminderSource> sources = m_eventStore.sources();
    const auto sourceExists = [&](const QString &id) {
        return std::any_of(sources.begin(), sources.end(), [&](const ReminderSource &s) { return s.id == id; });
    };
    if (const auto defaultList = m_eventStore.defaultListForNewReminders();
        defaultList && !defaultList->sourceId.isEmpty() && sourceExists(defaultList->sourceId)) {
        list.sourceId = defaultList->sourceId;
    } else {
        const auto local = std::find_if(sources.begin(), sources.end(),
            [](const ReminderSource &s) { return s.kind == ReminderSource::Kind::Local; });
        if (local != sources.end()) {
            list.sourceId = local->id;
        } else if (!sources.empty()) {
            list.sourceId = sources.front().id;
        } else {
            throw SyncError::invalidRequest(RemindersText::errNoCalendarSource);
        }
    }
    const ReminderList saved = committing([&] { return m_eventStore.saveList(list, commitsEachWrite()); });
    if (refreshAfterWrite) {
        co_await refresh(RemindersText::reasonAndroidWrite);
    }
    co_return std::pair {saved.id, trimmed};
}

QCoro::Task<void> ReminderMonitor::updateList(QString listID, QString newName, bool refreshAfterWrite)
{
    const QString trimmed = newName.trimmed();
    if (trimmed.isEmpty()) {
        throw SyncError::invalidRequest(RemindersText::errListNameRequired);
    }
    std::optional<ReminderList> found;
    for (const ReminderList &list : m_eventStore.lists()) {
        if (list.id == listID) {
            found = list;
            break;
        }
    }
    if (!found) {
        throw SyncError::notFound();
    }
    found->title = trimmed;
    committing([&] { m_eventStore.saveList(*found, commitsEachWrite()); });
    if (refreshAfterWrite) {
        co_await refresh(RemindersText::reasonAndroidWrite);
    }
}

QCoro::Task<void> ReminderMonitor::deleteList(QString listID, bool refreshAfterWrite)
{
    bool exists = false;
    for (const ReminderList &list : m_eventStore.lists()) {
        if (list.id == listID) {
            exists = true;
            break;
        }
    }
    if (!exists) {
        throw SyncError::notFound();
    }
    committing([&] { m_eventStore.removeList(listID, commitsEachWrite()); });
    if (refreshAfterWrite) {
        co_await refresh(RemindersText::reasonAndroidWrite);
    }
}

} // namespace quorvin
