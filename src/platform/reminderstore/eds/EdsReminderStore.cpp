#include "platform/reminderstore/eds/EdsReminderStore.h"

#include "platform/reminderstore/eds/Concurrently.h"
#include "platform/reminderstore/eds/ICalendarMapping.h"
#include "platform/reminderstore/eds/Strings.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDebug>

#include <glib.h>

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

// Past this many to-dos of one list, reading the whole list is cheaper than asking for each.
constexpr qsizetype kWholeListThreshold = 50;

ICalComponentPtr clone(const ICalComponentPtr &todo)
{
    return ICalComponentPtr(icalcomponent_new_clone(todo.get()));
}

// What the user wrote; the database stamps the two dates itself.
Reminder content(Reminder reminder)
{
    reminder.creationDate.reset();
    reminder.lastModifiedDate.reset();
    return reminder;
}

Reminder readTodo(icalcomponent *todo, const QString &listId)
{
    auto reminder = ICalendarMapping::read(todo);
    reminder.listId = listId;
    return reminder;
}

QString uidOf(icalcomponent *todo)
{
    return QString::fromUtf8(icalcomponent_get_uid(todo));
}

QHash<QString, qsizetype> positionsOf(const std::vector<Reminder> &reminders)
{
    QHash<QString, qsizetype> positions;
    positions.reserve(qsizetype(reminders.size()));
    for (std::size_t i = 0; i < reminders.size(); ++i) {
        positions.insert(reminders[i].id, qsizetype(i));
    }
    return positions;
}

void put(std::vector<Reminder> &reminders, QHash<QString, qsizetype> &positions, Reminder reminder)
{
    if (const auto at = positions.value(reminder.id, -1); at >= 0) {
        reminders[std::size_t(at)] = std::move(reminder);
        return;
    }
    positions.insert(reminder.id, qsizetype(reminders.size()));
    reminders.push_back(std::move(reminder));
}

} // namespace

EdsReminderStore::EdsReminderStore(Clock &clock, QObject *parent)
    : InMemoryReminderStore(clock, parent)
{
    // News comes in bursts (a view reports in chunks); one pass takes a burst.
    m_settle.setSingleShot(true);
    m_settle.setInterval(50);
    connect(&m_settle, &QTimer::timeout, this, [this] { applyNews(); });
    if (auto *dispatcher = QAbstractEventDispatcher::instance();
        dispatcher && !dispatcher->inherits("QEventDispatcherGlib")) {
        m_pump.setInterval(100);
        connect(&m_pump, &QTimer::timeout, this, [] {
            for (int i = 0; i < 100 && g_main_context_iteration(nullptr, FALSE); ++i) { }
        });
        m_pump.start();
    }
    // At quit the service still runs; the database goes first, so that nothing of it is left
    // to wind down once the application's objects are gone.
    if (auto *application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this, &EdsReminderStore::close);
    }
}

EdsReminderStore::~EdsReminderStore() = default;

void EdsReminderStore::close()
{
    m_closed = true;
    m_pump.stop();
    m_settle.stop();
    m_database.reset();
    m_entries.clear();
}

bool EdsReminderStore::registryAvailable()
{
    const auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) {
        return false;
    }
    if (bus.interface()->isServiceRegistered(EdsText::registryBusName)) {
        return true;
    }
    const auto activatable = bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(EdsText::registryBusName);
}

