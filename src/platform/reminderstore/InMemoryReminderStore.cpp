#include "platform/reminderstore/InMemoryReminderStore.h"

#include <QSet>
#include <QUuid>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

// Instants are kept in UTC so that what is read back from the file equals what was saved.
void toUtc(std::optional<QDateTime> &date)
{
    if (date && date->isValid()) {
        date = date->toUTC();
    }
}

template <typename T> auto findById(const std::vector<T> &items, const QString &id)
{
    return std::find_if(items.begin(), items.end(), [&id](const T &item) { return item.id == id; });
}

// What the store cannot hold: dates that name no instant and numbers that are no numbers.
bool storable(const Reminder &reminder)
{
    const auto valid = [](const std::optional<QDateTime> &date) { return !date || date->isValid(); };
    if (!valid(reminder.completionDate) || (reminder.url && !Reminder::isUrl(*reminder.url))) {
        return false;
    }
    if (reminder.alarms) {
        for (const auto &alarm : *reminder.alarms) {
            if (!valid(alarm.absoluteDate) || !std::isfinite(alarm.relativeOffset)) {
                return false;
            }
            if (const auto &place = alarm.structuredLocation) {
                if (!std::isfinite(place->radius)
                    || (place->geoLocation
                        && (!std::isfinite(place->geoLocation->latitude)
                            || !std::isfinite(place->geoLocation->longitude)))) {
                    return false;
                }
            }
        }
    }
    for (const auto &rule : reminder.recurrenceRules) {
        if (rule.end && !valid(rule.end->endDate)) {
            return false;
        }
    }
    return true;
}

} // namespace

