#include "MonitorFixture.h"
#include "reminders/ReminderMapper.h"

#include "model/JsonCodec.h"
#include "model/SyncError.h"

using namespace Qt::Literals::StringLiterals;
using namespace quorvin;
using namespace quorvin::test;

namespace {

using Monitor = MonitorFixture;

Reminder fullReminder(const QString &listId)
{
    Reminder r;
    r.listId = listId;
    r.title = u"Buy #Milk"_s;
    r.notes = u"#milk first\nthen #eggs and x#no and # alone"_s;
    r.url = u"https://example.com/a?b=c"_s;
    r.priority = 5;
    DateComponents due;
    due.era = 1;
    due.year = 2026;
    due.month = 3;
    due.day = 10;
    due.timeZone = u"Asia/Shanghai"_s;
    r.dueDateComponents = due;
    DateComponents start = due;
    start.hour = 0;
    start.minute = 0;
    start.second = 0;
    r.startDateComponents = start;
    ReminderAlarm location = ReminderAlarm::atOffset(-600);
    location.structuredLocation = StructuredLocation {u"Home"_s, StructuredLocation::Coordinate {31.2, 121.5}, 150};
    location.proximity = ReminderAlarm::Proximity::Leave;
    r.alarms = std::vector<ReminderAlarm> {ReminderAlarm::atOffset(-300),
        ReminderAlarm::atDate(QDateTime(QDate(2026, 3, 9), QTime(1, 0), Qt::UTC)), location};
    RecurrenceRule rule;
    rule.frequency = RecurrenceRule::Frequency::Weekly;
    rule.interval = 2;
    rule.daysOfTheWeek = std::vector<RecurrenceDayOfWeek> {{2, 0}, {4, 0}};
    r.recurrenceRules = {rule};
    return r;
}

} // namespace

TEST_F(Monitor, MapsEveryFieldTheSameWayOnEveryRead)
{
    const Reminder stored = save(fullReminder(listId));
    const ReminderPayload p = mapped(stored.id);

    EXPECT_EQ(p.schema_version, 2);
    EXPECT_EQ(p.source, u"apple_reminders"_s);
    EXPECT_EQ(p.local_id, stored.id);
    EXPECT_EQ(p.source_item_id, stored.id);
    EXPECT_EQ(p.external_id, stored.externalId);
    EXPECT_EQ(p.list_id, listId);
    EXPECT_EQ(p.list_name, u"Inbox"_s);
    EXPECT_EQ(p.title, u"Buy #Milk"_s);
    EXPECT_EQ(p.url, u"https://example.com/a?b=c"_s);
    // A start at Shanghai midnight on the day of a date-only due date is dropped.
    EXPECT_EQ(p.start_date, std::nullopt);
    EXPECT_EQ(p.has_start_time, false);
    EXPECT_EQ(p.due_date, u"2026-03-09T16:00:00.000Z"_s);
    EXPECT_FALSE(p.has_due_time);
    EXPECT_EQ(p.is_floating_time, false);
    EXPECT_EQ(p.repeat_type, u"weekly"_s);
    EXPECT_EQ(p.repeat_summary, u"custom:interval=2;days=MO,WE"_s);
    ASSERT_TRUE(p.recurrence_rule);
    EXPECT_EQ(p.recurrence_rule->frequency, u"weekly"_s);
    EXPECT_EQ(p.recurrence_rule->week_days, (QList<QString> {u"MO"_s, u"WE"_s}));
    EXPECT_EQ(p.priority, 5);
    EXPECT_EQ(p.tags, (QList<QString> {u"Milk"_s, u"eggs"_s}));
    ASSERT_TRUE(p.alarms);
    ASSERT_EQ(p.alarms->size(), 3);
    EXPECT_EQ(p.alarms->at(0).alarm_id, u"alarm-1"_s);
    EXPECT_EQ(p.alarms->at(0).kind, u"relative"_s);
    EXPECT_EQ(p.alarms->at(1).kind, u"absolute"_s);
    EXPECT_EQ(p.alarms->at(1).relative_offset_seconds, std::nullopt);
    EXPECT_EQ(p.alarms->at(2).alarm_id, u"alarm-3"_s);
    EXPECT_EQ(p.alarms->at(2).kind, u"location"_s);
    EXPECT_EQ(p.alarms->at(2).relative_offset_seconds, -600);
    EXPECT_EQ(p.alarms->at(2).proximity, u"leave"_s);
    EXPECT_EQ(p.alarms->at(2).location->radius_meters, 150);
    EXPECT_EQ(p.raw_apple_payload_json->value(u"source_type"_s), JSONValue(u"local"_s));
    EXPECT_EQ(p.raw_apple_payload_json->value(u"external_identifier_present"_s), JSONValue(u"true"_s));
    EXPECT_EQ(p.unsupported_fields_json->value(u"location_alarms"_s), JSONValue(u"best_effort"_s));
    EXPECT_FALSE(p.is_completed);
    EXPECT_EQ(p.fingerprint.size(), 64);
    EXPECT_EQ(p.content_hash.size(), 64);

    // Two reads give the same record; a later modification date alone leaves the hash.
    EXPECT_EQ(encodeJson(mapped(stored.id)), encodeJson(p));
    Reminder touched = *store.reminder(stored.id);
    touched.notes = u"changed"_s;
    save(touched);
    touched.notes = fullReminder(listId).notes;
    clock.advance(std::chrono::minutes(5));
    save(touched);
    const ReminderPayload again = mapped(stored.id);
    EXPECT_NE(again.updated_at, p.updated_at);
    EXPECT_EQ(again.content_hash, p.content_hash);

    // Completed: no recurrence fields, though the rules are still counted when there are two.
    Reminder done = *store.reminder(stored.id);
    done.completed = true;
    done.recurrenceRules.push_back(done.recurrenceRules.front());
    save(done);
    const ReminderPayload completed = mapped(stored.id);
    EXPECT_EQ(completed.repeat_type, std::nullopt);
    EXPECT_EQ(completed.recurrence_rule, std::nullopt);
    EXPECT_EQ(completed.unsupported_fields_json->value(u"recurrence_rule_count"_s), JSONValue(u"2"_s));
}

