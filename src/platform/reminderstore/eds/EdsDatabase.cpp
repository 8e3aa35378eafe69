#include "platform/reminderstore/eds/EdsDatabase.h"

#include "platform/reminderstore/ReminderStoreError.h"
#include "platform/reminderstore/eds/Concurrently.h"
#include "platform/reminderstore/eds/GObjectPtr.h"
#include "platform/reminderstore/eds/Strings.h"

#include <QDebug>

#include <libecal/libecal.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

// How long a new list may take to reach the database's own registry: 2 s in all.
constexpr int kOpenNewListAttempts = 40;
constexpr std::chrono::milliseconds kOpenNewListPause {50};

// Takes the message out of a GError and frees it.
QString take(GError *&error)
{
    QString message = error ? QString::fromUtf8(error->message) : u"unknown error"_s;
    g_clear_error(&error);
    return message;
}

bool isNotFound(const GError *error)
{
    return error && error->domain == E_CAL_CLIENT_ERROR && error->code == E_CAL_CLIENT_ERROR_OBJECT_NOT_FOUND;
}

// Errors about one task of a call, which leave the other tasks and the list fine; anything else
// (the database gone, the list out of reach) fails every task alike.
bool concernsOneTask(const GError *error)
{
    if (!error) {
        return false;
    }
    if (error->domain == E_CAL_CLIENT_ERROR) {
        return error->code == E_CAL_CLIENT_ERROR_OBJECT_NOT_FOUND || error->code == E_CAL_CLIENT_ERROR_INVALID_OBJECT
            || error->code == E_CAL_CLIENT_ERROR_OBJECT_ID_ALREADY_EXISTS
            || error->code == E_CAL_CLIENT_ERROR_INVALID_RANGE || error->code == E_CAL_CLIENT_ERROR_UNKNOWN_USER;
    }
    return error->domain == E_CLIENT_ERROR && error->code == E_CLIENT_ERROR_INVALID_ARG;
}

QString text(const gchar *value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// A borrowed libical component in the wrapper libecal takes; the wrapper never frees it.
ICalComponent *wrap(icalcomponent *todo)
{
    return static_cast<ICalComponent *>(i_cal_object_construct(I_CAL_TYPE_COMPONENT, todo, nullptr, FALSE, nullptr));
}

// The master to-dos of what the database handed over, as components we own.
std::vector<ICalComponentPtr> masters(const GSList *components)
{
    std::vector<ICalComponentPtr> result;
    for (const GSList *item = components; item; item = item->next) {
        auto *native = static_cast<icalcomponent *>(i_cal_object_get_native(I_CAL_OBJECT(item->data)));
        if (!native || icalcomponent_isa(native) != ICAL_VTODO_COMPONENT
            || icalcomponent_get_first_property(native, ICAL_RECURRENCEID_PROPERTY) || !icalcomponent_get_uid(native)) {
            continue;
        }
        result.emplace_back(icalcomponent_new_clone(native));
    }
    return result;
}

std::vector<ICalComponentPtr> readFrom(ECalClient *client, const QByteArray &query)
{
    GSList *components = nullptr;
    GError *error = nullptr;
    if (!e_cal_client_get_object_list_sync(client, query.constData(), &components, nullptr, &error)) {
        throw ReminderStoreError(ReminderStoreError::Unreadable, u"Task list cannot be read: %1"_s.arg(take(error)));
    }
    auto result = masters(components);
    g_slist_free_full(components, g_object_unref);
    return result;
}

ReminderSource::Kind kindOf(ESource *source)
{
    const QString uid = text(e_source_get_uid(source));
    if (uid == EdsText::localSourceId) {
        return ReminderSource::Kind::Local;
    }
    if (uid == u"webcal-stub"_s || uid == u"weather-stub"_s) {
        return ReminderSource::Kind::Subscribed;
    }
    if (uid == u"contacts-stub"_s || uid == u"birthdays"_s) {
        return ReminderSource::Kind::Birthdays;
    }
    if (e_source_has_extension(source, E_SOURCE_EXTENSION_COLLECTION)) {
        auto *backend = E_SOURCE_BACKEND(e_source_get_extension(source, E_SOURCE_EXTENSION_COLLECTION));
        const QString name = text(e_source_backend_get_backend_name(backend));
        if (name == u"ews"_s || name == u"microsoft365"_s || name.startsWith(u"exchange"_s)) {
            return ReminderSource::Kind::Exchange;
        }
    }
    return ReminderSource::Kind::CalDAV;
}

} // namespace

