#include "platform/reminderstore/eds/ICalendarMapping.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

QDateTime instant(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

// The text of a component with its long lines unfolded, so that properties can be looked for.
QByteArray ics(icalcomponent *component)
{
    char *text = icalcomponent_as_ical_string_r(component);
    QByteArray result(text);
    free(text);
    return result.replace("\r\n ", "");
}

ICalComponentPtr parse(const QByteArray &text)
{
    return ICalComponentPtr(icalparser_parse_string(text.constData()));
}

// Writes the reminder, sends the text through the parser as a database would keep it, and reads
// it back; a read-back must equal what was written and never look like a change.
Reminder roundTrip(const Reminder &reminder, QByteArray *text = nullptr)
{
    const auto written = ICalendarMapping::create(reminder);
    const auto stored = parse(ics(written.get()));
    if (text) {
        *text = ics(stored.get());
    }
    EXPECT_FALSE(ICalendarMapping::update(stored.get(), reminder)) << ics(stored.get()).constData();
    return ICalendarMapping::read(stored.get());
}

Reminder base()
{
    Reminder reminder;
    reminder.id = u"4D1C0A2E-1111-4222-8333-944455556666"_s;
    reminder.externalId = reminder.id;
    reminder.title = u"交房租, then; call \\ home"_s;
    reminder.creationDate = instant(u"2026-03-01T08:00:00.123Z"_s);
    reminder.lastModifiedDate = instant(u"2026-03-01T08:05:00Z"_s);
    return reminder;
}

DateComponents date(int y, int m, int d, std::optional<QString> zone = std::nullopt)
{
    DateComponents c;
    c.era = 1;
    c.year = y;
    c.month = m;
    c.day = d;
    c.timeZone = std::move(zone);
    return c;
}

DateComponents timed(int y, int m, int d, int h, int min, std::optional<int> s, std::optional<QString> zone)
{
    auto c = date(y, m, d, std::move(zone));
    c.hour = h;
    c.minute = min;
    c.second = s;
    return c;
}

} // namespace