TEST_F(Monitor, MapsListsStartsAndRecurrenceDiagnostics)
{
    // The directory trims ids and names, names a blank list and skips a list without id; its
    // reminders still carry the list's own title.
    ReminderList blank;
    blank.title = u" \n"_s;
    blank.sourceId = u"local"_s;
    blank = store.saveList(blank);
    Reminder inBlank;
    inBlank.listId = blank.id;
    inBlank.title = u"x"_s;
    EXPECT_EQ(mapped(save(inBlank).id).list_name, u" \n"_s);
    const auto directory = monitor.fetchAllReminderLists();
    ASSERT_EQ(directory.size(), 2u);
    EXPECT_EQ(directory[1].list_id, blank.id);
    EXPECT_EQ(directory[1].list_name, u"未命名列表"_s);
    EXPECT_EQ(directory[1].source, u"apple_reminders"_s);
    EXPECT_EQ(directory[1].source_list_id, blank.id);
    const ReminderMapper mapper(GregorianCalendar(QTimeZone("Asia/Shanghai")), {});
    const auto odd = mapper.mapLists(
        {ReminderList {u" id-1 "_s, u" Work "_s, u"local"_s}, ReminderList {u" \t"_s, u"Ghost"_s, u"local"_s}});
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].list_id, u"id-1"_s);
    EXPECT_EQ(odd[0].source_list_id, u"id-1"_s);
    EXPECT_EQ(odd[0].list_name, u"Work"_s);

    // A timed start at Shanghai midnight is dropped only beside a date-only due date on its day.
    struct Row {
        const char *name;
        DateComponents start;
        DateComponents due;
        bool kept;
    };
    const std::vector<Row> rows = {
        {"same day, date-only due", at(2026, 3, 10, 0), at(2026, 3, 10), false},
        {"due on another day", at(2026, 3, 10, 0), at(2026, 3, 11), true},
        {"due with a time", at(2026, 3, 10, 0), at(2026, 3, 10, 9), true},
        {"date-only start", at(2026, 3, 10), at(2026, 3, 10), true},
        {"start after midnight", at(2026, 3, 10, 0, 1), at(2026, 3, 10), true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Reminder r;
        r.title = u"start"_s;
        r.startDateComponents = row.start;
        r.dueDateComponents = row.due;
        const ReminderPayload p = mapped(save(r).id);
        EXPECT_EQ(p.start_date.has_value(), row.kept);
        EXPECT_EQ(p.has_start_time, row.kept && row.start.hasTimeOfDay());
    }

    // Only rules worth a look are logged when reading, and only with diagnostics on.
    RecurrenceRule secondTuesday;
    secondTuesday.frequency = RecurrenceRule::Frequency::Monthly;
    secondTuesday.daysOfTheWeek = std::vector<RecurrenceDayOfWeek> {{3, 2}};
    RecurrenceRule daily;
    Reminder ordinal;
    ordinal.title = u"Board"_s;
    ordinal.recurrenceRules = {secondTuesday};
    const QString ordinalId = save(ordinal).id;
    Reminder plain;
    plain.title = u"Plain"_s;
    plain.recurrenceRules = {daily};
    const QString plainId = save(plain).id;
    Reminder twice;
    twice.title = u"Twice"_s;
    twice.recurrenceRules = {daily, secondTuesday};
    const QString twiceId = save(twice).id;

    diagnostics.clear();
    for (const QString &id : {ordinalId, plainId, twiceId}) {
        monitor.mapReminder(*store.reminder(id), false);
    }
    EXPECT_TRUE(diagnostics.empty());
    for (const QString &id : {ordinalId, plainId, twiceId}) {
        monitor.mapReminder(*store.reminder(id), true);
    }
    const QString ordinalRaw = u"freq=2 interval=1 months=[] monthDays=[] weeksOfYear=[] daysOfYear=[] setPositions=[] "
                               "weekdays=[\"3:2\"] structured=custom:interval=1;mode=ordinal;ordinal=2;weekday=TU"_s;
    const QString dailyRaw = u"freq=0 interval=1 months=[] monthDays=[] weeksOfYear=[] daysOfYear=[] setPositions=[] "
                             "weekdays=[] structured=<nil>"_s;
    EXPECT_EQ(diagnostics,
        (std::vector<QString> {u"[QuorvinRepeat] recurrenceInfo local_id="_s + ordinalId
                + u" title=Board derived_type=monthly "
                  "derived_summary=custom:interval=1;mode=ordinal;ordinal=2;weekday=TU raw="_s
                + ordinalRaw,
            u"[QuorvinRepeat] recurrenceInfo local_id="_s + twiceId + u" title=Twice multiple_rules="_s + dailyRaw
                + u" || "_s + ordinalRaw}));
}