struct EdsDatabase::Registry {
    GObjectPtr<ESourceRegistry> registry;
    std::vector<gulong> handlers;

    GObjectPtr<ESource> source(const QString &id) const
    {
        return GObjectPtr<ESource>(e_source_registry_ref_source(registry.get(), id.toUtf8().constData()));
    }
};

struct EdsDatabase::Handle {
    EdsDatabase *database = nullptr;
    QString listId;
    GObjectPtr<ECalClient> client;
    GObjectPtr<ECalClientView> view;
    gulong diedHandler = 0;

    // Makes the client and the started view; runs on a thread of its own.
    void connect(ESource *source);

    ~Handle()
    {
        if (view) {
            g_signal_handlers_disconnect_by_data(view.get(), this);
            e_cal_client_view_stop(view.get(), nullptr);
        }
        if (client && diedHandler) {
            g_signal_handler_disconnect(client.get(), diedHandler);
        }
    }

    static void changed(ECalClientView *, const GSList *components, gpointer data)
    {
        auto *self = static_cast<Handle *>(data);
        auto todos = masters(components);
        if (!todos.empty()) {
            self->database->m_listener.todosChanged(self->listId, std::move(todos));
        }
    }

    static void removed(ECalClientView *, const GSList *ids, gpointer data)
    {
        auto *self = static_cast<Handle *>(data);
        QStringList uids;
        for (const GSList *item = ids; item; item = item->next) {
            const auto *id = static_cast<const ECalComponentId *>(item->data);
            // A removed occurrence changes no reminder; a removed series does.
            if (!e_cal_component_id_get_rid(id)) {
                uids << text(e_cal_component_id_get_uid(id));
            }
        }
        if (!uids.isEmpty()) {
            self->database->m_listener.todosRemoved(self->listId, uids);
        }
    }

    static void died(EClient *, gpointer data)
    {
        auto *self = static_cast<Handle *>(data);
        self->database->m_listener.listLost(self->listId);
    }
};

EdsDatabase::EdsDatabase(Listener &listener)
    : m_listener(listener)
    , m_registry(std::make_unique<Registry>())
{
    GError *error = nullptr;
    m_registry->registry.reset(e_source_registry_new_sync(nullptr, &error));
    if (!m_registry->registry) {
        throw ReminderStoreError(
            ReminderStoreError::Unreadable, u"The desktop task database cannot be reached: %1"_s.arg(take(error)));
    }
    const auto onSource = +[](ESourceRegistry *, ESource *source, gpointer data) {
        if (e_source_has_extension(source, E_SOURCE_EXTENSION_TASK_LIST)
            || e_source_has_extension(source, E_SOURCE_EXTENSION_COLLECTION)) {
            static_cast<EdsDatabase *>(data)->m_listener.listsChanged();
        }
    };
    for (const char *signal :
        {"source-added", "source-removed", "source-changed", "source-enabled", "source-disabled"}) {
        m_registry->handlers.push_back(
            g_signal_connect(m_registry->registry.get(), signal, G_CALLBACK(onSource), this));
    }
    const auto onDefault
        = +[](GObject *, GParamSpec *, gpointer data) { static_cast<EdsDatabase *>(data)->m_listener.listsChanged(); };
    m_registry->handlers.push_back(
        g_signal_connect(m_registry->registry.get(), "notify::default-task-list", G_CALLBACK(onDefault), this));
}

