#include "support/cloudserver/SyncModel.h"
#include "platform/concurrency/ManualClock.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/Phone.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

QStringList idsOf(const QJsonArray &array, const char *key = "local_id")
{
    QStringList ids;
    for (const QJsonValue &value : array) {
        ids << (value.isString() ? value.toString() : value.toObject().value(QLatin1StringView(key)).toString());
    }
    return ids;
}

class SyncServerTest : public ::testing::Test {
protected:
    ManualClock clock;
    CloudServer server {clock};
    SyncModel &model = syncModel(server);
    QString userId = server.createUser(u"+8613800000001"_s);
    QString macToken = server.createSession(userId, u"mqv"_s, u"mac-device-1"_s);

    CloudResponse call(const QString &method, const QString &target, const std::optional<QJsonObject> &body = {},
        const QString &token = {})
    {
        const QUrl url(u"http://cloud.test"_s + target);
        CloudRequest request;
        request.method = method;
        request.rawPath = url.path(QUrl::FullyEncoded);
        request.hasQuery = url.hasQuery();
        request.rawQuery = url.query(QUrl::FullyEncoded);
        for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
            request.queryItems.append({key, value});
        }
        request.headers.set("Authorization", ("Bearer " + (token.isNull() ? macToken : token)).toUtf8());
        if (body) {
            request.body = QJsonDocument(*body).toJson(QJsonDocument::Compact);
            request.hasBody = true;
        }
        return server.handle(request);
    }

    static QJsonObject parse(const CloudResponse &response) { return QJsonDocument::fromJson(response.body).object(); }

    QJsonObject ok(const QString &method, const QString &target, const std::optional<QJsonObject> &body = {})
    {
        const CloudResponse response = call(method, target, body);
        EXPECT_EQ(response.status, 200) << qPrintable(method + u' ' + target) << response.body.constData();
        return parse(response);
    }

    QJsonObject pull(const QString &cursor = {})
    {
        return ok(u"GET"_s, cursor.isEmpty() ? u"/sync"_s : u"/sync?cursor="_s + QUrl::toPercentEncoding(cursor));
    }

    QString upsert(QJsonObject body)
    {
        return ok(u"POST"_s, u"/reminders/upsert"_s, body).value("local_id"_L1).toString();
    }
};

TEST_F(SyncServerTest, CursorsDeltasAndEchoes)
{
    const QJsonObject empty = pull();
    EXPECT_TRUE(empty.value("full_snapshot"_L1).toBool());
    EXPECT_TRUE(empty.value("items"_L1).toArray().isEmpty());
    EXPECT_TRUE(empty.value("lists"_L1).toArray().isEmpty());
    EXPECT_EQ(empty.value("rebuild_generation"_L1).toInt(), 1);

    const QString listId
        = ok(u"POST"_s, u"/lists/create"_s, QJsonObject {{"list_name"_L1, u"Home"_s}}).value("list_id"_L1).toString();
    const QString milk = upsert(QJsonObject {
        {"title"_L1, u"Milk"_s}, {"list_id"_L1, listId}, {"source_item_id"_L1, u"EK-1"_s}, {"has_due_time"_L1, false}});
    const QJsonObject full = pull();
    EXPECT_TRUE(full.value("full_snapshot"_L1).toBool());
    EXPECT_EQ(idsOf(full.value("items"_L1).toArray()), QStringList {milk});
    EXPECT_EQ(idsOf(full.value("lists"_L1).toArray(), "list_id"), QStringList {listId});
    const QJsonObject stored = full.value("items"_L1).toArray().first().toObject();
    EXPECT_EQ(stored.value("list_name"_L1).toString(), u"Home"_s);
    EXPECT_EQ(stored.value("last_modified_by_client_kind"_L1).toString(), u"mqv"_s);
    EXPECT_EQ(stored.value("last_modified_by_device_id"_L1).toString(), u"mac-device-1"_s);
    EXPECT_EQ(stored.value("content_hash"_L1).toString().size(), 64);
    EXPECT_TRUE(stored.value("notes"_L1).isNull()) << "absent optional fields go out as null";

    const QString cursor = full.value("next_cursor"_L1).toString();
    const QJsonObject quiet = pull(cursor);
    EXPECT_FALSE(quiet.value("full_snapshot"_L1).toBool());
    EXPECT_TRUE(quiet.value("items"_L1).toArray().isEmpty());
    EXPECT_EQ(quiet.value("next_cursor"_L1).toString(), cursor);

    // A peer's edit and this client's own write both come back in the delta, each marked with
    // the device that made it.
    Phone phone(server, userId);
    const QString bread = phone.createReminder({.title = u"Bread"_s, .listId = listId});
    phone.setTitle(milk, u"Oat milk"_s);
    const QString own = upsert(QJsonObject {{"title"_L1, u"Eggs"_s}});
    const QJsonArray delta = pull(cursor).value("items"_L1).toArray();
    ASSERT_EQ(idsOf(delta), (QStringList {bread, milk, own}));
    EXPECT_EQ(delta[1].toObject().value("title"_L1).toString(), u"Oat milk"_s);
    EXPECT_EQ(delta[1].toObject().value("last_modified_by_client_kind"_L1).toString(), u"hqv"_s);
    EXPECT_EQ(delta[1].toObject().value("source_item_id"_L1).toString(), u"EK-1"_s)
        << "the phone leaves the source id out, and the server keeps the stored one";
    EXPECT_EQ(delta[2].toObject().value("last_modified_by_client_kind"_L1).toString(), u"mqv"_s);

    // Cursors the server cannot continue from give a full snapshot.
    for (const QString &unusable : {u"garbage"_s, u"g7-1"_s, u"g1-99999"_s}) {
        const QJsonObject answer = pull(unusable);
        EXPECT_TRUE(answer.value("full_snapshot"_L1).toBool()) << qPrintable(unusable);
        EXPECT_EQ(answer.value("items"_L1).toArray().size(), 3);
    }
}