TEST_F(Monitor, WritingBackAnUnchangedRecordSavesNothingAndEachChangedFieldSavesOnce)
{
    Reminder r;
    r.title = u"Water plants"_s;
    r.notes = u"balcony"_s;
    r.url = u"https://example.com/p"_s;
    r.priority = 1;
    r.dueDateComponents = at(2026, 3, 10, 9);
    r.startDateComponents = at(2026, 3, 10, 9);
    r.alarms = std::vector<ReminderAlarm> {
        ReminderAlarm::atOffset(-900), ReminderAlarm::atDate(QDateTime(QDate(2026, 3, 10), QTime(1, 0), Qt::UTC))};
    RecurrenceRule rule;
    rule.frequency = RecurrenceRule::Frequency::Monthly;
    rule.daysOfTheWeek = std::vector<RecurrenceDayOfWeek> {{3, 2}};
    r.recurrenceRules = {rule};
    const QString id = save(r).id;
    ReminderList other;
    other.title = u"Other"_s;
    other.sourceId = u"local"_s;
    const QString otherList = store.saveList(other).id;

    const ReminderPayload base = mapped(id);
    ASSERT_EQ(base.repeat_summary, u"custom:interval=1;mode=ordinal;ordinal=2;weekday=TU"_s);
    const int savesBefore = store.counters().reminderSaves;
    EXPECT_EQ(run(monitor.updateReminderFields(upsertFrom(base), false, true)), id);
    EXPECT_EQ(store.counters().reminderSaves, savesBefore);
    EXPECT_TRUE(diagnostics.empty());

    struct Row {
        const char *field;
        std::function<void(ReminderUpsertMutationPayload &)> change;
    };
    const std::vector<Row> rows = {
        {"title", [](auto &u) { u.title = u" Water plants"_s; }},
        {"notes", [](auto &u) { u.notes = u"kitchen"_s; }},
        // Kept as written: no parser's case, punycode or escapes.
        {"url", [](auto &u) { u.url = u"HTTPS://例え.JP/a%20b?q=%e4#Frag"_s; }},
        {"due", [](auto &u) { u.due_date = u"2026-03-11T01:00:00.000Z"_s; }},
        {"list", [&](auto &u) { u.list_id = otherList; }},
        {"priority", [](auto &u) { u.priority = 9; }},
        {"alarms", [](auto &u) { u.alarms->removeLast(); }},
        {"recurrence",
            [](auto &u) {
                u.recurrence_rule.reset();
                u.repeat_type = u"daily"_s;
                u.repeat_summary.reset();
            }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.field);
        ReminderUpsertMutationPayload upsert = upsertFrom(mapped(id));
        row.change(upsert);
        const int before = store.counters().reminderSaves;
        EXPECT_EQ(run(monitor.updateReminderFields(upsert, false, false)), id);
        EXPECT_EQ(store.counters().reminderSaves, before + 1);
        // Once written, the same record is a no-op.
        EXPECT_EQ(run(monitor.updateReminderFields(upsertFrom(mapped(id)), false, false)), id);
        EXPECT_EQ(store.counters().reminderSaves, before + 1);
    }
    EXPECT_EQ(store.reminder(id)->listId, otherList);
    EXPECT_EQ(mapped(id).url, u"HTTPS://例え.JP/a%20b?q=%e4#Frag"_s);
    EXPECT_FALSE(diagnostics.empty());
    EXPECT_TRUE(diagnostics.back().startsWith(u"[QuorvinRepeat] android-write-applied local_id="_s + id));
}