EdsDatabase::~EdsDatabase()
{
    for (const auto handler : m_registry->handlers) {
        g_signal_handler_disconnect(m_registry->registry.get(), handler);
    }
    // Letting go of the views, the clients and the registry waits for their D-Bus objects to
    // wind down by running a main context. On a thread of its own, under a context of its own,
    // that never dispatches what the application keeps on the default one (its timers and socket
    // notifiers, whose owners may be gone by now).
    std::thread([this] {
        GMainContext *context = g_main_context_new();
        g_main_context_push_thread_default(context);
        m_handles.clear();
        m_registry.reset();
        while (g_main_context_iteration(context, FALSE)) { }
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }).join();
}

std::vector<EdsDatabase::List> EdsDatabase::lists() const
{
    std::vector<List> result;
    GList *sources = e_source_registry_list_sources(m_registry->registry.get(), E_SOURCE_EXTENSION_TASK_LIST);
    for (GList *item = sources; item; item = item->next) {
        auto *source = E_SOURCE(item->data);
        result.push_back(List {text(e_source_get_uid(source)), text(e_source_get_display_name(source)),
            text(e_source_get_parent(source)),
            bool(e_source_registry_check_enabled(m_registry->registry.get(), source))});
    }
    g_list_free_full(sources, g_object_unref);
    return result;
}

std::vector<ReminderSource> EdsDatabase::sources() const
{
    QStringList ids {EdsText::localSourceId};
    GList *collections = e_source_registry_list_enabled(m_registry->registry.get(), E_SOURCE_EXTENSION_COLLECTION);
    for (GList *item = collections; item; item = item->next) {
        ids << text(e_source_get_uid(E_SOURCE(item->data)));
    }
    g_list_free_full(collections, g_object_unref);
    for (const auto &list : lists()) {
        if (!list.sourceId.isEmpty()) {
            ids << list.sourceId;
        }
    }
    ids.removeDuplicates();

    std::vector<ReminderSource> result;
    for (const auto &id : ids) {
        if (const auto source = m_registry->source(id)) {
            result.push_back(ReminderSource {id, text(e_source_get_display_name(source.get())), kindOf(source.get())});
        }
    }
    std::stable_sort(
        result.begin() + (result.empty() ? 0 : 1), result.end(), [](const ReminderSource &a, const ReminderSource &b) {
            return std::tie(a.title, a.id) < std::tie(b.title, b.id);
        });
    return result;
}

QString EdsDatabase::defaultListId() const
{
    GObjectPtr<ESource> source(e_source_registry_ref_default_task_list(m_registry->registry.get()));
    return source ? text(e_source_get_uid(source.get())) : QString();
}

bool EdsDatabase::canHoldNewLists(const QString &sourceId) const
{
    return sourceId == EdsText::localSourceId;
}

bool EdsDatabase::canRename(const QString &listId) const
{
    const auto source = m_registry->source(listId);
    return source && e_source_get_writable(source.get());
}

bool EdsDatabase::canRemove(const QString &listId) const
{
    const auto source = m_registry->source(listId);
    return source && (e_source_get_removable(source.get()) || e_source_get_remote_deletable(source.get()));
}

