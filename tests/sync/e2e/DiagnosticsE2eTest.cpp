#include "SyncE2eHarness.h"
#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "activity/Strings.h"
#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudSyncState.h"
#include "sync/DiagnosticsUpload.h"
#include "sync/Strings.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

QStringList keysOf(const QJsonObject &object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The service asks through the long-poll; the report goes up once per request, tied to it, with
// exactly the keys of its form, and without the session token anywhere in it, not even where a
// log line or a reminder's notes carried it.
TEST(DiagnosticsE2e, ReportAskedForThroughTheLongPollIsUploadedOnceWithoutTheToken)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Milk"_s});
    h.localReminder({.title = u"Pasted"_s, .notes = u"token "_s + h.macToken});
    h.launch();
    ASSERT_TRUE(h.settle());
    h.service->diagnosticLog().appendLog(u"request failed: Authorization: Bearer "_s + h.macToken);

    const QString requestID = h.model.requestDiagnostics(h.userId);
    ASSERT_TRUE(h.clock.runUntil(
        [&] {
            return !h.model.diagnosticReports(h.userId).isEmpty()
                && !h.service->diagnosticsUpload().isDiagnosticUploading();
        },
        5min));
    h.clock.advance(3min);
    const auto uploads = h.server.journalFor(u"/diagnostics/reports"_s);
    ASSERT_EQ(uploads.size(), 1) << "one report per request";

    EXPECT_FALSE(uploads.first().request.body.contains(h.macToken.toUtf8()));
    EXPECT_TRUE(uploads.first().request.body.contains(SyncText::diagnosticRedacted.toUtf8()));

    const QJsonObject body = h.model.diagnosticReports(h.userId).first();
    EXPECT_EQ(body.value("schema_version"_L1).toInt(), 1);
    EXPECT_EQ(body.value("client_kind"_L1).toString(), u"mqv"_s);
    EXPECT_EQ(body.value("platform"_L1).toString(), u"macos"_s);
    EXPECT_TRUE(body.value("app_version"_L1).isString());
    EXPECT_FALSE(h.service->account().cloudSessionDeviceID().isEmpty());
    EXPECT_EQ(body.value("device_id"_L1).toString(), h.service->account().cloudSessionDeviceID());
    EXPECT_EQ(body.value("parent_report_id"_L1).toString(), requestID);

    const QJsonObject report = body.value("report"_L1).toObject();
    EXPECT_EQ(keysOf(report),
        sorted(
            {u"generated_at"_s, u"app_version"_s, u"reminder_count"_s, u"local_cursor"_s, u"last_sync_attempt_status"_s,
                u"last_sync_attempt_at"_s, u"last_sync_success_at"_s, u"cloud_state"_s, u"local_sync_snapshot"_s,
                u"eventkit_snapshot"_s, u"eventkit_snapshot_error"_s, u"server_to_local_reminder_ids"_s,
                u"server_to_local_list_ids"_s, u"recent_logs"_s, u"recent_activity_logs"_s}));
    EXPECT_EQ(report.value("generated_at"_L1), body.value("generated_at"_L1));
    EXPECT_EQ(report.value("reminder_count"_L1).toInt(), 2);
    EXPECT_EQ(report.value("eventkit_snapshot_error"_L1).toString(), QString());
    EXPECT_EQ(report.value("eventkit_snapshot"_L1).toObject().value("reminders"_L1).toArray().size(), 2);
    EXPECT_TRUE(report.value("local_sync_snapshot"_L1).toObject().value("full_snapshot"_L1).toBool());
    EXPECT_EQ(report.value("server_to_local_reminder_ids"_L1).toObject().size(),
        h.service->syncState().reminderMappingIndex().recordCount());
    EXPECT_EQ(report.value("recent_logs"_L1).toArray().size(), 10);
    for (const auto &entry : report.value("recent_activity_logs"_L1).toArray()) {
        EXPECT_EQ(keysOf(entry.toObject()), sorted({u"created_at"_s, u"category"_s, u"summary"_s, u"details"_s}));
    }
    const QJsonObject cloud = report.value("cloud_state"_L1).toObject();
    EXPECT_EQ(keysOf(cloud),
        sorted({u"base_url"_s, u"user_id"_s, u"session_id"_s, u"session_device_id"_s, u"session_client_kind"_s,
            u"pull_cursor"_s, u"push_cursor"_s, u"auth_token_configured"_s}));
    EXPECT_EQ(cloud.value("base_url"_L1).toString(), h.service->normalizedCloudBaseURL());
    EXPECT_EQ(cloud.value("pull_cursor"_L1).toString(), h.service->syncState().cloudPullCursor());
    EXPECT_TRUE(cloud.value("auth_token_configured"_L1).toBool());

    const QString reportID = body.value("report_id"_L1).toString();
    const auto &newest = h.service->activityLog().activityLogs().first();
    EXPECT_EQ(newest.category, ActivityText::categoryUser);
    EXPECT_EQ(newest.summary, SyncText::activityDiagnosticUploaded + u' ' + reportID);
    EXPECT_EQ(newest.details, QStringList {SyncText::activityDiagnosticUploadedDetail});
    EXPECT_TRUE(h.logged(SyncText::logDiagnosticUploadedPrefix + reportID + SyncText::logDiagnosticUploadedCursor))
        << h.traceOf(u"Diagnostic"_s).toStdString();
}