std::vector<Reminder> EdsReminderStore::takeLists(const QStringList &listIds)
{
    // Each list is mapped on its own thread as soon as it is read.
    std::vector<std::vector<ICalComponentPtr>> todos(std::size_t(listIds.size()));
    std::vector<std::vector<Reminder>> mapped(todos.size());
    m_database->openAndRead(listIds, [&](std::size_t i, std::vector<ICalComponentPtr> read) {
        for (const auto &todo : read) {
            mapped[i].push_back(readTodo(todo.get(), listIds[qsizetype(i)]));
        }
        todos[i] = std::move(read);
    });
    // One id names one reminder; a copy of a to-do in a second list is not another one. Of the
    // copies read together, the one in the list with the lowest id stands, as it does when a copy
    // turns up later, so a restart picks the copy the running store picked. A copy in a list read
    // later leaves the known one standing.
    std::vector<std::size_t> byId(mapped.size());
    for (std::size_t i = 0; i < byId.size(); ++i) {
        byId[i] = i;
    }
    std::sort(byId.begin(), byId.end(),
        [&listIds](std::size_t a, std::size_t b) { return listIds[qsizetype(a)] < listIds[qsizetype(b)]; });
    std::vector<std::vector<bool>> kept(mapped.size());
    for (const auto i : byId) {
        const auto &listId = listIds[qsizetype(i)];
        kept[i].resize(mapped[i].size());
        for (std::size_t j = 0; j < mapped[i].size(); ++j) {
            const auto &id = mapped[i][j].id;
            if (m_entries.count(id)) {
                m_copies[id].insert(listId);
                continue;
            }
            m_entries[id] = Entry {listId, std::move(todos[i][j])};
            kept[i][j] = true;
        }
    }
    std::vector<Reminder> result;
    for (std::size_t i = 0; i < mapped.size(); ++i) {
        std::vector<Reminder> inList;
        for (std::size_t j = 0; j < mapped[i].size(); ++j) {
            if (kept[i][j]) {
                inList.push_back(std::move(mapped[i][j]));
            }
        }
        std::sort(inList.begin(), inList.end(), [](const Reminder &a, const Reminder &b) {
            return std::tie(a.creationDate, a.id) < std::tie(b.creationDate, b.id);
        });
        result.insert(result.end(), std::make_move_iterator(inList.begin()), std::make_move_iterator(inList.end()));
    }
    return result;
}

void EdsReminderStore::ensureLoaded()
{
    if (m_database) {
        return;
    }
    if (m_closed) {
        throw ReminderStoreError(ReminderStoreError::Unreadable, u"The task database was closed at quit"_s);
    }
    m_database = std::make_unique<EdsDatabase>(static_cast<EdsDatabase::Listener &>(*this));
    m_entries.clear();
    m_copies.clear();
    try {
        auto lists = m_database->lists();
        std::sort(lists.begin(), lists.end(), [](const EdsDatabase::List &a, const EdsDatabase::List &b) {
            return std::tie(a.title, a.id) < std::tie(b.title, b.id);
        });
        State state;
        state.sources = m_database->sources();
        QStringList ids;
        for (const auto &list : lists) {
            ids << list.id;
            state.lists.push_back(ReminderList {list.id, list.title, list.sourceId});
        }
        // A list that cannot be read is no empty list: its reminders would count as deleted.
        state.reminders = takeLists(ids);
        if (const auto held = std::exchange(m_heldWhenDatabaseWentAway, std::nullopt)) {
            QSet<QString> lost;
            for (const auto &id : *held) {
                if (!m_entries.contains(id)) {
                    lost.insert(id);
                }
            }
            noteLostByDatabase(lost, [this](const QString &id) { return m_entries.contains(id); });
            for (const auto &id : std::as_const(ids)) {
                m_recovering.insert(id, QDeadlineTimer(m_restartGrace));
            }
        }
        // A list switched off stays as it was read; nothing of it is followed or written until it
        // is switched on again.
        m_offLists.clear();
        for (const auto &list : lists) {
            if (!list.enabled) {
                m_database->close(list.id);
                m_offLists.insert(list.id);
            }
        }
        m_refused.clear();
        if (const auto defaultId = m_database->defaultListId(); !defaultId.isEmpty()) {
            state.defaultListId = defaultId;
        }
        m_defaultListId = state.defaultListId;
        m_lists = state.lists;
        m_touched.clear();
        m_incoming.clear();
        m_removedNews.clear();
        m_lostLists.clear();
        m_listsNews = false;
        loadState(std::move(state));
    } catch (...) {
        m_database.reset();
        m_entries.clear();
        throw;
    }
}

Reminder EdsReminderStore::saveReminder(Reminder reminder, bool commitNow)
{
    ensureLoaded();
    // A description is there or not; other apps drop an empty one.
    if (reminder.notes && reminder.notes->isEmpty()) {
        reminder.notes.reset();
    }
    if (const auto reason = ICalendarMapping::unstorableReason(reminder)) {
        throw ReminderStoreError(
            ReminderStoreError::InvalidItem, u"The task database cannot hold it: %1"_s.arg(*reason));
    }
    auto saved = InMemoryReminderStore::saveReminder(std::move(reminder), false);
    m_touched.insert(saved.id);
    if (commitNow) {
        commit();
    }
    return saved;
}