void EdsDatabase::Handle::connect(ESource *source)
{
    const auto failed = [source](GError *&error) {
        return ReminderStoreError(ReminderStoreError::Unreadable,
            u"Task list \"%1\" cannot be opened: %2"_s.arg(text(e_source_get_display_name(source)), take(error)));
    };
    GError *error = nullptr;
    // Never wait for an account to come online: a list opens from what the database holds, and
    // later news comes through the view. A client made on a thread of its own still reports to
    // the main context, since such a thread has no default context of its own.
    client.reset(
        E_CAL_CLIENT(e_cal_client_connect_sync(source, E_CAL_CLIENT_SOURCE_TYPE_TASKS, guint32(-1), nullptr, &error)));
    if (!client) {
        throw failed(error);
    }
    ECalClientView *created = nullptr;
    if (!e_cal_client_get_view_sync(client.get(), "#t", &created, nullptr, &error)) {
        throw failed(error);
    }
    view.reset(created);
    // The caller reads the list itself; the view only has to tell what changes after that.
    e_cal_client_view_set_flags(created, E_CAL_CLIENT_VIEW_FLAGS_NONE, &error);
    if (error) {
        throw failed(error);
    }
    g_signal_connect(created, "objects-added", G_CALLBACK(Handle::changed), this);
    g_signal_connect(created, "objects-modified", G_CALLBACK(Handle::changed), this);
    g_signal_connect(created, "objects-removed", G_CALLBACK(Handle::removed), this);
    diedHandler = g_signal_connect(client.get(), "backend-died", G_CALLBACK(Handle::died), this);
    e_cal_client_view_start(created, &error);
    if (error) {
        throw failed(error);
    }
}

void EdsDatabase::open(const QStringList &listIds)
{
    openAndRead(listIds, {});
}

void EdsDatabase::openAndRead(const QStringList &listIds, const Reader &each)
{
    struct Job {
        std::unique_ptr<Handle> fresh;
        GObjectPtr<ESource> source;
        Handle *handle = nullptr;
    };
    std::vector<Job> jobs;
    for (const auto &listId : listIds) {
        Job job;
        if (const auto open = m_handles.find(listId); open != m_handles.end()) {
            job.handle = open->second.get();
        } else {
            job.source = m_registry->source(listId);
            if (!job.source) {
                throw ReminderStoreError(
                    ReminderStoreError::Unreadable, u"Task list \"%1\" does not exist"_s.arg(listId));
            }
            job.fresh = std::make_unique<Handle>();
            job.fresh->database = this;
            job.fresh->listId = listId;
            job.handle = job.fresh.get();
        }
        jobs.push_back(std::move(job));
    }
    // Each backend loads its list when it is first opened; they do it side by side.
    const auto errors = concurrently(jobs.size(), [&](std::size_t i) {
        auto &job = jobs[i];
        if (job.fresh) {
            job.fresh->connect(job.source.get());
        }
        if (each) {
            each(i, readFrom(job.handle->client.get(), "#t"));
        }
    });
    std::exception_ptr firstError;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (errors[i]) {
            firstError = firstError ? firstError : errors[i];
        } else if (jobs[i].fresh) {
            const auto listId = jobs[i].fresh->listId;
            m_handles[listId] = std::move(jobs[i].fresh);
        }
    }
    if (firstError) {
        std::rethrow_exception(firstError);
    }
}

void EdsDatabase::close(const QString &listId)
{
    m_handles.erase(listId);
}

bool EdsDatabase::isOpen(const QString &listId) const
{
    return m_handles.count(listId) != 0;
}

EdsDatabase::Handle &EdsDatabase::handle(const QString &listId)
{
    const auto found = m_handles.find(listId);
    if (found == m_handles.end()) {
        throw ReminderStoreError(ReminderStoreError::Unreadable, u"Task list \"%1\" is not open"_s.arg(listId));
    }
    return *found->second;
}

std::vector<ICalComponentPtr> EdsDatabase::readAll(const QString &listId)
{
    return read(listId, QStringList {});
}

std::vector<ICalComponentPtr> EdsDatabase::read(const QString &listId, const QStringList &uids)
{
    auto &list = handle(listId);
    if (uids.isEmpty()) {
        return readFrom(list.client.get(), "#t");
    }
    GString *expression = g_string_new("(or");
    for (const auto &uid : uids) {
        g_string_append(expression, " (uid? ");
        e_sexp_encode_string(expression, uid.toUtf8().constData());
        g_string_append_c(expression, ')');
    }
    g_string_append_c(expression, ')');
    const QByteArray query(expression->str);
    g_string_free(expression, TRUE);
    return readFrom(list.client.get(), query);
}

