#include "sync/DiagnosticsUpload.h"

#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudSyncState.h"
#include "matching/SyncStateStore.h"
#include "model/DateFormatters.h"
#include "model/JsonCodec.h"
#include "platform/concurrency/Clock.h"
#include "platform/concurrency/Spawn.h"
#include "reminders/ReminderMonitor.h"
#include "sync/DiagnosticReportSnapshot.h"
#include "sync/Strings.h"
#include "sync/SyncToolOwner.h"

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace quorvin {

namespace {

constexpr qsizetype reportedLogLines = 10;

std::optional<QString> isoText(const std::optional<QDateTime> &date)
{
    if (!date) {
        return std::nullopt;
    }
    return DateFormatters::fractionalISO8601(*date);
}

JSONObject stringMap(const QHash<QString, QString> &map)
{
    JSONObject object;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        object.insert(it.key(), JSONValue(it.value()));
    }
    return object;
}

// What must never leave this machine in a report: the session token, and the password of a base
// URL that carries one (the pass logs its base URL).
QStringList reportSecrets(const QString &token, const QString &baseURL)
{
    QStringList secrets {token};
    const QUrl url(baseURL);
    secrets << url.password(QUrl::FullyEncoded) << url.password(QUrl::FullyDecoded);
    secrets.removeAll(QString());
    secrets.removeDuplicates();
    return secrets;
}

QString redacted(QString text, const QStringList &secrets)
{
    for (const auto &secret : secrets) {
        text.replace(secret, SyncText::diagnosticRedacted);
    }
    return text;
}

// Every text of the document, keys included: a token can reach a log line or a reminder's notes
// through an error message or a paste, not only the fields that name it.
JSONValue redacted(const JSONValue &value, const QStringList &secrets)
{
    if (const auto *text = value.stringValue()) {
        return JSONValue(redacted(*text, secrets));
    }
    if (const auto *array = value.arrayValue()) {
        JSONValue::Array result;
        result.reserve(array->size());
        for (const auto &element : *array) {
            result.append(redacted(element, secrets));
        }
        return JSONValue(std::move(result));
    }
    if (const auto *object = value.objectValue()) {
        JSONObject result;
        for (auto it = object->cbegin(); it != object->cend(); ++it) {
            result.insert(redacted(it.key(), secrets), redacted(it.value(), secrets));
        }
        return JSONValue(std::move(result));
    }
    return value;
}

// A report in the making. The main thread fills it from its state without copying the reminders
// (their payloads are shared and never change once made); run() then copies them in, redacts
// and encodes on a worker, touching nothing but this value.
struct DiagnosticReportBuild {
    DiagnosticReportSnapshot report;
    DiagnosticReportUploadRequest request;
    std::optional<ReminderMonitorDiagnosticSnapshot> storeSnapshot;
    QHash<QString, ReminderPayloadRef> journalItems;
    QHash<QString, QString> reminderIDs;
    QHash<QString, QString> listIDs;
    QStringList secrets;
    // The encoded request, or why there is none.
    QByteArray body;
    std::exception_ptr failure;

    void run()
    {
        try {
            report.eventkit_snapshot = std::move(storeSnapshot);
            // In the journal's order, by local id.
            std::vector<ReminderPayloadRef> items(journalItems.cbegin(), journalItems.cend());
            std::sort(items.begin(), items.end(),
                [](const ReminderPayloadRef &a, const ReminderPayloadRef &b) { return a->local_id < b->local_id; });
            report.local_sync_snapshot.items.reserve(qsizetype(items.size()));
            for (const auto &payload : items) {
                report.local_sync_snapshot.items.append(*payload);
            }
            report.server_to_local_reminder_ids = stringMap(reminderIDs);
            report.server_to_local_list_ids = stringMap(listIDs);
            request.report = redacted(toJSONValue(report), secrets);
            body = encodeJson(request);
        } catch (...) {
            failure = std::current_exception();
        }
        // Freed here too: millions of values whose freeing would stall the main thread.
        report = {};
        request.report = {};
        journalItems.clear();
    }
};

} // namespace

DiagnosticsUpload::DiagnosticsUpload(SyncToolOwner &owner, CloudAccount &account, CloudSyncState &syncState,
    SyncStateStore &stateStore, DiagnosticLog &log, ActivityLog &activityLog, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_owner(owner)
    , m_account(account)
    , m_syncState(syncState)
    , m_stateStore(stateStore)
    , m_log(log)
    , m_activityLog(activityLog)
    , m_clock(clock)
{
}

void DiagnosticsUpload::uploadDiagnosticsReport(const std::optional<QString> &parentReportID)
{
    if (m_isDiagnosticUploading) {
        return;
    }
    const QString baseURL = m_owner.normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        m_log.appendLog(SyncText::logDiagnosticNoBaseURL);
        m_owner.markSyncFailure(SyncText::missingBaseURL);
        return;
    }
    const QString token = m_account.currentToken();
    if (token.isEmpty()) {
        m_log.appendLog(SyncText::logDiagnosticNoToken);
        m_owner.markSyncFailure(SyncText::missingToken);
        return;
    }
    setIsDiagnosticUploading(true);
    spawn(runDiagnosticsUpload(baseURL, token, parentReportID), SyncText::taskDiagnosticsUpload);
}