TEST_F(Monitor, WriteValidationAndCreation)
{
    ReminderUpsertMutationPayload unknown;
    unknown.local_id = u"missing"_s;
    unknown.title = u"x"_s;
    EXPECT_THROW(
        {
            try {
                run(monitor.updateReminderFields(unknown, false, false));
            } catch (const SyncError &e) {
                EXPECT_EQ(e.description(), u"Reminder not found"_s);
                throw;
            }
        },
        SyncError);

    struct Row {
        const char *name;
        std::function<void(ReminderUpsertMutationPayload &)> change;
        QString error;
    };
    const std::vector<Row> rows = {
        {"start", [](auto &u) { u.start_date = u"soon"_s; }, u"Invalid start_date"_s},
        {"due", [](auto &u) { u.due_date = u"later"_s; }, u"Invalid due_date"_s},
        {"priority", [](auto &u) { u.priority = 10; }, u"Invalid priority"_s},
        {"list", [](auto &u) { u.list_id = u"nope"_s; }, u"Target list not found"_s},
        {"hourly",
            [](auto &u) {
                u.due_date = u"2026-03-10T01:00:00Z"_s;
                u.repeat_type = u"Hourly"_s;
            },
            u"repeat_type hourly is not supported by EventKit reminders"_s},
        {"alarm",
            [](auto &u) {
                u.due_date = u"2026-03-10T01:00:00Z"_s;
                u.alarms
                    = QList<ReminderAlarmPayload> {ReminderAlarmPayload {std::nullopt, u"sound"_s, {}, {}, {}, {}, {}}};
            },
            u"Invalid absolute alarm"_s},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ReminderUpsertMutationPayload u;
        u.local_id = u"tmp:1"_s;
        u.title = u"New"_s;
        row.change(u);
        try {
            run(monitor.updateReminderFields(u, false, false));
            ADD_FAILURE() << "no error";
        } catch (const SyncError &e) {
            EXPECT_EQ(e.description(), row.error);
        }
    }
    EXPECT_TRUE(store.reminders().empty());

    // A new recurring reminder: start follows due, default list, rules from the keyword.
    ReminderUpsertMutationPayload fresh;
    fresh.title = u"Standup"_s;
    fresh.start_date = u"2026-03-10T00:00:00Z"_s;
    fresh.due_date = u"2026-03-10T01:00:00Z"_s;
    fresh.has_due_time = true;
    fresh.repeat_type = u"Bi Weekly"_s;
    const QString id = run(monitor.updateReminderFields(fresh, true, false));
    const Reminder created = *store.reminder(id);
    EXPECT_EQ(created.listId, listId);
    EXPECT_EQ(created.startDateComponents, created.dueDateComponents);
    ASSERT_EQ(created.recurrenceRules.size(), 1u);
    EXPECT_EQ(created.recurrenceRules.front().interval, 2);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.back().reason, u"android-write"_s);
    EXPECT_TRUE(std::any_of(diagnostics.begin(), diagnostics.end(), [](const QString &l) {
        return l
            == u"[QuorvinRepeat] android-write-request local_id=<new> title=Standup old=type=<nil> summary=<nil> "
               "new=type=Bi Weekly summary=<nil>"_s;
    }));

    // Forced save: 0.6 s newer writes without comparing, 0.4 s newer compares.
    ReminderUpsertMutationPayload same = upsertFrom(mapped(id));
    const QDateTime modified = *store.reminder(id)->lastModifiedDate;
    same.client_last_modified = modified.addMSecs(400).toString(Qt::ISODateWithMs);
    const int before = store.counters().reminderSaves;
    run(monitor.updateReminderFields(same, false, true));
    EXPECT_EQ(store.counters().reminderSaves, before);
    same.client_last_modified = modified.addMSecs(600).toString(Qt::ISODateWithMs);
    run(monitor.updateReminderFields(same, false, true));
    EXPECT_EQ(store.counters().reminderSaves, before + 1);
    EXPECT_EQ(diagnostics.at(diagnostics.size() - 2),
        u"[QuorvinRepeat] cloud-write-forced local_id="_s + id + u" title=Standup remote_last_modified="_s
            + *same.client_last_modified + u" local_last_modified="_s + modified.toString(Qt::ISODateWithMs));
    EXPECT_EQ(diagnostics.back(),
        u"[QuorvinRepeat] android-write-applied local_id="_s + id
            + u" title=Standup recurrence=type=weekly summary=每2周 raw=freq=1 interval=2 months=[] monthDays=[] "
              "weeksOfYear=[] daysOfYear=[] setPositions=[] weekdays=[] structured=<nil>"_s);
}