namespace {

// The components as libecal takes them, released with the list.
struct Wrapped {
    GSList *list = nullptr;
    explicit Wrapped(const std::vector<icalcomponent *> &todos)
    {
        for (auto it = todos.rbegin(); it != todos.rend(); ++it) {
            list = g_slist_prepend(list, wrap(*it));
        }
    }
    ~Wrapped() { g_slist_free_full(list, g_object_unref); }
};

ReminderStoreError writeFailed(const QString &what, GError *&error)
{
    return ReminderStoreError(ReminderStoreError::WriteFailed, u"%1: %2"_s.arg(what, take(error)));
}

QStringList uidsOf(const std::vector<icalcomponent *> &todos)
{
    QStringList uids;
    for (auto *todo : todos) {
        uids << QString::fromUtf8(icalcomponent_get_uid(todo));
    }
    return uids;
}

// The database's refusal of the tasks `uids` (logged, returned), or, when the error concerns
// the list rather than one task, the error thrown.
QStringList refusedOrThrow(const QString &what, GError *&error, const QStringList &uids)
{
    if (uids.isEmpty() || !concernsOneTask(error)) {
        throw writeFailed(what, error);
    }
    qWarning().noquote() << u"%1: the task database refuses \"%2\": %3"_s.arg(what, uids.join(u", "_s), take(error));
    return uids;
}

} // namespace

QStringList EdsDatabase::create(const QString &listId, const std::vector<icalcomponent *> &todos)
{
    if (todos.empty()) {
        return {};
    }
    auto &list = handle(listId);
    const auto createAll = [&list](const std::vector<icalcomponent *> &which, GError **error) {
        const Wrapped wrapped(which);
        GSList *uids = nullptr;
        const bool done = e_cal_client_create_objects_sync(
            list.client.get(), wrapped.list, E_CAL_OPERATION_FLAG_NONE, &uids, nullptr, error);
        g_slist_free_full(uids, g_free);
        return done;
    };
    GError *error = nullptr;
    if (createAll(todos, &error)) {
        return {};
    }
    if (todos.size() == 1 || !concernsOneTask(error)) {
        return refusedOrThrow(u"Tasks cannot be created"_s, error, uidsOf(todos));
    }
    g_clear_error(&error);
    // One of them is refused; the others need not be.
    QStringList refused;
    for (auto *todo : todos) {
        if (!createAll({todo}, &error)) {
            refused << refusedOrThrow(u"Tasks cannot be created"_s, error, uidsOf({todo}));
        }
    }
    return refused;
}

QStringList EdsDatabase::modify(const QString &listId, const std::vector<icalcomponent *> &todos)
{
    if (todos.empty()) {
        return {};
    }
    auto &list = handle(listId);
    const auto modifyAll = [&list](const std::vector<icalcomponent *> &which, GError **error) {
        const Wrapped wrapped(which);
        return bool(e_cal_client_modify_objects_sync(
            list.client.get(), wrapped.list, E_CAL_OBJ_MOD_ALL, E_CAL_OPERATION_FLAG_NONE, nullptr, error));
    };
    GError *error = nullptr;
    if (modifyAll(todos, &error)) {
        return {};
    }
    if (!concernsOneTask(error)) {
        throw writeFailed(u"Tasks cannot be changed"_s, error);
    }
    g_clear_error(&error);
    QStringList refused;
    for (auto *todo : todos) {
        if (modifyAll({todo}, &error)) {
            continue;
        }
        if (isNotFound(error)) {
            // Someone removed it meanwhile; ours is the later write, so it stands anew.
            g_clear_error(&error);
            refused << create(listId, {todo});
        } else {
            refused << refusedOrThrow(u"Tasks cannot be changed"_s, error, uidsOf({todo}));
        }
    }
    return refused;
}