TEST(ICalendarMapping, EveryDateFormRoundTripsAndOtherAppsSeeTheStandardValue)
{
    struct Case {
        const char *name;
        std::optional<DateComponents> due;
        const char *standardLine;
    } cases[] = {
        {"date only, as the bridge writes it", date(2026, 3, 5, u"Asia/Shanghai"_s), "DUE;VALUE=DATE;X-QUORVIN-EXACT="},
        {"date only, plain", date(2026, 3, 5), "DUE;VALUE=DATE:20260305\r\n"},
        {"floating", timed(2026, 3, 5, 9, 30, 0, std::nullopt), "DUE:20260305T093000\r\n"},
        {"zoned", timed(2026, 3, 5, 9, 30, 15, u"Asia/Shanghai"_s), "DUE;TZID=Asia/Shanghai:20260305T093015\r\n"},
        {"UTC", timed(2026, 3, 5, 1, 0, 0, u"UTC"_s), "DUE:20260305T010000Z\r\n"},
        {"no second", timed(2026, 12, 31, 23, 59, std::nullopt, u"Europe/Berlin"_s),
            "DUE;TZID=Europe/Berlin;X-QUORVIN"},
        {"zone the library does not know", timed(2026, 3, 5, 9, 0, 0, u"Mars/Olympus"_s), "DUE;X-QUORVIN-EXACT="},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto reminder = base();
        reminder.dueDateComponents = c.due;
        reminder.startDateComponents = timed(2026, 3, 5, 8, 0, 0, u"Asia/Shanghai"_s);
        QByteArray text;
        EXPECT_EQ(roundTrip(reminder, &text), reminder);
        EXPECT_TRUE(text.contains(c.standardLine)) << text.constData();
    }

    // Instants keep their milliseconds; the standard properties show whole seconds.
    auto reminder = base();
    reminder.completed = true;
    reminder.completionDate = instant(u"2026-03-02T10:30:00.456Z"_s);
    reminder.notes = u"line one\nline two, with; marks"_s;
    reminder.url = u"https://例子.example/path?q=a%20b&x=Y"_s;
    reminder.priority = 1;
    reminder.externalId = u"ext-42"_s;
    reminder.timeZone = u"Asia/Shanghai"_s;
    QByteArray text;
    EXPECT_EQ(roundTrip(reminder, &text), reminder);
    EXPECT_TRUE(text.contains("COMPLETED;X-QUORVIN-EXACT=")) << text.constData();
    EXPECT_TRUE(text.contains(":20260302T103000Z\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("STATUS:COMPLETED\r\n"));
    EXPECT_TRUE(text.contains("PRIORITY:1\r\n"));

    // A date the calendar cannot name is refused.
    reminder.dueDateComponents = DateComponents {{}, {}, 3, 5, {}, {}, {}, {}};
    EXPECT_TRUE(ICalendarMapping::unstorableReason(reminder));
}

TEST(ICalendarMapping, EveryRecurrencePartAndAlarmKindRoundTrips)
{
    auto reminder = base();
    reminder.dueDateComponents = timed(2026, 3, 5, 9, 0, 0, u"Asia/Shanghai"_s);

    RecurrenceRule weekly;
    weekly.frequency = RecurrenceRule::Frequency::Weekly;
    weekly.interval = 2;
    // Out of the library's day order, with a week start it would leave out.
    weekly.daysOfTheWeek = std::vector<RecurrenceDayOfWeek> {{6, 0}, {2, 0}};
    weekly.firstDayOfTheWeek = 2;
    weekly.end = RecurrenceEnd::byDate(instant(u"2026-12-31T15:59:59.250Z"_s));
    RecurrenceRule monthly;
    monthly.frequency = RecurrenceRule::Frequency::Monthly;
    monthly.daysOfTheWeek = std::vector<RecurrenceDayOfWeek> {{3, 2}, {6, -1}};
    monthly.daysOfTheMonth = std::vector {1, -1};
    monthly.setPositions = std::vector {-1};
    monthly.firstDayOfTheWeek = 1;
    monthly.end = RecurrenceEnd::byCount(5);
    RecurrenceRule yearly;
    yearly.frequency = RecurrenceRule::Frequency::Yearly;
    yearly.monthsOfTheYear = std::vector {3, 1};
    yearly.weeksOfTheYear = std::vector {10, -1};
    yearly.daysOfTheYear = std::vector {100, -1};
    yearly.daysOfTheMonth = std::vector<int> {};
    RecurrenceRule daily;

    ReminderAlarm enter;
    enter.structuredLocation
        = StructuredLocation {u"办公室"_s, StructuredLocation::Coordinate {31.2304, 121.4737}, 150};
    enter.proximity = ReminderAlarm::Proximity::Enter;
    enter.relativeOffset = -60;
    ReminderAlarm leave;
    leave.structuredLocation = StructuredLocation {{}, {}, 0};
    leave.proximity = ReminderAlarm::Proximity::Leave;

    for (const auto &rule : {weekly, monthly, yearly, daily}) {
        reminder.recurrenceRules = {rule};
        reminder.alarms = std::vector {ReminderAlarm::atOffset(-900)};
        QByteArray text;
        EXPECT_EQ(roundTrip(reminder, &text), reminder) << text.constData();
        EXPECT_TRUE(text.contains("RRULE")) << text.constData();
    }

    // Every kind of alarm, location ones between the others; a second rule rides along.
    reminder.recurrenceRules = {weekly, monthly};
    reminder.alarms = std::vector {ReminderAlarm::atDate(instant(u"2026-03-05T00:59:00.400Z"_s)), enter,
        ReminderAlarm::atOffset(-90.5), leave, ReminderAlarm::atOffset(-900)};
    QByteArray text;
    EXPECT_EQ(roundTrip(reminder, &text), reminder) << text.constData();
    EXPECT_EQ(text.count("BEGIN:VALARM"), 3) << "location alarms never become VALARMs";
    EXPECT_TRUE(text.contains("TRIGGER;RELATED=END:-PT15M\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("TRIGGER;VALUE=DATE-TIME")) << text.constData();
    EXPECT_EQ(text.count("\r\nRRULE"), 1) << text.constData();
    EXPECT_TRUE(text.contains("RRULE;X-QUORVIN-EXACT=")) << text.constData();
    EXPECT_TRUE(text.contains("FREQ=WEEKLY;UNTIL=20261231T155959Z;INTERVAL=2;BYDAY=MO,FR")) << text.constData();

    // No alarms and an empty alarm list stay apart.
    reminder.alarms = std::vector<ReminderAlarm> {};
    EXPECT_EQ(roundTrip(reminder), reminder);
    reminder.alarms.reset();
    EXPECT_EQ(roundTrip(reminder), reminder);
}

TEST(ICalendarMapping, TasksOfOtherAppsAreReadAsTheyMeantAndKeepWhatWeDoNotKnow)
{
    const QByteArray foreign = "BEGIN:VTODO\r\n"
                               "UID:other-app-1\r\n"
                               "SUMMARY:Water the plants\r\n"
                               "STATUS:COMPLETED\r\n"
                               "DUE:20260305T010000Z\r\n"
                               "DTSTART;VALUE=DATE:20260304\r\n"
                               "PRIORITY:5\r\n"
                               "RRULE:FREQ=WEEKLY;WKST=MO;BYDAY=TU\r\n"
                               "CATEGORIES:Home\r\n"
                               "X-OTHER-APP-COLOR:#ff0000\r\n"
                               "BEGIN:VALARM\r\n"
                               "ACTION:AUDIO\r\n"
                               "TRIGGER:-PT10M\r\n"
                               "X-OTHER-APP-SOUND:bell\r\n"
                               "END:VALARM\r\n"
                               "END:VTODO\r\n";
    const auto todo = parse(foreign);
    const auto read = ICalendarMapping::read(todo.get());
    EXPECT_EQ(read.id, u"other-app-1"_s);
    EXPECT_EQ(read.externalId, u"other-app-1"_s);
    EXPECT_TRUE(read.completed);
    EXPECT_FALSE(read.completionDate);
    EXPECT_EQ(read.dueDateComponents, timed(2026, 3, 5, 1, 0, 0, u"UTC"_s));
    EXPECT_EQ(read.startDateComponents, date(2026, 3, 4));
    EXPECT_EQ(read.priority, 5);
    ASSERT_EQ(read.recurrenceRules.size(), 1u);
    EXPECT_EQ(read.recurrenceRules[0].daysOfTheWeek, (std::vector<RecurrenceDayOfWeek> {{3, 0}}));
    EXPECT_EQ(read.recurrenceRules[0].firstDayOfTheWeek, 0);
    EXPECT_EQ(read.alarms, std::vector {ReminderAlarm::atOffset(-600)});

    // Patch one field: everything else, ours or not, stays exactly as it was.
    auto renamed = read;
    renamed.title = u"Water the plants twice"_s;
    EXPECT_TRUE(ICalendarMapping::update(todo.get(), renamed));
    const auto text = ics(todo.get());
    EXPECT_TRUE(text.contains("SUMMARY:Water the plants twice\r\n"));
    for (const char *kept : {"STATUS:COMPLETED\r\n", "DUE:20260305T010000Z\r\n", "CATEGORIES:Home\r\n",
             "X-OTHER-APP-COLOR:#ff0000\r\n", "X-OTHER-APP-SOUND:bell\r\n", "ACTION:AUDIO\r\n"}) {
        EXPECT_TRUE(text.contains(kept)) << kept << "\n" << text.constData();
    }
    EXPECT_FALSE(text.contains("COMPLETED:")) << "no completion date is made up";
    EXPECT_EQ(ICalendarMapping::read(todo.get()), renamed);

    // Another app edits a value we keep exactly: its standard value wins, and no stale exact
    // value comes back.
    auto ours = base();
    ours.dueDateComponents = date(2026, 3, 5, u"Asia/Shanghai"_s);
    ours.completed = true;
    ours.completionDate = instant(u"2026-03-02T10:30:00.456Z"_s);
    auto edited = ics(ICalendarMapping::create(ours).get());
    edited.replace(":20260305\r\n", ":20260306\r\n");
    edited.replace(":20260302T103000Z", ":20260302T113000Z");
    const auto afterEdit = ICalendarMapping::read(parse(edited).get());
    EXPECT_EQ(afterEdit.dueDateComponents, date(2026, 3, 6));
    EXPECT_EQ(afterEdit.completionDate, instant(u"2026-03-02T11:30:00Z"_s));
}