void EdsReminderStore::removeReminder(const QString &id, bool commitNow)
{
    InMemoryReminderStore::removeReminder(id, false);
    m_touched.insert(id);
    if (commitNow) {
        commit();
    }
}

ReminderList EdsReminderStore::saveList(ReminderList list, bool commitNow)
{
    ensureLoaded();
    const auto committed = std::find_if(
        m_lists.begin(), m_lists.end(), [&list](const ReminderList &known) { return known.id == list.id; });
    if (list.id.isEmpty() && !m_database->canHoldNewLists(list.sourceId)) {
        throw ReminderStoreError(ReminderStoreError::InvalidItem,
            u"New task lists can be made only on this computer, not in \"%1\""_s.arg(list.sourceId));
    }
    if (committed != m_lists.end()) {
        if (committed->sourceId != list.sourceId) {
            throw ReminderStoreError(ReminderStoreError::InvalidItem, u"A task list cannot move to another account"_s);
        }
        if (committed->title != list.title && !m_database->canRename(list.id)) {
            throw ReminderStoreError(
                ReminderStoreError::InvalidItem, u"Task list \"%1\" cannot be renamed"_s.arg(committed->title));
        }
    }
    return InMemoryReminderStore::saveList(std::move(list), commitNow);
}

void EdsReminderStore::removeList(const QString &id, bool commitNow)
{
    ensureLoaded();
    const auto committed
        = std::find_if(m_lists.begin(), m_lists.end(), [&id](const ReminderList &known) { return known.id == id; });
    if (committed != m_lists.end() && !m_database->canRemove(id)) {
        throw ReminderStoreError(
            ReminderStoreError::InvalidItem, u"Task list \"%1\" cannot be removed"_s.arg(committed->title));
    }
    InMemoryReminderStore::removeList(id, commitNow);
}

bool EdsReminderStore::canRemoveList(const QString &id) const
{
    // The registry's own flags say it; a list it does not know is nothing to keep.
    return !m_database || m_database->canRemove(id)
        || std::none_of(m_lists.begin(), m_lists.end(), [&id](const ReminderList &list) { return list.id == id; });
}

void EdsReminderStore::commit()
{
    InMemoryReminderStore::commit();
    scheduleNews();
}

void EdsReminderStore::reset()
{
    InMemoryReminderStore::reset();
    m_touched = m_refused;
    scheduleNews();
}

void EdsReminderStore::persist(const State &state)
{
    auto planned = plan(state);
    execute(planned);
    remember(planned, state);
    if (!planned.rejected.isEmpty()) {
        refuseWrites(planned.rejected.values());
    }
}

EdsReminderStore::Plan EdsReminderStore::plan(const State &state) const
{
    QHash<QString, const ReminderList *> before;
    for (const auto &list : m_lists) {
        before.insert(list.id, &list);
    }
    QSet<QString> after;
    Plan plan;
    for (const auto &list : state.lists) {
        after.insert(list.id);
        if (const auto *old = before.value(list.id)) {
            if (old->title != list.title) {
                plan.renamedLists.emplace_back(list, old->title);
            }
        } else {
            plan.createdLists.push_back(list);
        }
    }
    for (const auto &list : m_lists) {
        if (!after.contains(list.id)) {
            plan.removedLists << list.id;
        }
    }

    // The batches, by list in the state's order, then the lists going away.
    for (const auto &list : state.lists) {
        plan.order << list.id;
    }
    plan.order << plan.removedLists;
    const auto positions = m_touched.isEmpty() ? Positions() : positionsOf(state.reminders);
    for (const auto &id : m_touched) {
        const auto at = positions.value(id, -1);
        const Reminder *wanted = at >= 0 ? &state.reminders[std::size_t(at)] : nullptr;
        const auto entry = m_entries.find(id);
        const bool known = entry != m_entries.end();
        // A list switched off takes no writes; the change waits for it, and the rest goes on.
        if ((wanted && m_offLists.contains(wanted->listId))
            || (known && m_offLists.contains(entry->second.listId)
                && !plan.removedLists.contains(entry->second.listId))) {
            plan.refused.insert(id);
            continue;
        }
        // A to-do in a list that goes away goes with it.
        const bool liveEntry = known && !plan.removedLists.contains(entry->second.listId);
        if (!wanted) {
            if (liveEntry) {
                plan.batches[entry->second.listId].removes << id;
                // A deleted reminder leaves no copy behind to come back as itself.
                if (const auto copies = m_copies.find(id); copies != m_copies.end()) {
                    for (const auto &copyList : copies->second) {
                        if (m_database->isOpen(copyList) && !plan.removedLists.contains(copyList)) {
                            plan.batches[copyList].removes << id;
                        }
                    }
                }
            }
            continue;
        }
        if (known && entry->second.listId == wanted->listId) {
            auto patched = clone(entry->second.todo);
            // The database stamps its own dates on a write; ours alone are no reason for one.
            auto change = *wanted;
            const auto held = ICalendarMapping::read(patched.get());
            change.creationDate = held.creationDate;
            change.lastModifiedDate = held.lastModifiedDate;
            if (ICalendarMapping::update(patched.get(), change)) {
                plan.batches[wanted->listId].modifies.emplace_back(id, std::move(patched));
            }
            continue;
        }
        // New, or moved: created in its list from what the database held, so what other apps
        // keep in it moves along.
        ICalComponentPtr todo;
        if (known) {
            todo = clone(entry->second.todo);
            ICalendarMapping::update(todo.get(), *wanted);
        } else {
            todo = ICalendarMapping::create(*wanted);
        }
        // Where another app keeps a copy under the same UID, ours is written over that copy.
        const auto copies = m_copies.find(id);
        if (copies != m_copies.end() && copies->second.contains(wanted->listId)) {
            plan.batches[wanted->listId].modifies.emplace_back(id, std::move(todo));
        } else {
            plan.batches[wanted->listId].creates.emplace_back(id, std::move(todo));
        }
        if (liveEntry) {
            plan.batches[entry->second.listId].removes << id;
            plan.moves = true;
        }
    }

    return plan;
}