// A failed upload says so in the status line and in the activity log; a second start while one
// runs does nothing; a report gathered for an account that signed out meanwhile goes nowhere.
TEST(DiagnosticsE2e, FailureBusyFlagAndSignOutWhileGathering)
{
    SyncE2eHarness h;
    // Enough reminders that reading them lets other work run in between.
    for (int i = 0; i < 13; ++i) {
        h.localReminder({.title = u"Task %1"_s.arg(i)});
    }
    h.launch();
    ASSERT_TRUE(h.settle());

    h.server.addFault(
        u"POST"_s, u"/diagnostics/reports"_s, CloudFault::answer(500, R"({"error":"report store unavailable"})"));
    h.service->diagnosticsUpload().uploadDiagnosticsReport();
    EXPECT_TRUE(h.service->diagnosticsUpload().isDiagnosticUploading());
    h.service->diagnosticsUpload().uploadDiagnosticsReport(u"ignored"_s);
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->diagnosticsUpload().isDiagnosticUploading(); }, 5min));
    EXPECT_EQ(h.server.journalFor(u"/diagnostics/reports"_s).size(), 1);
    EXPECT_EQ(
        h.lastStatus(), SyncText::statusFailurePrefix + SyncText::diagnosticUploadFailed + SyncText::statusSuffix);
    const auto &failed = h.service->activityLog().activityLogs().first();
    EXPECT_EQ(failed.category, ActivityText::categorySync);
    EXPECT_EQ(failed.summary, SyncText::activityDiagnosticFailed);
    ASSERT_EQ(failed.details.size(), 1);
    EXPECT_TRUE(h.logged(SyncText::logDiagnosticFailedPrefix + failed.details.first()));

    const auto entries = h.service->activityLog().activityLogs().size();
    QMetaObject::invokeMethod(
        h.service.get(), [&] { h.service->account().applyCloudAuthToken({}, u"test sign-out"_s); },
        Qt::QueuedConnection);
    h.service->diagnosticsUpload().uploadDiagnosticsReport();
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->diagnosticsUpload().isDiagnosticUploading(); }, 5min));
    EXPECT_TRUE(h.service->account().cloudAuthToken().isEmpty()) << "signed out while the report was gathered";
    EXPECT_EQ(h.server.journalFor(u"/diagnostics/reports"_s).size(), 1);
    EXPECT_EQ(h.service->activityLog().activityLogs().size(), entries);

    h.service->diagnosticsUpload().uploadDiagnosticsReport();
    EXPECT_FALSE(h.service->diagnosticsUpload().isDiagnosticUploading());
    EXPECT_TRUE(h.logged(SyncText::logDiagnosticNoToken));
    EXPECT_EQ(h.lastStatus(), SyncText::statusFailurePrefix + SyncText::missingToken + SyncText::statusSuffix);
}

// The report is built away from the main thread. Another account signing in meanwhile gets
// nothing of it, and the one it described is not sent it either.
TEST(DiagnosticsE2e, AReportBuiltWhileTheAccountChangesGoesNowhere)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Milk"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    h.clock.holdOffMainThreadWork();
    h.service->diagnosticsUpload().uploadDiagnosticsReport();
    ASSERT_TRUE(h.clock.runUntil([&] { return h.clock.heldOffMainThreadWork() == 1; }, 1min));
    const QString otherToken = h.server.createSession(h.server.createUser(u"+8613900001111"_s), u"mqv"_s);
    h.service->account().applyCloudAuthToken(otherToken, u"test account switch"_s);
    h.clock.releaseOffMainThreadWork();
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->diagnosticsUpload().isDiagnosticUploading(); }, 1min));
    EXPECT_TRUE(h.server.journalFor(u"/diagnostics/reports"_s).isEmpty());
}

// Before start-up there is no reminder monitor and no sync attempt: the report says so, and
// leaves the keys of what it does not have out instead of writing them as null.
TEST(DiagnosticsE2e, ReportBeforeStartUpLeavesOutWhatItDoesNotHave)
{
    SyncE2eHarness h;
    FileUserDefaults defaults(h.dir.filePath(u"defaults.json"_s), h.clock);
    QuorvinMacService service(defaults, h.inProcessHttp, h.clock, h.store);
    service.diagnosticsUpload().uploadDiagnosticsReport();
    ASSERT_TRUE(h.clock.runUntil([&] { return !service.diagnosticsUpload().isDiagnosticUploading(); }, 1min));

    ASSERT_EQ(h.model.diagnosticReports(h.userId).size(), 1);
    const QJsonObject report = h.model.diagnosticReports(h.userId).first().value("report"_L1).toObject();
    for (const auto key : {"last_sync_attempt_at"_L1, "last_sync_success_at"_L1, "eventkit_snapshot"_L1}) {
        EXPECT_FALSE(report.contains(key)) << key.data();
    }
    EXPECT_EQ(report.value("eventkit_snapshot_error"_L1).toString(), SyncText::diagnosticMonitorUnavailable);
    EXPECT_EQ(report.value("cloud_state"_L1).toObject().size(), 8);
}

} // namespace
} // namespace quorvin::test
