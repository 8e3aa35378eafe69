#include "activity/CompletedReminderCleanupSelection.h"
#include "reminders/GregorianCalendar.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::CompletedReminderCleanupSelection;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime may1 = QDateTime::fromString(u"2024-05-01T10:00:00.000Z"_s, Qt::ISODateWithMs);

Reminder stored(const QString &id, const QString &listID, const QString &title, std::optional<int> completedDay,
    bool withDue = true)
{
    Reminder r;
    r.id = id;
    r.listId = listID;
    r.title = title;
    if (withDue) {
        DateComponents due;
        due.year = 2024;
        due.month = 5;
        due.day = 1;
        r.dueDateComponents = due;
    }
    if (completedDay) {
        r.completed = true;
        r.completionDate = may1.addDays(*completedDay);
    }
    return r;
}

ReminderPayload cloudItem(const QString &serverID, const QString &list, const QString &title,
    std::optional<int> completedDay, std::optional<QString> sourceID = std::nullopt)
{
    ReminderPayload p;
    p.local_id = serverID;
    p.source_item_id = std::move(sourceID);
    p.list_name = list;
    p.title = title;
    p.due_date = u"2024-05-01T00:00:00Z"_s;
    if (completedDay) {
        p.is_completed = true;
        p.completion_date = ReminderPayload::isoString(may1.addDays(*completedDay));
    }
    return p;
}

QStringList ids(const QList<CompletedReminderCleanupCandidate> &candidates)
{
    QStringList result;
    for (const auto &c : candidates) {
        result.append(c.localID);
    }
    return result;
}

} // namespace

// The cloud's completed items account for local completed reminders by identity first, then by
// count per content signature. Whatever any cloud item names, open or completed, is never offered
// for deletion: a completion not yet uploaded must not become a delete on every device.
TEST(CompletedCleanupSelection, KeepsWhatTheCloudAccountsForAndOffersTheRest)
{
    const std::vector<ReminderList> lists {
        {u"L-home"_s, u"Home"_s, u"S"_s}, {u"L-work"_s, u"Work"_s, u"S"_s}, {u"L-none"_s, u""_s, u"S"_s}};
    const std::vector<Reminder> local {
        stored(u"A"_s, u"L-home"_s, u"牛奶"_s, 0), // mapped from a completed cloud item
        stored(u"B"_s, u"L-home"_s, u"旧标题"_s, 1), // named by source id, other content
        stored(u"B2"_s, u"L-home"_s, u"面包"_s, 1), // the content B's cloud item holds
        stored(u"C1"_s, u"L-work"_s, u"鸡蛋"_s, 2, false), // two copies, one cloud item without id
        stored(u"C2"_s, u"L-work"_s, u"鸡蛋"_s, 2, false),
        stored(u"D"_s, u"L-home"_s, u"药"_s, 3), // its cloud item is still open
        stored(u"G"_s, u"L-home"_s, u"药"_s, 3), // same content, one cloud item without id
        stored(u"E"_s, u"L-home"_s, u"纸巾"_s, 3), // named by an open cloud item's source id
        stored(u"H"_s, u"L-home"_s, u"开着的"_s, std::nullopt),
        stored(u"J"_s, u"L-work"_s, u"旧"_s, 4), // reached only through the mapping
        stored(u"Z"_s, u"L-work"_s, u"新"_s, 4), // J's cloud content; J's source id names no local one
        stored(u"I"_s, u"L-none"_s, u"杂项"_s, 4),
    };
    const QList<ReminderPayload> cloud {
        cloudItem(u"s-A"_s, u"Home"_s, u"牛奶"_s, 0),
        cloudItem(u"s-B"_s, u"Home"_s, u"面包"_s, 1, u" B "_s),
        cloudItem(u"s-C"_s, u" work"_s, u"鸡蛋\r\n"_s, 2),
        cloudItem(u"s-D"_s, u"Home"_s, u"药"_s, std::nullopt),
        cloudItem(u"s-G"_s, u"Home"_s, u"药"_s, 3),
        cloudItem(u"s-E"_s, u"Home"_s, u"纸巾"_s, std::nullopt, u"E"_s),
        cloudItem(u"s-J"_s, u"Work"_s, u"新"_s, 4, u"phone-7"_s),
        cloudItem(u"s-X"_s, u"Home"_s, u"开着的"_s, 5),
    };
    auto cloudC = cloud;
    cloudC[2].due_date.reset();
    const QHash<QString, QString> mapping {{u"s-A"_s, u" A"_s}, {u"s-D"_s, u"D"_s}, {u"s-J"_s, u"J"_s}};

    const auto records = LocalCompletedRecord::fromReminders(local, lists, GregorianCalendar(QTimeZone::utc()));
    ASSERT_EQ(records.size(), 11);
    const auto plan = completedReminderCleanupPlan(cloudC, mapping, records);

    EXPECT_EQ(ids(plan.candidates), (QStringList {u"I"_s, u"B2"_s, u"C2"_s}));
    EXPECT_EQ(plan.remoteCompletedCount, 6);
    EXPECT_EQ(plan.preservedLocalIDCount, 3);
    EXPECT_EQ(plan.remoteWithoutSourceOrMappingCount, 3);
    EXPECT_EQ(completedReminderCleanupSummary(plan),
        u"完成项清理预检：云端完成 6，保留本机 ID 3，候选删除 3；<无列表>=1，Home=1，Work=1；注意：3 条云端完成项缺少 source/mapping"_s);
    EXPECT_EQ(completedReminderCleanupDetailLines(plan).value(0),
        u"Completed cleanup candidate list=<无列表> title=杂项 due=2024-05-01T00:00:00.000Z "
        "completed=2024-05-05T10:00:00.000Z local_id=I"_s);
    EXPECT_EQ(completedReminderCleanupDetailLines(plan).value(2),
        u"Completed cleanup candidate list=Work title=鸡蛋 due=- completed=2024-05-03T10:00:00.000Z local_id=C2"_s);

    const auto none = completedReminderCleanupPlan({cloud[3]}, {}, {});
    EXPECT_EQ(completedReminderCleanupSummary(none), u"完成项清理预检：云端完成 0，保留本机 ID 0，候选删除 0"_s);
}