TEST_F(Monitor, WritesFitAlarmsStartAndRulesToTheDueDate)
{
    const auto alarm = [](const QString &kind, std::optional<QString> date, std::optional<double> offset) {
        ReminderAlarmPayload a;
        a.kind = kind;
        a.absolute_date = std::move(date);
        a.relative_offset_seconds = offset;
        return a;
    };
    ReminderAlarmPayload place = alarm(u"location"_s, std::nullopt, std::nullopt);
    place.location = ReminderAlarmLocationPayload {std::nullopt, 31.2, 121.5, std::nullopt};

    // Due 09:00 Shanghai: absolute alarms stay at any time (0.4 s off, a minute off); relative and
    // location alarms stay whatever their offset.
    ReminderUpsertMutationPayload u;
    u.local_id = u"tmp:dentist"_s;
    u.title = u"Dentist"_s;
    u.due_date = u"2026-03-10T01:00:00.000Z"_s;
    u.alarms = QList<ReminderAlarmPayload> {alarm(u"absolute"_s, u"2026-03-10T01:00:00.400Z"_s, std::nullopt),
        alarm(u"absolute"_s, u"2026-03-10T01:01:00.000Z"_s, std::nullopt), alarm(u"relative"_s, std::nullopt, -86400),
        place};
    const QString id = run(monitor.updateReminderFields(u, false, false));
    EXPECT_TRUE(diagnostics.back().startsWith(u"[QuorvinRepeat] android-write-applied local_id="_s + id));
    Reminder stored = *store.reminder(id);
    ASSERT_TRUE(stored.alarms);
    ASSERT_EQ(stored.alarms->size(), 4u);
    EXPECT_EQ(stored.alarms->at(0).absoluteDate, QDateTime(QDate(2026, 3, 10), QTime(1, 0, 0, 400), Qt::UTC));
    EXPECT_EQ(stored.alarms->at(1).absoluteDate, QDateTime(QDate(2026, 3, 10), QTime(1, 1), Qt::UTC));
    EXPECT_EQ(stored.alarms->at(2).relativeOffset, -86400);
    ASSERT_TRUE(stored.alarms->at(3).structuredLocation);
    EXPECT_EQ(stored.alarms->at(3).structuredLocation->title, u"提醒事项"_s);
    EXPECT_EQ(stored.alarms->at(3).proximity, ReminderAlarm::Proximity::Enter);
    EXPECT_EQ(stored.dueDateComponents, at(2026, 3, 10, 9));

    // Absent alarms leave the reminder's alone; notes of blanks are no notes; a stored time
    // without seconds equals the same time with 0 seconds.
    stored.dueDateComponents->second.reset();
    save(stored);
    ReminderUpsertMutationPayload same = u;
    same.local_id = id;
    same.alarms.reset();
    same.notes = u"   "_s;
    int saves = store.counters().reminderSaves;
    run(monitor.updateReminderFields(same, false, false));
    EXPECT_EQ(store.counters().reminderSaves, saves);

    // A date-only due date keeps era, year, month, day and zone, and takes with it every alarm
    // that counts from the due time; the absolute ones stay.
    ReminderUpsertMutationPayload allDay = same;
    allDay.has_due_time = false;
    allDay.alarms = u.alarms;
    run(monitor.updateReminderFields(allDay, false, false));
    stored = *store.reminder(id);
    EXPECT_EQ(stored.dueDateComponents, at(2026, 3, 10));
    ASSERT_TRUE(stored.alarms);
    ASSERT_EQ(stored.alarms->size(), 2u);
    EXPECT_TRUE(stored.alarms->at(0).absoluteDate && stored.alarms->at(1).absoluteDate);
    ASSERT_TRUE(mapped(id).alarms);
    EXPECT_EQ(mapped(id).alarms->size(), 2);

    // An active recurring record starts when it is due; a completed one keeps its own start.
    ReminderUpsertMutationPayload recurring = same;
    recurring.start_date = u"2026-03-10T00:00:00.000Z"_s;
    recurring.has_due_time = true;
    recurring.repeat_type = u"daily"_s;
    run(monitor.updateReminderFields(recurring, false, false));
    EXPECT_EQ(store.reminder(id)->startDateComponents, at(2026, 3, 10, 9));
    recurring.is_completed = true;
    run(monitor.updateReminderFields(recurring, false, false));
    EXPECT_EQ(store.reminder(id)->startDateComponents, at(2026, 3, 10, 8));
    EXPECT_FALSE(store.reminder(id)->completed);

    // The structured rule has no week numbers; the ordinal summary beside it restores them.
    ReminderUpsertMutationPayload secondTuesday = same;
    secondTuesday.repeat_type = u"monthly"_s;
    secondTuesday.repeat_summary = u"custom:interval=1;mode=ordinal;ordinal=2;weekday=TU"_s;
    secondTuesday.recurrence_rule = ReminderRecurrenceRulePayload {};
    secondTuesday.recurrence_rule->frequency = u"monthly"_s;
    secondTuesday.recurrence_rule->week_days = QList<QString> {u"TU"_s};
    secondTuesday.recurrence_rule->occurrence_count = 4;
    run(monitor.updateReminderFields(secondTuesday, false, false));
    stored = *store.reminder(id);
    ASSERT_EQ(stored.recurrenceRules.size(), 1u);
    EXPECT_EQ(stored.recurrenceRules.front().daysOfTheWeek, (std::vector<RecurrenceDayOfWeek> {{3, 2}}));
    EXPECT_EQ(stored.recurrenceRules.front().end, RecurrenceEnd::byCount(4));
    saves = store.counters().reminderSaves;
    run(monitor.updateReminderFields(secondTuesday, false, false));
    EXPECT_EQ(store.counters().reminderSaves, saves);

    // A rule without a due date asks for no repetition.
    secondTuesday.due_date.reset();
    run(monitor.updateReminderFields(secondTuesday, false, false));
    EXPECT_TRUE(store.reminder(id)->recurrenceRules.empty());
    EXPECT_EQ(store.reminder(id)->dueDateComponents, std::nullopt);

    // With no list at all a new reminder has nowhere to go.
    store.removeList(listId);
    try {
        run(monitor.updateReminderFields(u, false, false));
        ADD_FAILURE() << "no error";
    } catch (const SyncError &e) {
        EXPECT_EQ(e.description(), u"No reminder list available"_s);
    }
    EXPECT_TRUE(store.reminders().empty());
}