TEST_F(SyncServerTest, UpsertReplacesTheRecordAndChecksTypes)
{
    const QString id = upsert(QJsonObject {{"title"_L1, u"Call"_s}, {"notes"_L1, u"after 5"_s}, {"priority"_L1, 5},
        {"source_item_id"_L1, u"EK-9"_s}, {"due_date"_L1, u"2026-01-06T09:00:00.000Z"_s}, {"has_due_time"_L1, true}});
    const QJsonObject update = ok(u"POST"_s, u"/reminders/upsert"_s,
        QJsonObject {{"local_id"_L1, id}, {"title"_L1, u"Call mum"_s}, {"notes"_L1, QJsonValue::Null},
            {"source_item_id"_L1, QJsonValue::Null}, {"client_last_modified"_L1, u"2026-01-05T08:00:00.000Z"_s}});
    EXPECT_EQ(update.value("local_id"_L1).toString(), id);
    EXPECT_EQ(update.value("request_local_id"_L1).toString(), id);
    const QJsonObject record = *model.item(userId, id);
    EXPECT_EQ(record.value("title"_L1).toString(), u"Call mum"_s);
    EXPECT_TRUE(record.value("notes"_L1).isNull());
    EXPECT_TRUE(record.value("priority"_L1).isNull()) << "a field left out of a replace is cleared";
    EXPECT_TRUE(record.value("due_date"_L1).isNull());
    EXPECT_FALSE(record.value("has_due_time"_L1).toBool());
    EXPECT_EQ(record.value("source_item_id"_L1).toString(), u"EK-9"_s);
    EXPECT_EQ(record.value("last_modified"_L1).toString(), u"2026-01-05T08:00:00.000Z"_s);
    EXPECT_EQ(model.liveItems(userId).size(), 1);

    model.setKeepSourceItemIdWhenOmitted(false);
    upsert(QJsonObject {{"local_id"_L1, id}, {"title"_L1, u"Call mum"_s}});
    EXPECT_TRUE(model.item(userId, id)->value("source_item_id"_L1).isNull());

    // An id the server never gave out creates a new record; a deleted one comes back.
    const QJsonObject unknown
        = ok(u"POST"_s, u"/reminders/upsert"_s, QJsonObject {{"local_id"_L1, u"nope"_s}, {"title"_L1, u"X"_s}});
    EXPECT_NE(unknown.value("local_id"_L1).toString(), u"nope"_s);
    EXPECT_EQ(unknown.value("request_local_id"_L1).toString(), u"nope"_s);
    ok(u"POST"_s, u"/reminders/delete"_s, QJsonObject {{"local_id"_L1, id}});
    EXPECT_EQ(upsert(QJsonObject {{"local_id"_L1, id}, {"title"_L1, u"Back"_s}}), id);
    EXPECT_FALSE(model.deletedItemIds(userId).contains(id));

    const QJsonObject malformed[] = {
        QJsonObject {{"notes"_L1, u"no title"_s}},
        QJsonObject {{"title"_L1, QJsonValue::Null}},
        QJsonObject {{"title"_L1, u"t"_s}, {"has_due_time"_L1, u"yes"_s}},
        QJsonObject {{"title"_L1, u"t"_s}, {"priority"_L1, 2.5}},
        QJsonObject {{"title"_L1, u"t"_s}, {"alarms"_L1, QJsonArray {QJsonObject {{"alarm_id"_L1, u"a"_s}}}}},
        QJsonObject {{"title"_L1, u"t"_s}, {"recurrence_rule"_L1, QJsonObject {{"interval"_L1, u"2"_s}}}},
    };
    const qsizetype before = model.liveItems(userId).size();
    for (const QJsonObject &body : malformed) {
        EXPECT_EQ(call(u"POST"_s, u"/reminders/upsert"_s, body).status, 400)
            << QJsonDocument(body).toJson(QJsonDocument::Compact).constData();
    }
    EXPECT_EQ(model.liveItems(userId).size(), before);
}