void EdsReminderStore::execute(Plan &plan)
{
    const auto raw = [](const std::vector<std::pair<QString, ICalComponentPtr>> &items) {
        std::vector<icalcomponent *> result;
        result.reserve(items.size());
        for (const auto &[id, todo] : items) {
            result.push_back(todo.get());
        }
        return result;
    };
    // What the database held, to put back when a later batch fails.
    const auto preImages = [this](const QStringList &ids) {
        auto images = std::make_shared<std::vector<ICalComponentPtr>>();
        for (const auto &id : ids) {
            images->push_back(clone(m_entries.at(id).todo));
        }
        return images;
    };
    // Those of `images` whose to-do is one of `ids`.
    const auto rawImages = [](const std::vector<ICalComponentPtr> &images, const QStringList &ids) {
        std::vector<icalcomponent *> result;
        for (const auto &todo : images) {
            if (ids.contains(uidOf(todo.get()))) {
                result.push_back(todo.get());
            }
        }
        return result;
    };

    std::vector<std::function<void()>> undo;
    try {
        for (const auto &list : plan.createdLists) {
            m_database->createList(list.id, list.title, list.sourceId);
            undo.push_back([this, id = list.id] { m_database->removeList(id); });
        }
        for (const auto &[list, oldTitle] : plan.renamedLists) {
            m_database->renameList(list.id, list.title);
            undo.push_back([this, id = list.id, title = oldTitle] { m_database->renameList(id, title); });
        }
        // The batches of one kind run side by side, one list each; each leaves how to undo what
        // went through, and the to-dos the database refused.
        struct Done {
            std::function<void()> undo;
            QStringList refused;
        };
        using Job = std::function<Done()>;
        const auto runPhase = [&undo, &plan](const std::vector<Job> &jobs) {
            std::vector<Done> done(jobs.size());
            const auto errors = concurrently(jobs.size(), [&](std::size_t i) { done[i] = jobs[i](); });
            for (std::size_t i = 0; i < jobs.size(); ++i) {
                if (!errors[i]) {
                    undo.push_back(std::move(done[i].undo));
                    for (const auto &id : std::as_const(done[i].refused)) {
                        plan.rejected.insert(id);
                    }
                }
            }
            for (const auto &error : errors) {
                if (error) {
                    std::rethrow_exception(error);
                }
            }
        };
        const auto without = [](const QStringList &ids, const QStringList &refused) {
            QStringList result;
            for (const auto &id : ids) {
                if (!refused.contains(id)) {
                    result << id;
                }
            }
            return result;
        };
        std::vector<Job> creates;
        std::vector<Job> modifies;
        std::vector<Job> removes;
        for (const auto &listId : plan.order) {
            const auto &batch = plan.batches[listId];
            if (!batch.creates.empty()) {
                creates.push_back([this, listId, &batch, raw, without] {
                    QStringList ids;
                    for (const auto &[id, todo] : batch.creates) {
                        ids << id;
                    }
                    auto refused = m_database->create(listId, raw(batch.creates));
                    if (!refused.isEmpty()) {
                        // A database that writes a batch task by task may have written some of
                        // it before it stopped, and the retry finds them taken: a task that holds
                        // what we wrote is ours, not refused.
                        std::unordered_map<QString, Reminder> held;
                        for (const auto &todo : m_database->read(listId, refused)) {
                            held.emplace(uidOf(todo.get()), readTodo(todo.get(), listId));
                        }
                        for (const auto &[id, todo] : batch.creates) {
                            const auto there = held.find(id);
                            if (there != held.end()
                                && content(there->second) == content(readTodo(todo.get(), listId))) {
                                refused.removeAll(id);
                            }
                        }
                    }
                    return Done {[this, listId, ids = without(ids, refused)] { m_database->remove(listId, ids); },
                        std::move(refused)};
                });
            }
            if (!batch.modifies.empty()) {
                QStringList ids;
                for (const auto &[id, todo] : batch.modifies) {
                    ids << id;
                }
                modifies.push_back([this, listId, &batch, ids, raw, rawImages, without, images = preImages(ids)] {
                    auto refused = m_database->modify(listId, raw(batch.modifies));
                    return Done {[this, listId, images, rawImages, written = without(ids, refused)] {
                                     m_database->modify(listId, rawImages(*images, written));
                                 },
                        std::move(refused)};
                });
            }
            if (!batch.removes.empty()) {
                removes.push_back([this, listId, &batch, &plan, rawImages, without, images = preImages(batch.removes)] {
                    // A move whose create was refused stays where it is.
                    const auto ids = without(batch.removes, plan.rejected.values());
                    auto refused = m_database->remove(listId, ids);
                    return Done {[this, listId, images, rawImages, removed = without(ids, refused)] {
                                     m_database->create(listId, rawImages(*images, removed));
                                 },
                        std::move(refused)};
                });
            }
        }
        // The kinds touch different to-dos and go together, except that when a to-do moves
        // between lists, the removes wait until every create went through: a move is never only
        // gone.
        creates.insert(creates.end(), modifies.begin(), modifies.end());
        if (!plan.moves) {
            creates.insert(creates.end(), removes.begin(), removes.end());
            removes.clear();
        }
        runPhase(creates);
        runPhase(removes);
        // Last, since a removed list cannot be put back.
        for (const auto &id : plan.removedLists) {
            m_database->removeList(id);
        }
    } catch (const ReminderStoreError &error) {
        for (auto step = undo.rbegin(); step != undo.rend(); ++step) {
            try {
                (*step)();
            } catch (const ReminderStoreError &) {
                // Nothing more can be done here; the views report what the database holds.
            }
        }
        throw ReminderStoreError(ReminderStoreError::WriteFailed,
            u"The task database did not take the changes: %1"_s.arg(error.description()));
    }
}