QStringList EdsDatabase::remove(const QString &listId, const QStringList &uids)
{
    if (uids.isEmpty()) {
        return {};
    }
    auto &list = handle(listId);
    const auto removeAll = [&list](const QStringList &which, GError **error) {
        GSList *ids = nullptr;
        for (const auto &uid : which) {
            ids = g_slist_prepend(ids, e_cal_component_id_new(uid.toUtf8().constData(), nullptr));
        }
        const bool done = e_cal_client_remove_objects_sync(
            list.client.get(), ids, E_CAL_OBJ_MOD_ALL, E_CAL_OPERATION_FLAG_NONE, nullptr, error);
        g_slist_free_full(ids, reinterpret_cast<GDestroyNotify>(e_cal_component_id_free));
        return done;
    };
    GError *error = nullptr;
    if (removeAll(uids, &error)) {
        return {};
    }
    if (!concernsOneTask(error)) {
        throw writeFailed(u"Tasks cannot be removed"_s, error);
    }
    g_clear_error(&error);
    // One of them is gone already, which is what a remove wants, or refused; the rest go one by
    // one.
    QStringList refused;
    for (const auto &uid : uids) {
        if (!removeAll({uid}, &error)) {
            if (isNotFound(error)) {
                g_clear_error(&error);
            } else {
                refused << refusedOrThrow(u"Tasks cannot be removed"_s, error, {uid});
            }
        }
    }
    return refused;
}

void EdsDatabase::createList(const QString &id, const QString &title, const QString &sourceId)
{
    GError *error = nullptr;
    GObjectPtr<ESource> scratch(e_source_new_with_uid(id.toUtf8().constData(), nullptr, &error));
    if (!scratch) {
        throw writeFailed(u"Task list cannot be created"_s, error);
    }
    e_source_set_parent(scratch.get(), sourceId.toUtf8().constData());
    e_source_set_display_name(scratch.get(), title.toUtf8().constData());
    e_source_backend_set_backend_name(
        E_SOURCE_BACKEND(e_source_get_extension(scratch.get(), E_SOURCE_EXTENSION_TASK_LIST)), "local");
    if (!e_source_registry_commit_source_sync(m_registry->registry.get(), scratch.get(), nullptr, &error)) {
        throw writeFailed(u"Task list cannot be created"_s, error);
    }
    // The database's own registry hears of the new list a moment after ours: until then it
    // opens no such list.
    for (int attempt = 1;; ++attempt) {
        try {
            open(id);
            return;
        } catch (const ReminderStoreError &) {
            if (attempt == kOpenNewListAttempts) {
                removeList(id);
                throw;
            }
        }
        std::this_thread::sleep_for(kOpenNewListPause);
    }
}

void EdsDatabase::renameList(const QString &id, const QString &title)
{
    const auto source = m_registry->source(id);
    if (!source) {
        throw ReminderStoreError(ReminderStoreError::WriteFailed, u"Task list \"%1\" does not exist"_s.arg(id));
    }
    e_source_set_display_name(source.get(), title.toUtf8().constData());
    GError *error = nullptr;
    if (!e_source_write_sync(source.get(), nullptr, &error)) {
        throw writeFailed(u"Task list cannot be renamed"_s, error);
    }
}

void EdsDatabase::removeList(const QString &id)
{
    const auto source = m_registry->source(id);
    if (!source) {
        close(id);
        return;
    }
    GError *error = nullptr;
    const bool done = e_source_get_remote_deletable(source.get())
        ? e_source_remote_delete_sync(source.get(), nullptr, &error)
        : e_source_remove_sync(source.get(), nullptr, &error);
    if (!done) {
        throw writeFailed(u"Task list cannot be removed"_s, error);
    }
    close(id);
}

} // namespace quorvin