TEST_F(SyncServerTest, DeletesCompletionsAndTombstones)
{
    Phone phone(server, userId);
    const QString work = phone.createList(u"Work"_s);
    const QString report = phone.createReminder({.title = u"Report"_s, .listId = work});
    const QString slides = phone.createReminder({.title = u"Slides"_s, .listId = work});
    const QString loose = phone.createReminder({.title = u"Loose"_s});
    const QString cursor = pull().value("next_cursor"_L1).toString();

    // Completion: a change only when the state or date changes.
    ok(u"POST"_s, u"/reminders/complete"_s,
        QJsonObject {
            {"local_id"_L1, loose}, {"is_completed"_L1, true}, {"completion_date"_L1, u"2026-01-05T09:00:00.000Z"_s}});
    const QString afterComplete = pull(cursor).value("next_cursor"_L1).toString();
    EXPECT_NE(afterComplete, cursor);
    ok(u"POST"_s, u"/reminders/complete"_s,
        QJsonObject {
            {"local_id"_L1, loose}, {"is_completed"_L1, true}, {"completion_date"_L1, u"2026-01-05T09:00:00.000Z"_s}});
    EXPECT_EQ(model.currentCursor(userId), afterComplete);
    EXPECT_EQ(model.counts(userId), (SyncCounts {3, 1, 2}));
    ok(u"POST"_s, u"/reminders/complete"_s, QJsonObject {{"local_id"_L1, loose}, {"is_completed"_L1, false}});
    EXPECT_TRUE(model.item(userId, loose)->value("completion_date"_L1).isNull());

    // Deletes: a list takes its reminders with it; repeats and unknown ids are 404.
    ok(u"POST"_s, u"/reminders/delete"_s, QJsonObject {{"local_id"_L1, report}});
    ok(u"POST"_s, u"/lists/delete"_s, QJsonObject {{"list_id"_L1, work}});
    const struct {
        QString path;
        QJsonObject body;
    } missing[] = {
        {u"/reminders/delete"_s, QJsonObject {{"local_id"_L1, report}}},
        {u"/reminders/complete"_s, QJsonObject {{"local_id"_L1, slides}, {"is_completed"_L1, true}}},
        {u"/lists/delete"_s, QJsonObject {{"list_id"_L1, work}}},
        {u"/lists/update"_s, QJsonObject {{"list_id"_L1, work}, {"list_name"_L1, u"W"_s}}},
    };
    for (const auto &request : missing) {
        EXPECT_EQ(call(u"POST"_s, request.path, request.body).status, 404) << qPrintable(request.path);
    }
    const QJsonObject delta = pull(cursor);
    EXPECT_EQ(idsOf(delta.value("deleted_ids"_L1).toArray()), (QStringList {report, slides}));
    EXPECT_EQ(idsOf(delta.value("deleted_list_ids"_L1).toArray()), QStringList {work});
    EXPECT_EQ(idsOf(delta.value("items"_L1).toArray()), QStringList {loose});

    // A client that missed the deletes learns them from the full snapshot's tombstones, unless
    // the server is told not to list them.
    const QJsonObject full = pull();
    EXPECT_EQ(idsOf(full.value("deleted_ids"_L1).toArray()), (QStringList {report, slides}));
    EXPECT_EQ(idsOf(full.value("deleted_list_ids"_L1).toArray()), QStringList {work});
    model.setTombstonesInFullSnapshots(false);
    EXPECT_TRUE(pull().value("deleted_ids"_L1).toArray().isEmpty());
    EXPECT_TRUE(pull().value("deleted_list_ids"_L1).toArray().isEmpty());
}