void EdsReminderStore::remember(Plan &plan, const State &state)
{
    // Committed: remember what the database holds now. Removes first, so that a move's create
    // is what stays. What it refused it holds as before.
    for (auto &[listId, batch] : plan.batches) {
        for (const auto &id : batch.removes) {
            if (plan.rejected.contains(id)) {
                continue;
            }
            if (const auto entry = m_entries.find(id); entry != m_entries.end() && entry->second.listId == listId) {
                m_entries.erase(entry);
            }
            if (const auto copies = m_copies.find(id); copies != m_copies.end()) {
                copies->second.remove(listId);
            }
        }
        // A write over another app's copy took that copy.
        for (const auto *written : {&batch.creates, &batch.modifies}) {
            for (const auto &[id, todo] : *written) {
                if (plan.rejected.contains(id)) {
                    continue;
                }
                if (const auto copies = m_copies.find(id); copies != m_copies.end()) {
                    copies->second.remove(listId);
                }
            }
        }
    }
    for (const auto &id : plan.removedLists) {
        std::erase_if(m_entries, [&id](const auto &item) { return item.second.listId == id; });
    }
    for (const auto &listId : plan.order) {
        auto &batch = plan.batches[listId];
        for (auto *written : {&batch.modifies, &batch.creates}) {
            for (auto &[id, todo] : *written) {
                if (!plan.rejected.contains(id)) {
                    m_entries[id] = Entry {listId, std::move(todo)};
                }
            }
        }
    }
    m_lists = state.lists;
    for (const auto &id : plan.refused) {
        if (!m_refused.contains(id)) {
            qWarning().noquote() << u"The task database takes no change to \"%1\" while its list is switched off; "
                                    u"it is written when the list is back"_s.arg(id);
        }
    }
    m_refused = plan.refused;
    m_touched = plan.refused;
}