TEST_F(Monitor, CompletingARecurringReminderDetachesTheNextOccurrence)
{
    Reminder r;
    r.title = u"Daily pills"_s;
    r.notes = u"blue"_s;
    r.priority = 1;
    r.url = u"https://example.com"_s;
    r.dueDateComponents = at(2026, 3, 1, 9);
    r.startDateComponents = at(2026, 3, 1, 9);
    RecurrenceRule daily;
    r.recurrenceRules = {daily};
    const QString id = save(r).id;

    const QDateTime completion = GregorianCalendar(QTimeZone("Asia/Shanghai")).instant(QDate(2026, 3, 5), QTime(10, 0));
    const auto nextId = run(monitor.setReminderCompletion(id, true, completion, false));
    ASSERT_TRUE(nextId);
    const Reminder done = *store.reminder(id);
    EXPECT_TRUE(done.completed);
    EXPECT_EQ(done.completionDate, completion);
    EXPECT_TRUE(done.recurrenceRules.empty());
    const Reminder next = *store.reminder(*nextId);
    EXPECT_FALSE(next.completed);
    EXPECT_EQ(next.dueDateComponents, at(2026, 3, 6, 9));
    EXPECT_EQ(next.recurrenceRules.size(), 1u);
    EXPECT_EQ(next.title, r.title);
    EXPECT_EQ(next.notes, r.notes);
    EXPECT_EQ(next.url, std::nullopt);
    EXPECT_EQ(next.startDateComponents, std::nullopt);
    EXPECT_FALSE(store.hasUncommittedChanges());

    // Already completed: nothing written, but the refresh still runs when asked for.
    const int saves = store.counters().reminderSaves;
    EXPECT_EQ(run(monitor.setReminderCompletion(id, true, std::nullopt, true)), std::nullopt);
    EXPECT_EQ(store.counters().reminderSaves, saves);
    EXPECT_EQ(events.size(), 1u);

    // A series whose end date comes before the next occurrence is completed in place.
    Reminder ending = r;
    ending.recurrenceRules.front().end = RecurrenceEnd::byDate(completion.addSecs(3600));
    const QString endingId = save(ending).id;
    EXPECT_EQ(run(monitor.setReminderCompletion(endingId, true, completion, false)), std::nullopt);
    EXPECT_TRUE(store.reminder(endingId)->completed);
    EXPECT_EQ(store.reminders().size(), 3u);

    // All-day series keep all-day next dates; un-completing creates nothing.
    Reminder allDay = r;
    allDay.dueDateComponents = at(2026, 3, 1);
    allDay.startDateComponents.reset();
    const QString allDayId = save(allDay).id;
    const auto allDayNext = run(monitor.setReminderCompletion(allDayId, true, completion, false));
    ASSERT_TRUE(allDayNext);
    EXPECT_EQ(store.reminder(*allDayNext)->dueDateComponents, at(2026, 3, 6));
    EXPECT_EQ(run(monitor.setReminderCompletion(allDayId, false, std::nullopt, false)), std::nullopt);
    EXPECT_FALSE(store.reminder(allDayId)->completed);
    EXPECT_EQ(store.reminder(allDayId)->completionDate, std::nullopt);
    EXPECT_EQ(store.reminders().size(), 5u);
}