TEST_F(SyncServerTest, ListsRenameAndRebuildGeneration)
{
    const QJsonObject created = ok(u"POST"_s, u"/lists/create"_s,
        QJsonObject {{"list_name"_L1, u"Errands"_s}, {"source"_L1, u"apple_reminders"_s},
            {"source_list_id"_L1, u"CAL-1"_s}, {"sort_order"_L1, 3}});
    const QString listId = created.value("list_id"_L1).toString();
    EXPECT_EQ(created.value("source_list_id"_L1).toString(), u"CAL-1"_s);
    const QString item
        = upsert(QJsonObject {{"title"_L1, u"Stamps"_s}, {"list_id"_L1, listId}, {"list_name"_L1, u"Errands"_s}});
    Phone phone(server, userId);
    phone.renameList(listId, u"Shopping"_s);
    EXPECT_EQ(model.list(userId, listId)->value("list_name"_L1).toString(), u"Shopping"_s);
    EXPECT_EQ(model.list(userId, listId)->value("source_list_id"_L1).toString(), u"CAL-1"_s);
    EXPECT_EQ(model.item(userId, item)->value("list_name"_L1).toString(), u"Shopping"_s);
    EXPECT_EQ(call(u"POST"_s, u"/lists/create"_s, QJsonObject {{"sort_order"_L1, 1}}).status, 400);

    const QString oldCursor = pull().value("next_cursor"_L1).toString();
    const QJsonObject reset = ok(u"POST"_s, u"/admin/reset"_s);
    EXPECT_EQ(reset.value("rebuild_generation"_L1).toInt(), 2);
    const QJsonObject after = pull(oldCursor);
    EXPECT_TRUE(after.value("full_snapshot"_L1).toBool()) << "an old generation's cursor cannot continue";
    EXPECT_TRUE(after.value("items"_L1).toArray().isEmpty());
    EXPECT_TRUE(after.value("lists"_L1).toArray().isEmpty());
    EXPECT_TRUE(after.value("deleted_ids"_L1).toArray().isEmpty());
    EXPECT_EQ(after.value("rebuild_generation"_L1).toInt(), 2);
    const QString fresh = upsert(QJsonObject {{"title"_L1, u"New era"_s}});
    EXPECT_EQ(idsOf(pull(after.value("next_cursor"_L1).toString()).value("items"_L1).toArray()), QStringList {fresh});
}