void EdsReminderStore::todosChanged(const QString &listId, std::vector<ICalComponentPtr> todos)
{
    for (auto &todo : todos) {
        m_incoming.emplace_back(listId, std::move(todo));
    }
    scheduleNews();
}

void EdsReminderStore::todosRemoved(const QString &listId, const QStringList &uids)
{
    auto &pending = m_removedNews[listId];
    for (const auto &uid : uids) {
        pending.insert(uid);
    }
    scheduleNews();
}

void EdsReminderStore::listsChanged()
{
    m_listsNews = true;
    scheduleNews();
}

void EdsReminderStore::listLost(const QString &listId)
{
    m_recovering.insert(listId, QDeadlineTimer(m_restartGrace));
    m_lostLists.insert(listId);
    scheduleNews();
}

bool EdsReminderStore::hasNews() const
{
    return !m_incoming.empty() || !m_removedNews.isEmpty() || !m_lostLists.isEmpty() || m_listsNews;
}

void EdsReminderStore::scheduleNews()
{
    if (hasNews() && !m_settle.isActive()) {
        m_settle.start();
    }
}

EdsReminderStore::State EdsReminderStore::currentState()
{
    State state;
    state.sources = sources();
    state.lists = lists();
    state.reminders = reminders();
    state.defaultListId = m_defaultListId;
    return state;
}

