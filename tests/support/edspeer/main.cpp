// Another app on the desktop task database: reads and writes task lists and to-dos the way any
// task app does, straight through libecal, so that the store's tests can edit the database
// behind the store's back from a second process.
//
//     quorvin-eds-peer lists                      every enabled task list: UID, a tab, the title
//     quorvin-eds-peer list-create UID TITLE      a task list on this computer
//     quorvin-eds-peer list-rename UID TITLE
//     quorvin-eds-peer list-enable UID on|off     switches the list on or off, as account settings do
//     quorvin-eds-peer list-remove UID
//     quorvin-eds-peer uids LIST                  the UIDs of the list's to-dos, sorted
//     quorvin-eds-peer show LIST UID              the to-do as iCalendar text
//     quorvin-eds-peer put LIST ICS               creates the to-do, or replaces the one with its UID
//     quorvin-eds-peer edit LIST UID SUMMARY      sets the to-do's summary
//     quorvin-eds-peer remove LIST UID

#include <libecal/libecal.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string &what, GError *error = nullptr)
{
    std::fprintf(stderr, "quorvin-eds-peer: %s%s%s\n", what.c_str(), error ? ": " : "", error ? error->message : "");
    std::exit(1);
}

ESourceRegistry *registry()
{
    GError *error = nullptr;
    auto *result = e_source_registry_new_sync(nullptr, &error);
    if (!result) {
        fail("no task database", error);
    }
    return result;
}

ESource *source(ESourceRegistry *registry, const char *uid)
{
    auto *result = e_source_registry_ref_source(registry, uid);
    if (!result) {
        fail(std::string("no list ") + uid);
    }
    return result;
}

ECalClient *client(ESourceRegistry *registry, const char *list)
{
    GError *error = nullptr;
    auto *result = e_cal_client_connect_sync(
        source(registry, list), E_CAL_CLIENT_SOURCE_TYPE_TASKS, guint32(-1), nullptr, &error);
    if (!result) {
        fail("cannot open the list", error);
    }
    return E_CAL_CLIENT(result);
}

ICalComponent *get(ECalClient *client, const char *uid)
{
    ICalComponent *todo = nullptr;
    GError *error = nullptr;
    if (!e_cal_client_get_object_sync(client, uid, nullptr, &todo, nullptr, &error)) {
        fail("no such to-do", error);
    }
    return todo;
}

void modify(ECalClient *client, ICalComponent *todo)
{
    GSList one = {todo, nullptr};
    GError *error = nullptr;
    if (!e_cal_client_modify_objects_sync(
            client, &one, E_CAL_OBJ_MOD_ALL, E_CAL_OPERATION_FLAG_NONE, nullptr, &error)) {
        fail("cannot change the to-do", error);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fail("no command");
    }
    const std::string command = argv[1];
    const auto need = [argc](int count) {
        if (argc != count + 2) {
            fail("wrong number of arguments");
        }
    };
    ESourceRegistry *reg = registry();
    GError *error = nullptr;

    if (command == "lists") {
        need(0);
        GList *lists = e_source_registry_list_enabled(reg, E_SOURCE_EXTENSION_TASK_LIST);
        for (GList *item = lists; item; item = item->next) {
            std::printf(
                "%s\t%s\n", e_source_get_uid(E_SOURCE(item->data)), e_source_get_display_name(E_SOURCE(item->data)));
        }
        g_list_free_full(lists, g_object_unref);
    } else if (command == "list-create") {
        need(2);
        ESource *scratch = e_source_new_with_uid(argv[2], nullptr, &error);
        e_source_set_parent(scratch, "local-stub");
        e_source_set_display_name(scratch, argv[3]);
        e_source_backend_set_backend_name(
            E_SOURCE_BACKEND(e_source_get_extension(scratch, E_SOURCE_EXTENSION_TASK_LIST)), "local");
        if (!e_source_registry_commit_source_sync(reg, scratch, nullptr, &error)) {
            fail("cannot create the list", error);
        }
    } else if (command == "list-rename") {
        need(2);
        ESource *list = source(reg, argv[2]);
        e_source_set_display_name(list, argv[3]);
        if (!e_source_write_sync(list, nullptr, &error)) {
            fail("cannot rename the list", error);
        }
    } else if (command == "list-enable") {
        need(2);
        ESource *list = source(reg, argv[2]);
        e_source_set_enabled(list, std::strcmp(argv[3], "on") == 0);
        if (!e_source_write_sync(list, nullptr, &error)) {
            fail("cannot switch the list", error);
        }
    } else if (command == "list-remove") {
        need(1);
        if (!e_source_remove_sync(source(reg, argv[2]), nullptr, &error)) {
            fail("cannot remove the list", error);
        }
    } else if (command == "uids") {
        need(1);
        GSList *todos = nullptr;
        if (!e_cal_client_get_object_list_sync(client(reg, argv[2]), "#t", &todos, nullptr, &error)) {
            fail("cannot read the list", error);
        }
        std::vector<std::string> uids;
        for (GSList *item = todos; item; item = item->next) {
            uids.emplace_back(i_cal_component_get_uid(I_CAL_COMPONENT(item->data)));
        }
        std::sort(uids.begin(), uids.end());
        for (const auto &uid : uids) {
            std::printf("%s\n", uid.c_str());
        }
    } else if (command == "show") {
        need(2);
        gchar *text = i_cal_component_as_ical_string(get(client(reg, argv[2]), argv[3]));
        std::fputs(text, stdout);
        g_free(text);
    } else if (command == "put") {
        need(2);
        ICalComponent *todo = i_cal_component_new_from_string(argv[3]);
        if (!todo) {
            fail("not a to-do");
        }
        ECalClient *list = client(reg, argv[2]);
        ICalComponent *existing = nullptr;
        if (e_cal_client_get_object_sync(list, i_cal_component_get_uid(todo), nullptr, &existing, nullptr, nullptr)) {
            modify(list, todo);
        } else {
            GSList one = {todo, nullptr};
            if (!e_cal_client_create_objects_sync(list, &one, E_CAL_OPERATION_FLAG_NONE, nullptr, nullptr, &error)) {
                fail("cannot create the to-do", error);
            }
        }
    } else if (command == "edit") {
        need(3);
        ECalClient *list = client(reg, argv[2]);
        ICalComponent *todo = get(list, argv[3]);
        i_cal_component_set_summary(todo, argv[4]);
        modify(list, todo);
    } else if (command == "remove") {
        need(2);
        ECalComponentId *id = e_cal_component_id_new(argv[3], nullptr);
        GSList one = {id, nullptr};
        if (!e_cal_client_remove_objects_sync(
                client(reg, argv[2]), &one, E_CAL_OBJ_MOD_ALL, E_CAL_OPERATION_FLAG_NONE, nullptr, &error)) {
            fail("cannot remove the to-do", error);
        }
    } else {
        fail("unknown command " + command);
    }
    std::fflush(stdout);
    return 0;
}