TEST_F(SyncServerTest, WaitHoldsUntilAChangeOrTheTimeOut)
{
    Phone phone(server, userId);
    const QString cursor = pull().value("next_cursor"_L1).toString();
    const QString waitPath = u"/sync/wait?cursor="_s + cursor + u"&timeout_ms=25000"_s;

    CloudResponse held = call(u"GET"_s, waitPath);
    ASSERT_TRUE(held.deferred);
    EXPECT_EQ(held.deferred->maxWait, 25000ms);
    EXPECT_FALSE(held.deferred->poll(false).has_value());
    const CloudResponse quiet = *held.deferred->poll(true);
    EXPECT_FALSE(parse(quiet).value("changed"_L1).toBool());
    EXPECT_EQ(parse(quiet).value("current_cursor"_L1).toString(), cursor);

    held = call(u"GET"_s, waitPath);
    ASSERT_TRUE(held.deferred);
    phone.createReminder({.title = u"Ping"_s});
    const std::optional<CloudResponse> woken = held.deferred->poll(false);
    ASSERT_TRUE(woken.has_value());
    EXPECT_TRUE(parse(*woken).value("changed"_L1).toBool());
    EXPECT_NE(parse(*woken).value("current_cursor"_L1).toString(), cursor);

    // Behind, or without a usable cursor: answered at once.
    EXPECT_FALSE(call(u"GET"_s, waitPath).deferred);
    EXPECT_TRUE(parse(call(u"GET"_s, u"/sync/wait?timeout_ms=25000"_s)).value("changed"_L1).toBool());

    const QString current = model.currentCursor(userId);
    const struct {
        QString query;
        std::chrono::milliseconds hold;
    } clamps[] = {{u"&timeout_ms=45000"_s, 30000ms}, {u""_s, 25000ms}, {u"&timeout_ms=abc"_s, 25000ms},
        {u"&timeout_ms=1000"_s, 1000ms}};
    for (const auto &clamp : clamps) {
        const CloudResponse response = call(u"GET"_s, u"/sync/wait?cursor="_s + current + clamp.query);
        ASSERT_TRUE(response.deferred) << qPrintable(clamp.query);
        EXPECT_EQ(response.deferred->maxWait, clamp.hold) << qPrintable(clamp.query);
    }
    EXPECT_FALSE(call(u"GET"_s, u"/sync/wait?cursor="_s + current + u"&timeout_ms=0"_s).deferred);
}

TEST_F(SyncServerTest, CountVerificationAndDiagnosticsRequests)
{
    Phone phone(server, userId);
    phone.createReminder({.title = u"One"_s});
    phone.createReminder({.title = u"Two"_s, .completed = true});
    const QString cursor = model.currentCursor(userId);
    const QString waitPath = u"/sync/wait?cursor="_s + cursor + u"&timeout_ms=25000"_s;

    CloudResponse pending = call(u"GET"_s, waitPath);
    ASSERT_TRUE(pending.deferred);
    const QString requestId = model.requestCountVerification(userId);
    const std::optional<CloudResponse> asked = pending.deferred->poll(false);
    ASSERT_TRUE(asked.has_value()) << "arming a request releases a held wait";
    const QJsonObject signal = parse(*asked).value("count_verification_request"_L1).toObject();
    EXPECT_EQ(signal.value("request_id"_L1).toString(), requestId);
    EXPECT_EQ(signal.value("server_cursor"_L1).toString(), cursor);
    EXPECT_FALSE(parse(*asked).value("changed"_L1).toBool());

    // Once the client reports the request as seen, waits hold again.
    EXPECT_TRUE(call(u"GET"_s, waitPath + u"&count_verification_request_id="_s + requestId).deferred);

    QString reportedId = requestId;
    const auto report = [&](qint64 total, qint64 completed) {
        return ok(u"POST"_s, u"/sync/count-verification"_s,
            QJsonObject {{"request_id"_L1, reportedId}, {"server_cursor"_L1, cursor}, {"total_count"_L1, total},
                {"completed_count"_L1, completed}, {"incomplete_count"_L1, total - completed}});
    };
    model.setCountVerificationStateOverride(u"pending"_s);
    EXPECT_EQ(report(2, 1).value("state"_L1).toString(), u"pending"_s);
    EXPECT_EQ(model.pendingCountVerificationId(userId), requestId) << "an unsettled answer keeps the request open";
    model.setCountVerificationStateOverride(std::nullopt);
    const QJsonObject mismatch = report(3, 1);
    EXPECT_EQ(mismatch.value("state"_L1).toString(), u"mismatched"_s);
    EXPECT_EQ(mismatch.value("server_counts"_L1).toObject().value("total_count"_L1).toInt(), 2);
    EXPECT_EQ(mismatch.value("mqv_report"_L1).toObject().value("device_id"_L1).toString(), u"mac-device-1"_s);
    EXPECT_FALSE(model.pendingCountVerificationId(userId).has_value());
    EXPECT_EQ(call(u"POST"_s, u"/sync/count-verification"_s, QJsonObject {{"request_id"_L1, requestId}}).status, 400);
    reportedId = model.requestCountVerification(userId);
    EXPECT_EQ(report(2, 1).value("state"_L1).toString(), u"matched"_s);
    EXPECT_FALSE(model.pendingCountVerificationId(userId).has_value());
    EXPECT_EQ(model.countReports(userId).size(), 3);

    // A diagnostics request goes out with exactly one wait answer.
    const QString diagnosticId = model.requestDiagnostics(userId);
    EXPECT_EQ(parse(call(u"GET"_s, waitPath)).value("diagnostic_request_id"_L1).toString(), diagnosticId);
    EXPECT_TRUE(call(u"GET"_s, waitPath).deferred);

    const QJsonObject receipt = ok(u"POST"_s, u"/diagnostics/reports"_s,
        QJsonObject {{"schema_version"_L1, 1}, {"client_kind"_L1, u"mqv"_s}, {"platform"_L1, u"macos"_s},
            {"generated_at"_L1, model.nowText()}, {"report"_L1, QJsonObject {{"logs"_L1, QJsonArray {}}}},
            {"parent_report_id"_L1, diagnosticId}});
    EXPECT_FALSE(receipt.value("report_id"_L1).toString().isEmpty());
    ASSERT_EQ(model.diagnosticReports(userId).size(), 1);
    EXPECT_EQ(model.diagnosticReports(userId).first().value("parent_report_id"_L1).toString(), diagnosticId);
    EXPECT_EQ(call(u"POST"_s, u"/diagnostics/reports"_s, QJsonObject {{"schema_version"_L1, 1}}).status, 400);
}