TEST(CompletedCleanupSelection, SignaturesIgnoreCaseSpaceLineEndsAndFractions)
{
    const auto sig = [](const QString &list, const QString &title, std::optional<QString> dueDate) {
        return CompletedReminderCleanupCandidate::signatureOf(list, title, dueDate, u"2024-05-01T10:00:00Z"_s);
    };
    const auto base = sig(u"Home"_s, u"a\nb"_s, u"2024-05-01T08:00:00.000Z"_s);
    EXPECT_EQ(sig(u" home "_s, u"A\r\nB"_s, u"2024-05-01T08:00:00Z"_s), base);
    EXPECT_EQ(base, u"home\u001fa\nb\u001f2024-05-01T08:00:00.000Z\u001f2024-05-01T10:00:00.000Z"_s);
    EXPECT_EQ(sig(u"Home"_s, u"a\nb"_s, u" tomorrow "_s), sig(u"Home"_s, u"a\nb"_s, u"tomorrow"_s));
    EXPECT_NE(sig(u"Home"_s, u"a\nb"_s, u"Tomorrow"_s), sig(u"Home"_s, u"a\nb"_s, u"tomorrow"_s));
    EXPECT_NE(sig(u"Home"_s, u"a\nb"_s, std::nullopt), base);
}

TEST(CompletedCleanupSelection, OrdersByListNewestCompletionTitleAndID)
{
    const auto record = [](const QString &id, const QString &list, const QString &title, std::optional<QString> done) {
        return LocalCompletedRecord {id, list, title, std::nullopt, done,
            CompletedReminderCleanupCandidate::signatureOf(list, title, std::nullopt, done)};
    };
    QList<LocalCompletedRecord> records {record(u"r1"_s, u"a"_s, u"x"_s, u"2024-05-02T00:00:00.000Z"_s),
        record(u"r2"_s, u"B"_s, u"x"_s, u"2024-05-01T00:00:00.000Z"_s), record(u"r3"_s, u""_s, u"y"_s, std::nullopt),
        record(u"r4"_s, u"a"_s, u"x"_s, u"2024-05-03T00:00:00.000Z"_s),
        record(u"r6"_s, u"a"_s, u"W"_s, u"2024-05-03T00:00:00.000Z"_s),
        record(u"r5"_s, u"a"_s, u"W"_s, u"2024-05-03T00:00:00.000Z"_s)};
    for (int i = 0; i < 14; ++i) {
        records.append(record(u"z%1"_s.arg(i, 2, 10, QChar(u'0')), u"zz"_s, u"t"_s, std::nullopt));
    }
    const auto candidates = completedCleanupCandidates(records, {}, {}, {}, {});
    EXPECT_EQ(ids(candidates).first(7), (QStringList {u"r3"_s, u"r5"_s, u"r6"_s, u"r4"_s, u"r1"_s, u"r2"_s, u"z00"_s}));
    EXPECT_EQ(completedReminderCleanupByListText(candidates), u"<无列表>=1，B=1，a=4，zz=14"_s);
    const CompletedReminderCleanupPlan plan {candidates, 0, 0, 0};
    const auto lines = completedReminderCleanupDetailLines(plan);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_TRUE(lines[11].endsWith(u"local_id=z05"_s));

    // A preserved id consumes one count of the signature recorded for it; one not present locally
    // consumes nothing.
    const QHash<QString, int> counts {{records[0].signature, 1}, {records[1].signature, 1}};
    const auto kept = completedCleanupCandidates(
        records.first(2), {u"r1"_s, u"gone"_s}, {{u"gone"_s, records[1].signature}}, counts, {});
    EXPECT_TRUE(kept.isEmpty());
}