QString InMemoryReminderStore::newId()
{
    if (m_idGenerator) {
        return m_idGenerator();
    }
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

InMemoryReminderStore::InMemoryReminderStore(Clock &clock, QObject *parent)
    : ReminderStore(parent)
    , m_clock(clock)
    , m_working(initialState())
{
    reindex();
}

InMemoryReminderStore::~InMemoryReminderStore() = default;

InMemoryReminderStore::State InMemoryReminderStore::initialState()
{
    State state;
    state.sources.push_back(ReminderSource {u"local"_s, u"Local"_s, ReminderSource::Kind::Local});
    return state;
}

ReminderStore::AccessStatus InMemoryReminderStore::accessStatus() const
{
    return m_accessStatus;
}

bool InMemoryReminderStore::requestFullAccess()
{
    if (m_accessStatus == AccessStatus::NotDetermined) {
        if (m_accessError) {
            throw *m_accessError;
        }
        m_accessStatus = m_accessAnswer ? AccessStatus::FullAccess : AccessStatus::Denied;
    }
    return m_accessStatus == AccessStatus::FullAccess;
}

void InMemoryReminderStore::requireAccess() const
{
    if (m_accessStatus != AccessStatus::FullAccess) {
        throw ReminderStoreError(ReminderStoreError::AccessDenied, u"No full access to reminders"_s);
    }
    // Loading the data on first use is no change of the store's contents.
    const_cast<InMemoryReminderStore *>(this)->ensureLoaded();
}

void InMemoryReminderStore::throwInjectedFailure()
{
    if (m_injectedFailure) {
        auto error = std::move(*m_injectedFailure);
        m_injectedFailure.reset();
        throw error;
    }
}

std::vector<ReminderSource> InMemoryReminderStore::sources() const
{
    requireAccess();
    return m_working.sources;
}

std::vector<ReminderList> InMemoryReminderStore::lists() const
{
    requireAccess();
    return m_working.lists;
}

std::optional<ReminderList> InMemoryReminderStore::list(const QString &id) const
{
    requireAccess();
    const auto position = listPosition(id);
    if (position < 0) {
        return std::nullopt;
    }
    return m_working.lists[std::size_t(position)];
}

std::optional<ReminderList> InMemoryReminderStore::defaultListForNewReminders() const
{
    requireAccess();
    if (m_working.defaultListId) {
        if (const auto position = listPosition(*m_working.defaultListId); position >= 0) {
            return m_working.lists[std::size_t(position)];
        }
    }
    if (m_working.lists.empty()) {
        return std::nullopt;
    }
    return m_working.lists.front();
}

std::vector<Reminder> InMemoryReminderStore::reminders(const std::optional<QStringList> &listIds) const
{
    requireAccess();
    if (!listIds) {
        return m_working.reminders;
    }
    const QSet<QString> wanted(listIds->begin(), listIds->end());
    std::vector<Reminder> result;
    for (const auto &reminder : m_working.reminders) {
        if (wanted.contains(reminder.listId)) {
            result.push_back(reminder);
        }
    }
    return result;
}

std::optional<Reminder> InMemoryReminderStore::reminder(const QString &id) const
{
    requireAccess();
    const auto position = reminderPosition(id);
    if (position < 0) {
        return std::nullopt;
    }
    return m_working.reminders[std::size_t(position)];
}

std::size_t InMemoryReminderStore::reminderCount() const
{
    requireAccess();
    return m_working.reminders.size();
}

std::vector<Reminder> InMemoryReminderStore::reminderSlice(std::size_t from, std::size_t count) const
{
    requireAccess();
    const auto &all = m_working.reminders;
    const auto begin = std::min(from, all.size());
    const auto end = begin + std::min(count, all.size() - begin);
    return {all.begin() + std::ptrdiff_t(begin), all.begin() + std::ptrdiff_t(end)};
}

void InMemoryReminderStore::reserveReminders(std::size_t count)
{
    const auto wanted = m_working.reminders.size() + count;
    m_working.reminders.reserve(wanted);
    m_reminderPositions.reserve(qsizetype(wanted));
}

qsizetype InMemoryReminderStore::reminderPosition(const QString &id) const
{
    return id.isEmpty() ? -1 : m_reminderPositions.value(id, -1);
}

qsizetype InMemoryReminderStore::listPosition(const QString &id) const
{
    return id.isEmpty() ? -1 : m_listPositions.value(id, -1);
}

void InMemoryReminderStore::reindex()
{
    m_reminderPositions.clear();
    m_reminderPositions.reserve(qsizetype(m_working.reminders.size()));
    for (std::size_t i = 0; i < m_working.reminders.size(); ++i) {
        m_reminderPositions.insert(m_working.reminders[i].id, qsizetype(i));
    }
    m_listPositions.clear();
    m_listPositions.reserve(qsizetype(m_working.lists.size()));
    for (std::size_t i = 0; i < m_working.lists.size(); ++i) {
        m_listPositions.insert(m_working.lists[i].id, qsizetype(i));
    }
}

Reminder InMemoryReminderStore::normalised(Reminder reminder) const
{
    if (!reminder.completed) {
        reminder.completionDate.reset();
    }
    toUtc(reminder.completionDate);
    if (reminder.alarms) {
        for (auto &alarm : *reminder.alarms) {
            toUtc(alarm.absoluteDate);
        }
    }
    for (auto &rule : reminder.recurrenceRules) {
        if (rule.end) {
            toUtc(rule.end->endDate);
        }
    }
    return reminder;
}

Reminder InMemoryReminderStore::saveReminder(Reminder reminder, bool commitNow)
{
    requireAccess();
    ++m_counters.reminderSaves;
    throwInjectedFailure();

    if (reminder.priority < 0 || reminder.priority > 9) {
        throw ReminderStoreError(
            ReminderStoreError::InvalidItem, u"Reminder priority %1 is outside 0-9"_s.arg(reminder.priority));
    }
    if (listPosition(reminder.listId) < 0) {
        throw ReminderStoreError(
            ReminderStoreError::InvalidItem, u"Reminder list \"%1\" does not exist"_s.arg(reminder.listId));
    }
    if (reminder.url && reminder.url->isEmpty()) {
        reminder.url.reset();
    }
    if (!storable(reminder)) {
        throw ReminderStoreError(ReminderStoreError::InvalidItem, u"Reminder holds an invalid date, URL or number"_s);
    }
    reminder = normalised(std::move(reminder));

    if (reminder.id.isEmpty()) {
        const auto now = m_clock.now().toUTC();
        reminder.id = newId();
        if (!reminder.externalId || reminder.externalId->isEmpty()) {
            reminder.externalId = newId();
        }
        if (reminder.completed && !reminder.completionDate) {
            reminder.completionDate = now;
        }
        reminder.creationDate = now;
        reminder.lastModifiedDate = now;
        stage([&reminder](State &state) { state.reminders.push_back(reminder); },
            [](State &state) { state.reminders.pop_back(); });
        m_reminderPositions.insert(reminder.id, qsizetype(m_working.reminders.size()) - 1);
    } else {
        const auto index = reminderPosition(reminder.id);
        if (index < 0) {
            throw ReminderStoreError(
                ReminderStoreError::NotFound, u"Reminder \"%1\" does not exist"_s.arg(reminder.id));
        }
        const auto found = m_working.reminders.begin() + index;
        reminder.externalId = found->externalId;
        reminder.creationDate = found->creationDate;
        reminder.lastModifiedDate = found->lastModifiedDate;
        if (reminder.completed && !reminder.completionDate) {
            reminder.completionDate
                = found->completed && found->completionDate ? found->completionDate : m_clock.now().toUTC();
        }
        if (reminder != *found) {
            reminder.lastModifiedDate = m_clock.now().toUTC();
            stage([&reminder, index](State &state) { state.reminders[std::size_t(index)] = reminder; },
                [old = *found, index](State &state) { state.reminders[std::size_t(index)] = old; });
        }
    }
    if (commitNow) {
        commit();
    }
    return reminder;
}

void InMemoryReminderStore::removeReminder(const QString &id, bool commitNow)
{
    requireAccess();
    ++m_counters.reminderRemovals;
    throwInjectedFailure();
    const auto index = reminderPosition(id);
    if (index < 0) {
        throw ReminderStoreError(ReminderStoreError::NotFound, u"Reminder \"%1\" does not exist"_s.arg(id));
    }
    m_reminderPositions.remove(id);
    stage([index](State &state) { state.reminders.erase(state.reminders.begin() + index); },
        [old = m_working.reminders[std::size_t(index)], index](
            State &state) { state.reminders.insert(state.reminders.begin() + index, old); });
    // Only the reminders after the removed one moved up.
    for (auto i = std::size_t(index); i < m_working.reminders.size(); ++i) {
        m_reminderPositions[m_working.reminders[i].id] = qsizetype(i);
    }
    if (commitNow) {
        commit();
    }
}

ReminderList InMemoryReminderStore::saveList(ReminderList list, bool commitNow)
{
    requireAccess();
    ++m_counters.listSaves;
    throwInjectedFailure();
    if (list.sourceId.isEmpty() || findById(m_working.sources, list.sourceId) == m_working.sources.end()) {
        throw ReminderStoreError(
            ReminderStoreError::InvalidItem, u"Reminder source \"%1\" does not exist"_s.arg(list.sourceId));
    }
    if (list.id.isEmpty()) {
        list.id = newId();
        stage([&list](State &state) { state.lists.push_back(list); }, [](State &state) { state.lists.pop_back(); });
        m_listPositions.insert(list.id, qsizetype(m_working.lists.size()) - 1);
    } else {
        const auto index = listPosition(list.id);
        if (index < 0) {
            throw ReminderStoreError(
                ReminderStoreError::NotFound, u"Reminder list \"%1\" does not exist"_s.arg(list.id));
        }
        if (list != m_working.lists[std::size_t(index)]) {
            stage([&list, index](State &state) { state.lists[std::size_t(index)] = list; },
                [old = m_working.lists[std::size_t(index)], index](
                    State &state) { state.lists[std::size_t(index)] = old; });
        }
    }
    if (commitNow) {
        commit();
    }
    return list;
}

void InMemoryReminderStore::removeList(const QString &id, bool commitNow)
{
    requireAccess();
    ++m_counters.listRemovals;
    throwInjectedFailure();
    if (listPosition(id) < 0) {
        throw ReminderStoreError(ReminderStoreError::NotFound, u"Reminder list \"%1\" does not exist"_s.arg(id));
    }
    stage(
        [&id](State &state) {
            std::erase_if(state.lists, [&id](const ReminderList &list) { return list.id == id; });
            std::erase_if(state.reminders, [&id](const Reminder &reminder) { return reminder.listId == id; });
            if (state.defaultListId == id) {
                state.defaultListId.reset();
            }
        },
        [before = m_working](State &state) { state = before; });
    reindex();
    if (commitNow) {
        commit();
    }
}

std::vector<ReminderSource> InMemoryReminderStore::setSources(std::vector<ReminderSource> sources)
{
    requireAccess();
    throwInjectedFailure();
    for (auto &source : sources) {
        if (source.id.isEmpty()) {
            source.id = newId();
        }
    }
    stage(
        [&sources](State &state) {
            state.sources = sources;
            std::vector<QString> gone;
            std::erase_if(state.lists, [&](const ReminderList &list) {
                const bool orphan = findById(sources, list.sourceId) == sources.end();
                if (orphan) {
                    gone.push_back(list.id);
                }
                return orphan;
            });
            std::erase_if(state.reminders, [&gone](const Reminder &reminder) {
                return std::find(gone.begin(), gone.end(), reminder.listId) != gone.end();
            });
        },
        [before = m_working](State &state) { state = before; });
    reindex();
    commit();
    return sources;
}

void InMemoryReminderStore::setDefaultListId(std::optional<QString> listId)
{
    requireAccess();
    throwInjectedFailure();
    if (m_working.defaultListId != listId) {
        stage([&listId](State &state) { state.defaultListId = listId; },
            [old = m_working.defaultListId](State &state) { state.defaultListId = old; });
    }
    commit();
}

void InMemoryReminderStore::stage(const std::function<void(State &)> &change, std::function<void(State &)> undo)
{
    m_undo.push_back(std::move(undo));
    change(m_working);
    ++m_contentsVersion;
    m_pending = true;
}

void InMemoryReminderStore::commit()
{
    ensureLoaded();
    throwInjectedFailure();
    m_refusedReminders.clear();
    if (!m_pending) {
        return;
    }
    if (m_refuse) {
        dropRefusedWrites(m_refuse);
    }
    m_refusedByPersist.clear();
    persist(m_working);
    if (!m_refusedByPersist.isEmpty()) {
        const auto ids = QSet<QString>(m_refusedByPersist.begin(), m_refusedByPersist.end());
        dropRefusedWrites([&ids](const Reminder &reminder) { return ids.contains(reminder.id); });
    }
    m_undo.clear();
    m_pending = false;
    ++m_counters.commits;
    queueChanged();
}

void InMemoryReminderStore::dropRefusedWrites(const std::function<bool(const Reminder &)> &refuse)
{
    // Rare (a test knob, or a database refusing an item): the committed state is had from a copy
    // the undo steps run on.
    State committed = m_working;
    for (auto step = m_undo.rbegin(); step != m_undo.rend(); ++step) {
        (*step)(committed);
    }
    QHash<QString, const Reminder *> before;
    for (const auto &reminder : committed.reminders) {
        before.insert(reminder.id, &reminder);
    }
    QSet<QString> staged;
    std::vector<Reminder> kept;
    for (const auto &reminder : m_working.reminders) {
        staged.insert(reminder.id);
        const auto *old = before.value(reminder.id);
        if ((old && *old == reminder) || !refuse(reminder)) {
            kept.push_back(reminder);
            continue;
        }
        m_refusedReminders << reminder.id;
        if (old) {
            kept.push_back(*old);
        }
    }
    for (const auto &reminder : committed.reminders) {
        if (!staged.contains(reminder.id) && refuse(reminder)) {
            m_refusedReminders << reminder.id;
            kept.push_back(reminder);
        }
    }
    m_working.reminders = std::move(kept);
    ++m_contentsVersion;
    reindex();
}

void InMemoryReminderStore::reset()
{
    if (!m_undo.empty()) {
        ++m_contentsVersion;
    }
    while (!m_undo.empty()) {
        m_undo.back()(m_working);
        m_undo.pop_back();
    }
    m_pending = false;
    reindex();
}

bool InMemoryReminderStore::hasUncommittedChanges() const
{
    return m_pending;
}

void InMemoryReminderStore::replaceState(State state)
{
    ++m_counters.outsideChanges;
    loadState(std::move(state));
    queueChanged();
}

void InMemoryReminderStore::loadState(State state)
{
    if (m_pending) {
        ++m_counters.outsideChanges;
    }
    m_working = std::move(state);
    ++m_contentsVersion;
    m_undo.clear();
    m_pending = false;
    reindex();
}

void InMemoryReminderStore::loseRemindersAsARestartedDatabaseWould(const QStringList &ids)
{
    const QSet<QString> named(ids.cbegin(), ids.cend());
    State state = m_working;
    // The staged writes are dropped by the loss; what goes is the committed state without them.
    for (auto step = m_undo.rbegin(); step != m_undo.rend(); ++step) {
        (*step)(state);
    }
    QSet<QString> lost;
    std::erase_if(state.reminders, [&](const Reminder &reminder) {
        if (!named.contains(reminder.id)) {
            return false;
        }
        lost.insert(reminder.id);
        return true;
    });
    noteLostByDatabase(lost, [](const QString &) { return false; });
    replaceState(std::move(state));
}

void InMemoryReminderStore::noteLostByDatabase(
    const QSet<QString> &ids, const std::function<bool(const QString &)> &present)
{
    m_lostByDatabase.removeIf([&present](const QString &id) { return present(id); });
    m_lostByDatabase.unite(ids);
}

void InMemoryReminderStore::queueChanged()
{
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT changed(); }, Qt::QueuedConnection);
}

} // namespace quorvin