TEST_F(Monitor, TheDetachedOccurrenceOnlyContinuesASeriesThatGoesOn)
{
    Reminder r;
    r.title = u"Course"_s;
    r.dueDateComponents = at(2026, 3, 2, 9);
    RecurrenceRule weekly;
    weekly.frequency = RecurrenceRule::Frequency::Weekly;
    r.recurrenceRules = {weekly};
    const GregorianCalendar shanghai(QTimeZone("Asia/Shanghai"));
    const QDateTime completion = shanghai.instant(QDate(2026, 3, 2), QTime(10, 0));
    const QDateTime nextDue = shanghai.instant(QDate(2026, 3, 9), QTime(9, 0));
    const auto ending = [](std::optional<RecurrenceEnd> end) {
        return [end](Reminder &series) { series.recurrenceRules.front().end = end; };
    };

    struct Row {
        const char *name;
        std::function<void(Reminder &)> change;
        bool detaches;
    };
    const std::vector<Row> rows = {
        {"no end", ending(std::nullopt), true},
        {"ends after the next occurrence", ending(RecurrenceEnd::byDate(nextDue.addSecs(1))), true},
        {"ends on the next occurrence", ending(RecurrenceEnd::byDate(nextDue)), true},
        // The end is a calendar day in the reminder's zone: earlier on the same day still counts.
        {"ends earlier on the day of the next occurrence", ending(RecurrenceEnd::byDate(nextDue.addSecs(-9 * 3600))),
            true},
        {"ends the day before the next occurrence", ending(RecurrenceEnd::byDate(nextDue.addSecs(-9 * 3600 - 1))),
            false},
        // A count cannot be checked against one item's dates; it goes on with the series.
        {"ends after a count", ending(RecurrenceEnd::byCount(3)), true},
        {"no due date", [](Reminder &series) { series.dueDateComponents.reset(); }, false},
        // Two rules read as "custom", which cannot be stepped.
        {"two rules", [](Reminder &series) { series.recurrenceRules.push_back(series.recurrenceRules.front()); },
            false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Reminder series = r;
        row.change(series);
        const QString id = save(series).id;
        const auto nextId = run(monitor.setReminderCompletion(id, true, completion, false));
        const Reminder done = *store.reminder(id);
        EXPECT_TRUE(done.completed);
        EXPECT_EQ(done.completionDate, completion);
        EXPECT_EQ(nextId.has_value(), row.detaches);
        if (nextId) {
            const Reminder next = *store.reminder(*nextId);
            EXPECT_EQ(next.dueDateComponents, at(2026, 3, 9, 9));
            EXPECT_EQ(next.recurrenceRules, series.recurrenceRules);
            EXPECT_TRUE(done.recurrenceRules.empty());
        } else {
            // Completed in place: the series keeps its rules.
            EXPECT_EQ(done.recurrenceRules, series.recurrenceRules);
        }
    }
}

// Completing steps over every occurrence up to the completion at the series' own time: the
// gap on 29 March in Berlin (02:00 -> 03:00) moves only the occurrence that falls on it.
TEST_F(Monitor, TheDetachedOccurrenceKeepsTheSeriesTimeAfterADaylightSavingGap)
{
    const QTimeZone berlin(QByteArrayLiteral("Europe/Berlin"));
    ReminderMonitor inBerlin(store, journal, {}, {}, clock, berlin);
    Reminder r;
    r.title = u"Night pills"_s;
    r.dueDateComponents = GregorianCalendar(berlin).components(
        GregorianCalendar(berlin).instant(QDate(2026, 3, 28), QTime(2, 30)), true);
    r.recurrenceRules = {RecurrenceRule {}};
    const QString id = save(r).id;
    const QDateTime completion = GregorianCalendar(berlin).instant(QDate(2026, 3, 30), QTime(12, 0));
    const auto nextId = run(inBerlin.setReminderCompletion(id, true, completion, false));
    ASSERT_TRUE(nextId);
    const DateComponents due = *store.reminder(*nextId)->dueDateComponents;
    EXPECT_EQ(QDate(*due.year, *due.month, *due.day), QDate(2026, 3, 31));
    EXPECT_EQ(due.hour, 2);
    EXPECT_EQ(due.minute, 30);
}

TEST_F(Monitor, AFailedCompletionLeavesTheSeriesActive)
{
    Reminder r;
    r.title = u"Weekly report"_s;
    r.dueDateComponents = at(2026, 3, 2, 9);
    RecurrenceRule weekly;
    weekly.frequency = RecurrenceRule::Frequency::Weekly;
    r.recurrenceRules = {weekly};
    const QString id = save(r).id;

    // The completed item is refused at once, or the commit that would write both fails: either
    // way nothing stays staged and the series is untouched.
    store.failNextWrite(ReminderStoreError(ReminderStoreError::Injected, u"item locked"_s));
    EXPECT_THROW(run(monitor.setReminderCompletion(id, true, std::nullopt, false)), ReminderStoreError);
    EXPECT_FALSE(store.hasUncommittedChanges());
    EXPECT_EQ(store.reminders().size(), 1u);
    store.failNextCommit();
    EXPECT_THROW(run(monitor.setReminderCompletion(id, true, std::nullopt, false)), ReminderStoreError);
    EXPECT_FALSE(store.hasUncommittedChanges());
    EXPECT_EQ(store.reminders().size(), 1u);

    // A later write commits only itself.
    Reminder other;
    other.title = u"Other"_s;
    save(other);
    const Reminder after = *store.reminder(id);
    EXPECT_FALSE(after.completed);
    EXPECT_EQ(after.recurrenceRules.size(), 1u);
    EXPECT_EQ(store.reminders().size(), 2u);

    EXPECT_THROW(run(monitor.deleteReminder(u"missing"_s, false)), SyncError);
    run(monitor.deleteReminder(id, false));
    EXPECT_EQ(store.reminder(id), std::nullopt);
}

// A write whose commit fails leaves nothing staged: the change the caller was told failed is
// never committed by a later, unrelated write.
TEST_F(Monitor, EveryWriteWhoseCommitFailsDropsWhatItStaged)
{
    Reminder open;
    open.title = u"Open"_s;
    open.dueDateComponents = at(2026, 3, 2, 9);
    const QString openId = save(open).id;
    Reminder done = open;
    done.title = u"Done"_s;
    done.completed = true;
    const QString doneId = save(done).id;
    const QString listId2 = store.saveList(ReminderList {{}, u"Spare"_s, u"local"_s}).id;

    ReminderUpsertMutationPayload renamed = upsertFrom(mapped(openId));
    renamed.title = u"Renamed"_s;
    ReminderUpsertMutationPayload created = renamed;
    created.local_id.reset();
    const struct {
        const char *name;
        std::function<void()> write;
    } rows[] = {
        {"update fields", [&] { run(monitor.updateReminderFields(renamed, false, false)); }},
        {"create reminder", [&] { run(monitor.updateReminderFields(created, false, false)); }},
        {"create list", [&] { run(monitor.createList(u"New"_s, false)); }},
        {"rename list", [&] { run(monitor.updateList(listId2, u"Renamed"_s, false)); }},
        {"delete list", [&] { run(monitor.deleteList(listId2, false)); }},
        {"complete", [&] { run(monitor.setReminderCompletion(openId, true, std::nullopt, false)); }},
        {"un-complete", [&] { run(monitor.setReminderCompletion(doneId, false, std::nullopt, false)); }},
        {"delete reminder", [&] { run(monitor.deleteReminder(openId, false)); }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const auto reminders = store.reminders();
        const auto lists = store.lists();
        store.failNextCommit();
        EXPECT_THROW(row.write(), ReminderStoreError);
        EXPECT_FALSE(store.hasUncommittedChanges());
        Reminder unrelated;
        unrelated.title = u"Unrelated"_s;
        const QString unrelatedId = save(unrelated).id;
        store.removeReminder(unrelatedId);
        EXPECT_EQ(store.reminders(), reminders);
        EXPECT_EQ(store.lists(), lists);
    }
}

// Inside a write group the writes land in one commit. A write that fails there drops everything
// the group staged, and the group's commit says so even when that write's error was caught.
TEST_F(Monitor, AWriteGroupCommitsOnceAndReportsAWriteItLost)
{
    Reminder kept;
    kept.title = u"Kept"_s;
    const QString keptId = save(kept).id;
    const auto created = [this](const QString &title) {
        ReminderUpsertMutationPayload upsert;
        upsert.title = title;
        upsert.list_id = listId;
        return upsert;
    };

    const int commits = store.counters().commits;
    {
        auto group = monitor.groupWrites();
        run(monitor.updateReminderFields(created(u"One"_s), false, false));
        run(monitor.updateReminderFields(created(u"Two"_s), false, false));
        run(monitor.deleteReminder(keptId, false));
        EXPECT_EQ(store.counters().commits, commits);
        group.commit();
    }
    EXPECT_EQ(store.counters().commits, commits + 1);
    const auto written = store.reminders();
    EXPECT_EQ(written.size(), 2u);

    {
        auto group = monitor.groupWrites();
        run(monitor.updateReminderFields(created(u"Lost"_s), false, false));
        store.failRemoval(1);
        EXPECT_THROW(run(monitor.deleteReminder(written.front().id, false)), ReminderStoreError);
        EXPECT_THROW(group.commit(), ReminderStoreError);
    }
    EXPECT_EQ(store.reminders(), written);
    EXPECT_FALSE(store.hasUncommittedChanges());
    run(monitor.updateReminderFields(created(u"Alone"_s), false, false));
    EXPECT_FALSE(store.hasUncommittedChanges()) << "outside a group every write commits by itself";
}

// A group held across waits: an outside change of the database in between dropped what it had
// staged, and its commit must say so rather than report the writes as made.
TEST_F(Monitor, AHeldWriteGroupNoticesThatAnOutsideChangeDroppedItsWrites)
{
    ReminderUpsertMutationPayload upsert;
    upsert.list_id = listId;
    auto group = monitor.groupWrites();
    upsert.title = u"Staged"_s;
    run(monitor.updateReminderFields(upsert, false, false));
    run(clock.yield());
    auto outside = InMemoryReminderStore::initialState();
    outside.lists = store.lists();
    Reminder theirs;
    theirs.id = u"theirs"_s;
    theirs.listId = listId;
    theirs.title = u"Written elsewhere"_s;
    outside.reminders.push_back(theirs);
    store.changeFromOutside(outside);
    upsert.title = u"After the change"_s;
    run(monitor.updateReminderFields(upsert, false, false));
    EXPECT_THROW(group.commit(), ReminderStoreError);
    ASSERT_EQ(store.reminders().size(), 1u);
    EXPECT_EQ(store.reminders().front().title, u"Written elsewhere"_s);

    upsert.title = u"Next stretch"_s;
    run(monitor.updateReminderFields(upsert, false, false));
    group.commit();
    EXPECT_EQ(store.reminders().size(), 2u) << "the group goes on after the failure it reported";
}

TEST_F(Monitor, ListsAreCreatedRenamedResolvedAndDeleted)
{
    EXPECT_THROW(run(monitor.createList(u"   "_s, false)), SyncError);
    const auto [id, name] = run(monitor.createList(u"  Groceries "_s, false));
    EXPECT_EQ(name, u"Groceries"_s);
    EXPECT_EQ(store.list(id)->sourceId, u"local"_s);
    EXPECT_EQ(monitor.localListID(u" "_s + id + u" "_s), id);
    EXPECT_EQ(monitor.localListID(u"nope"_s), std::nullopt);

    EXPECT_THROW(run(monitor.updateList(u"nope"_s, u""_s, false)), SyncError);
    EXPECT_THROW(run(monitor.updateList(u" "_s + id, u"New"_s, false)), SyncError);
    run(monitor.updateList(id, u" Food "_s, true));
    EXPECT_EQ(store.list(id)->title, u"Food"_s);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.back().listChanges.size(), 2u);

    EXPECT_EQ(monitor.resolveTargetCalendar(u"nope"_s, u"Food"_s)->id, id);
    EXPECT_EQ(monitor.resolveTargetCalendar(u""_s, u""_s), std::nullopt);
    EXPECT_THROW(monitor.resolveTargetCalendar(u"nope"_s, std::nullopt), SyncError);
    EXPECT_THROW(monitor.resolveTargetCalendar(std::nullopt, u"food"_s), SyncError);

    run(monitor.deleteList(id, false));
    EXPECT_EQ(store.list(id), std::nullopt);
    EXPECT_THROW(run(monitor.deleteList(id, false)), SyncError);

    // Without a default list a new list goes to the first local source, else to the first source,
    // and with no source at all nowhere.
    using Kind = ReminderSource::Kind;
    store.setSources({{u"icloud"_s, u"iCloud"_s, Kind::CalDAV}, {u"mac"_s, u"On My Mac"_s, Kind::Local}});
    ASSERT_EQ(store.defaultListForNewReminders(), std::nullopt);
    EXPECT_EQ(store.list(run(monitor.createList(u"Here"_s, false)).first)->sourceId, u"mac"_s);
    store.setSources({{u"work"_s, u"Work"_s, Kind::Exchange}, {u"icloud"_s, u"iCloud"_s, Kind::CalDAV}});
    EXPECT_EQ(store.list(run(monitor.createList(u"There"_s, false)).first)->sourceId, u"work"_s);
    // The default list's source comes first, whatever its kind.
    store.setSources({{u"icloud"_s, u"iCloud"_s, Kind::CalDAV}, {u"mac"_s, u"On My Mac"_s, Kind::Local}});
    const QString cloudList = store.saveList(ReminderList {{}, u"Cloud"_s, u"icloud"_s}).id;
    store.setDefaultListId(cloudList);
    EXPECT_EQ(store.list(run(monitor.createList(u"Beside"_s, false)).first)->sourceId, u"icloud"_s);
    store.setSources({});
    try {
        run(monitor.createList(u"Nowhere"_s, false));
        ADD_FAILURE() << "no error";
    } catch (const SyncError &e) {
        EXPECT_EQ(e.description(), u"No calendar source available"_s);
    }
    EXPECT_TRUE(store.lists().empty());
}