void DiagnosticsUpload::setIsDiagnosticUploading(bool value)
{
    if (m_isDiagnosticUploading != value) {
        m_isDiagnosticUploading = value;
        Q_EMIT changed();
    }
}

QCoro::Task<void> DiagnosticsUpload::runDiagnosticsUpload(
    QString baseURL, QString token, std::optional<QString> parentReportID)
{
    QPointer<DiagnosticsUpload> self(this);
    auto build = std::make_shared<DiagnosticReportBuild>();
    DiagnosticReportSnapshot &report = build->report;
    report.generated_at = DateFormatters::fractionalISO8601(m_clock.now());
    report.app_version = CloudSyncClient::defaultAppVersion().value_or(QString());

    // The store's own view of the reminders; a failure is part of what the report tells.
    if (m_owner.reminderMonitor()) {
        try {
            build->storeSnapshot = co_await m_owner.reminderMonitor()->diagnosticSnapshot();
        } catch (const Error &error) {
            report.eventkit_snapshot_error = error.description();
        }
        if (!self) {
            co_return;
        }
    } else {
        report.eventkit_snapshot_error = SyncText::diagnosticMonitorUnavailable;
    }
    // The journal's whole view, as its full snapshot reads; the worker copies the items in.
    build->journalItems = m_stateStore.payloadsByLocalID();
    SyncResponseEnvelope &journal = report.local_sync_snapshot;
    journal.next_cursor = QString::number(m_stateStore.currentSequence());
    journal.generated_at = DateFormatters::fractionalISO8601(m_clock.now());
    journal.lists = m_stateStore.listDirectory();
    journal.full_snapshot = true;

    // Read after the awaits: the state the report describes is the state it leaves with.
    const auto status = m_owner.syncStatusForReport();
    report.reminder_count = status.reminderCount;
    report.local_cursor = status.cursor;
    report.last_sync_attempt_status = status.lastSyncAttemptStatus;
    report.last_sync_attempt_at = isoText(status.lastSyncAttemptAt);
    report.last_sync_success_at = isoText(status.lastSyncSuccessAt);
    report.cloud_state = DiagnosticCloudStateSnapshot {baseURL, m_account.cloudUserID(), m_account.cloudSessionID(),
        m_account.cloudSessionDeviceID(), m_account.cloudSessionClientKind(), m_syncState.cloudPullCursor(),
        m_syncState.cloudPushCursor(), !token.isEmpty()};
    build->reminderIDs = m_syncState.reminderMappingIndex().serverToLocal();
    build->listIDs = m_syncState.listMappingIndex().serverToLocal();
    for (const auto &line : m_log.logs().first(std::min(m_log.logs().size(), reportedLogLines))) {
        report.recent_logs.append(line.text);
    }
    const auto &activity = m_activityLog.activityLogs();
    for (const auto &entry : activity.first(std::min(activity.size(), reportedLogLines))) {
        report.recent_activity_logs.append({DateFormatters::fractionalISO8601(entry.createdAt), entry.category,
            entry.summary, QList<QString>(entry.details.cbegin(), entry.details.cend())});
    }

    DiagnosticReportUploadRequest &request = build->request;
    request.schema_version = 1;
    request.client_kind = SyncText::diagnosticClientKind;
    request.platform = SyncText::diagnosticPlatform;
    request.app_version = report.app_version;
    if (const QString deviceID = m_account.cloudSessionDeviceID(); !deviceID.isEmpty()) {
        request.device_id = deviceID;
    }
    request.generated_at = report.generated_at;
    request.parent_report_id = parentReportID;
    build->secrets = reportSecrets(token, baseURL);

    // Tens of megabytes of JSON at tens of thousands of reminders: built, redacted and encoded
    // away from the main thread, which meanwhile goes on serving the window and the sync.
    std::function<void()> work = [build] { build->run(); };
    co_await m_clock.runOffMainThread(std::move(work));
    if (!self) {
        co_return;
    }

    std::optional<QString> failure;
    try {
        // Signed out or switched accounts while gathering: this report belongs to nobody now.
        if (m_account.currentToken() != token) {
            setIsDiagnosticUploading(false);
            co_return;
        }
        if (build->failure) {
            std::rethrow_exception(build->failure);
        }
        const auto answer = co_await m_owner.makeClient(baseURL, token).uploadDiagnosticReport(std::move(build->body));
        if (!self) {
            co_return;
        }
        const QString reportID = answer.report_id.trimmed();
        m_log.appendLog(SyncText::logDiagnosticUploadedPrefix + reportID + SyncText::logDiagnosticUploadedCursor
            + answer.server_cursor.value_or(QString()));
        m_activityLog.appendActivityLog(ActivityText::categoryUser,
            reportID.isEmpty() ? SyncText::activityDiagnosticUploaded
                               : SyncText::activityDiagnosticUploaded + u' ' + reportID,
            {SyncText::activityDiagnosticUploadedDetail});
        setIsDiagnosticUploading(false);
        co_return;
    } catch (const Error &error) {
        failure = error.description();
    }
    if (!self) {
        co_return;
    }
    m_log.appendLog(SyncText::logDiagnosticFailedPrefix + *failure);
    m_owner.markSyncFailure(SyncText::diagnosticUploadFailed);
    m_activityLog.appendActivityLog(ActivityText::categorySync, SyncText::activityDiagnosticFailed, {*failure});
    setIsDiagnosticUploading(false);
}

} // namespace quorvin