TEST_F(SyncServerTest, UnknownAndRevokedTokensAreRefused)
{
    EXPECT_EQ(call(u"GET"_s, u"/sync"_s, {}, u"qvk_unknown"_s).status, 401);
    EXPECT_EQ(call(u"POST"_s, u"/reminders/upsert"_s, QJsonObject {{"title"_L1, u"x"_s}}, u""_s).status, 401);
    server.revokeSession(server.sessionByToken(macToken)->sessionId);
    EXPECT_EQ(call(u"GET"_s, u"/sync/wait?timeout_ms=1000"_s).status, 401);
    EXPECT_TRUE(model.liveItems(userId).isEmpty());

    // Deleting the account drops its reminders with it.
    Phone phone(server, userId);
    phone.createReminder({.title = u"Gone with the account"_s});
    server.deleteUser(userId);
    EXPECT_TRUE(model.liveItems(userId).isEmpty());
}

TEST_F(SyncServerTest, PhoneCompletesRecurringRemindersInBothShapes)
{
    Phone phone(server, userId);
    const QDateTime due = QDateTime::fromString(u"2026-01-05T08:00:00.000Z"_s, Qt::ISODateWithMs);
    const QString water = phone.createReminder({.title = u"Water plants"_s, .due = due, .repeatType = u"daily"_s});
    upsert(QJsonObject {{"local_id"_L1, water}, {"title"_L1, u"Water plants"_s}, {"repeat_type"_L1, u"daily"_s},
        {"due_date"_L1, Phone::dateText(due)}, {"has_due_time"_L1, true}, {"source_item_id"_L1, u"EK-W"_s}});

    const QString copy = phone.completeRecurringAsPair(water, due.addDays(1));
    const QJsonObject series = *phone.reminder(water);
    EXPECT_FALSE(series.value("is_completed"_L1).toBool());
    EXPECT_EQ(series.value("due_date"_L1).toString(), Phone::dateText(due.addDays(1)));
    EXPECT_EQ(series.value("source_item_id"_L1).toString(), u"EK-W"_s);
    const QJsonObject done = *phone.reminder(copy);
    EXPECT_TRUE(done.value("is_completed"_L1).toBool());
    EXPECT_TRUE(done.value("repeat_type"_L1).isNull());
    EXPECT_TRUE(done.value("source_item_id"_L1).isNull());
    EXPECT_EQ(done.value("due_date"_L1).toString(), Phone::dateText(due));
    EXPECT_FALSE(done.value("completion_date"_L1).isNull());

    phone.completeRecurringAsCommand(water);
    const QJsonObject command = *phone.reminder(water);
    EXPECT_TRUE(command.value("is_completed"_L1).toBool());
    EXPECT_EQ(command.value("repeat_type"_L1).toString(), u"daily"_s);
    EXPECT_EQ(command.value("last_modified_by_device_id"_L1).toString(), u"hqv-device-1"_s);
    EXPECT_EQ(phone.findByTitle(u"Water plants"_s), QString()) << "two records carry the title now";
}

} // namespace
} // namespace quorvin::test