void EdsReminderStore::applyNews()
{
    // Staged writes would be dropped by taking news now; commit() and reset() come back here.
    if (!m_database || hasUncommittedChanges() || !hasNews()) {
        return;
    }
    try {
        State state = currentState();
        bool visible = false;
        bool datesOnly = false;
        QSet<QString> wholeLists;
        if (std::exchange(m_listsNews, false)) {
            visible = followLists(state, wholeLists) || visible;
        }
        auto positions = positionsOf(state.reminders);
        QHash<QString, QSet<QString>> toVerify = std::exchange(m_removedNews, {});
        // A list's grace ends here, so that it holds through one whole round of news.
        m_recovering.removeIf([](const auto &list) { return list.value().hasExpired(); });
        for (const auto &listId : std::exchange(m_lostLists, {})) {
            if (m_database->isOpen(listId)) {
                m_database->close(listId);
                m_database->open(listId);
                wholeLists.insert(listId);
                // The restarted database may still drop what it had not saved: the grace runs
                // from when it answers again.
                m_recovering.insert(listId, QDeadlineTimer(m_restartGrace));
            }
        }
        // The echo of a write of ours holds what we wrote: it only brings the database's own
        // stamps. Anything else is checked against what the database holds now, since news can
        // be older than our latest write.
        for (auto &[listId, todo] : std::exchange(m_incoming, {})) {
            const auto uid = uidOf(todo.get());
            const auto entry = m_entries.find(uid);
            if (entry != m_entries.end() && entry->second.listId == listId) {
                const auto ours = readTodo(entry->second.todo.get(), listId);
                const auto theirs = readTodo(todo.get(), listId);
                if (content(ours) == content(theirs)) {
                    entry->second.todo = std::move(todo);
                    if (ours != theirs) {
                        if (const auto at = positions.value(uid, -1); at >= 0) {
                            state.reminders[std::size_t(at)] = theirs;
                            datesOnly = true;
                        }
                    }
                    continue;
                }
            }
            toVerify[listId].insert(uid);
        }
        for (const auto &listId : wholeLists) {
            verify(state, positions, listId, {}, visible, datesOnly);
            toVerify.remove(listId);
        }
        for (auto it = toVerify.begin(); it != toVerify.end(); ++it) {
            if (m_database->isOpen(it.key())) {
                verify(state, positions, it.key(), it.value(), visible, datesOnly);
            }
        }
        // Reminders whose to-do went away are out of the entries now.
        std::erase_if(state.reminders, [this](const Reminder &reminder) {
            const auto entry = m_entries.find(reminder.id);
            return entry == m_entries.end() || entry->second.listId != reminder.listId;
        });
        noteLostByDatabase(std::exchange(m_lostNow, {}), [this](const QString &id) { return m_entries.contains(id); });
        m_lists = state.lists;
        m_touched = m_refused;
        if (visible) {
            replaceState(std::move(state));
        } else if (datesOnly) {
            loadState(std::move(state));
        }
        // Changes that waited for a list switched off go now that it is back.
        const bool retry = std::any_of(m_refused.begin(), m_refused.end(), [this](const QString &id) {
            const auto reminder = InMemoryReminderStore::reminder(id);
            const auto entry = m_entries.find(id);
            return (!reminder || !m_offLists.contains(reminder->listId))
                && (entry == m_entries.end() || !m_offLists.contains(entry->second.listId));
        });
        if (retry) {
            try {
                auto waiting = currentState();
                auto planned = plan(waiting);
                execute(planned);
                remember(planned, waiting);
                if (!planned.rejected.isEmpty()) {
                    // A waiting write the database refuses did not happen: the reminder shows
                    // what the database holds (a refused new one does not exist), and the signal
                    // lets the sync see the difference at its next pass.
                    auto at = positionsOf(waiting.reminders);
                    for (const auto &id : std::as_const(planned.rejected)) {
                        if (const auto entry = m_entries.find(id); entry != m_entries.end()) {
                            put(waiting.reminders, at, readTodo(entry->second.todo.get(), entry->second.listId));
                        }
                    }
                    std::erase_if(waiting.reminders, [&](const Reminder &reminder) {
                        return planned.rejected.contains(reminder.id) && !m_entries.contains(reminder.id);
                    });
                    replaceState(std::move(waiting));
                }
            } catch (const ReminderStoreError &) {
                // Kept for the next commit.
            }
        }
    } catch (const ReminderStoreError &) {
        // The database went away under us. The next call reads it afresh (or fails while it is
        // gone); readers learn of it through the signal.
        m_lostNow.clear();
        if (!m_heldWhenDatabaseWentAway) {
            m_heldWhenDatabaseWentAway.emplace();
            for (const auto &[id, entry] : m_entries) {
                m_heldWhenDatabaseWentAway->insert(id);
            }
        }
        m_database.reset();
        m_entries.clear();
        queueChanged();
    }
}

bool EdsReminderStore::followLists(State &state, QSet<QString> &reopened)
{
    bool changed = false;
    auto lists = m_database->lists();
    std::sort(lists.begin(), lists.end(), [](const EdsDatabase::List &a, const EdsDatabase::List &b) {
        return std::tie(a.title, a.id) < std::tie(b.title, b.id);
    });
    QSet<QString> present;
    for (const auto &list : lists) {
        present.insert(list.id);
    }
    // Removed from the registry: the list goes with its reminders.
    for (const auto &list : state.lists) {
        if (!present.contains(list.id)) {
            m_database->close(list.id);
            m_offLists.remove(list.id);
            std::erase_if(m_entries, [&list](const auto &item) { return item.second.listId == list.id; });
            changed = true;
        }
    }
    std::erase_if(state.lists, [&present](const ReminderList &list) { return !present.contains(list.id); });
    for (const auto &list : lists) {
        const auto known = std::find_if(
            state.lists.begin(), state.lists.end(), [&list](const ReminderList &item) { return item.id == list.id; });
        if (known != state.lists.end()) {
            if (known->title != list.title) {
                known->title = list.title;
                changed = true;
            }
            // Switched off is out of reach, not removed: the list and its reminders stay as they
            // were, and are read afresh when it is switched on again.
            if (!list.enabled && !m_offLists.contains(list.id)) {
                m_database->close(list.id);
                m_offLists.insert(list.id);
            } else if (list.enabled && m_offLists.contains(list.id)) {
                try {
                    m_database->open(list.id);
                    m_offLists.remove(list.id);
                    reopened.insert(list.id);
                } catch (const ReminderStoreError &) {
                    // Still out of reach; tried again with the next news of the registry.
                }
            }
            continue;
        }
        try {
            auto reminders = takeLists({list.id});
            state.reminders.insert(state.reminders.end(), reminders.begin(), reminders.end());
        } catch (const ReminderStoreError &) {
            // Not known to anyone yet; it is tried again with the next news of the registry.
            m_database->close(list.id);
            continue;
        }
        if (!list.enabled) {
            m_database->close(list.id);
            m_offLists.insert(list.id);
        }
        state.lists.push_back(ReminderList {list.id, list.title, list.sourceId});
        changed = true;
    }
    if (auto sources = m_database->sources(); sources != state.sources) {
        state.sources = std::move(sources);
        changed = true;
    }
    const auto defaultId = m_database->defaultListId();
    const auto defaultList = defaultId.isEmpty() ? std::nullopt : std::optional<QString>(defaultId);
    if (defaultList != state.defaultListId) {
        state.defaultListId = defaultList;
        m_defaultListId = defaultList;
        changed = true;
    }
    return changed;
}

void EdsReminderStore::verify(
    State &state, Positions &positions, const QString &listId, QSet<QString> uids, bool &visible, bool &datesOnly)
{
    const bool whole = uids.isEmpty() || uids.size() > kWholeListThreshold;
    auto todos = whole ? m_database->readAll(listId) : m_database->read(listId, uids.values());
    std::unordered_map<QString, ICalComponentPtr> found;
    for (auto &todo : todos) {
        found[uidOf(todo.get())] = std::move(todo);
    }
    if (whole) {
        for (const auto &[uid, todo] : found) {
            uids.insert(uid);
        }
        for (const auto &[uid, entry] : m_entries) {
            if (entry.listId == listId) {
                uids.insert(uid);
            }
        }
    }
    for (const auto &uid : uids) {
        const auto there = found.find(uid);
        const auto entry = m_entries.find(uid);
        if (there == found.end()) {
            if (const auto copies = m_copies.find(uid); copies != m_copies.end()) {
                copies->second.remove(listId);
            }
            if (entry != m_entries.end() && entry->second.listId == listId) {
                m_entries.erase(entry);
                visible = true;
                // A copy in another list stands in for it.
                takeCopy(state, positions, uid);
                if (m_recovering.contains(listId)) {
                    m_lostNow.insert(uid);
                }
            }
            continue;
        }
        if (entry != m_entries.end() && entry->second.listId != listId && listId > entry->second.listId
            && !m_offLists.contains(entry->second.listId)) {
            // A copy beside the one that stands: kept in mind for when that one goes.
            m_copies[uid].insert(listId);
            continue;
        }
        if (entry != m_entries.end() && entry->second.listId != listId) {
            m_copies[uid].insert(entry->second.listId);
        }
        if (const auto copies = m_copies.find(uid); copies != m_copies.end()) {
            copies->second.remove(listId);
        }
        auto theirs = readTodo(there->second.get(), listId);
        if (m_refused.contains(uid) && entry != m_entries.end() && entry->second.listId == listId) {
            // Our change waits to be written over it.
            entry->second.todo = std::move(there->second);
            continue;
        }
        if (entry != m_entries.end() && entry->second.listId == listId) {
            const auto ours = readTodo(entry->second.todo.get(), listId);
            entry->second.todo = std::move(there->second);
            if (ours == theirs) {
                continue;
            }
            (content(ours) == content(theirs) ? datesOnly : visible) = true;
        } else {
            // New here: made by another app, or moved here from another list.
            m_entries[uid] = Entry {listId, std::move(there->second)};
            visible = true;
        }
        put(state.reminders, positions, std::move(theirs));
    }
}

} // namespace quorvin

namespace quorvin {

void EdsReminderStore::takeCopy(State &state, Positions &positions, const QString &uid)
{
    const auto copies = m_copies.find(uid);
    if (copies == m_copies.end()) {
        return;
    }
    auto lists = copies->second.values();
    m_copies.erase(copies);
    std::sort(lists.begin(), lists.end());
    for (const auto &listId : lists) {
        if (!m_database->isOpen(listId)) {
            continue;
        }
        auto todos = m_database->read(listId, {uid});
        if (todos.empty()) {
            continue;
        }
        auto reminder = readTodo(todos.front().get(), listId);
        m_entries[uid] = Entry {listId, std::move(todos.front())};
        for (const auto &other : lists) {
            if (other != listId) {
                m_copies[uid].insert(other);
            }
        }
        put(state.reminders, positions, std::move(reminder));
        return;
    }
}

} // namespace quorvin
