#pragma once

#include "support/cloudserver/CloudResponse.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

namespace quorvin::test {

// Who makes a change: the user whose data it is, and the device session that sent it. The device
// and client kind end up in `last_modified_by_device_id` / `last_modified_by_client_kind`.
struct SyncActor {
    QString userId;
    QString deviceId;
    QString clientKind;
};

class CloudServer;

struct SyncCounts {
    qint64 total = 0;
    qint64 completed = 0;
    qint64 incomplete = 0;
    bool operator==(const SyncCounts &) const = default;
};

// The reminders half of the test cloud service, one data set per user: reminders and lists under
// server ids, one change sequence per user from which opaque cursors are made, tombstones of
// deleted records, rebuild generations, long-poll waits and the side requests the service can make
// of a client (count verification, diagnostics). Bodies and answers are the JSON the wire carries;
// the model checks the JSON types of what it is sent instead of trusting the client's codec, so a
// client that sends a malformed body gets a 400 as it would from the real service. Refusals are
// thrown as CloudHttpFailure.
//
// It lives in its server as an extension (syncModel(server)); every member takes the server's
// lock, so a test (or the Phone) may use it while the loopback thread serves. Every change calls
// the server's notifyChanged(), which is what releases held long-polls.
class SyncModel {
public:
    SyncModel() = default;
    SyncModel(const SyncModel &) = delete;
    SyncModel &operator=(const SyncModel &) = delete;

    // Done once by registerSyncRoutes().
    void attach(CloudServer &server);
    CloudServer &server() const { return *m_server; }

    // GET /sync: a delta after `cursor`, or a full snapshot when the cursor is empty, unreadable,
    // from another rebuild generation or from the future.
    // The answer's JSON text.
    QByteArray pull(const QString &userId, const QString &cursor);

    // GET /sync/wait. Answers at once when the cursor is behind or a side request is waiting;
    // otherwise a deferred answer that the front end releases when the user's data changes, or
    // after `timeoutMs` (clamped to 30 s; absent means the default 25 s) with `changed` false.
    CloudResponse wait(const QString &userId, const QString &cursor, std::optional<qint64> timeoutMs,
        const QString &observedCountRequestId);
    // The answer a wait would give right now, and whether it has news (a change or a request).
    QJsonObject waitAnswer(const QString &userId, const QString &cursor, const QString &observedCountRequestId);
    bool waitHasNews(const QString &userId, const QString &cursor, const QString &observedCountRequestId) const;

    // POST /reminders/upsert. Replace semantics: the stored record becomes what the body says
    // (an explicit null clears a field); `local_id` names the record to update, absent creates
    // one. An update that leaves out `source_item_id` keeps the stored one (see the switch below).
    // A deleted id comes back under that id (an edit that crosses a delete wins); an id the
    // server never gave out creates a new record, whose id the answer names. Neither is refused:
    // the client pushes before it applies the pull that would tell it of the delete, so a refusal
    // would fail the same push on every pass.
    QJsonObject upsertReminder(const SyncActor &actor, const QJsonObject &body);
    void deleteReminder(const SyncActor &actor, const QJsonObject &body);
    void completeReminder(const SyncActor &actor, const QJsonObject &body);
    QJsonObject createList(const SyncActor &actor, const QJsonObject &body);
    void updateList(const SyncActor &actor, const QJsonObject &body);
    // Deleting a list deletes the reminders in it too.
    void deleteList(const SyncActor &actor, const QJsonObject &body);
    // POST /admin/reset: drops the user's reminders, lists and tombstones and starts a new rebuild
    // generation, which turns every older cursor into a full snapshot.
    void reset(const SyncActor &actor);
    // POST /sync/count-verification.
    QJsonObject reportCounts(const SyncActor &actor, const QJsonObject &body);
    // POST /diagnostics/reports.
    QJsonObject uploadDiagnosticReport(const SyncActor &actor, const QJsonObject &body);

    // Switches for tests.
    // Arms a count-verification request: waits carry it until the client reports it as observed
    // and a report for it settles as "matched" or "mismatched". Returns the request id.
    QString requestCountVerification(const QString &userId);
    // The next wait answer carries this diagnostics request id, once. Returns the id.
    QString requestDiagnostics(const QString &userId);
    // Makes count reports answer this state instead of the real comparison.
    void setCountVerificationStateOverride(std::optional<QString> state);
    // Whether full snapshots list the retained tombstones in `deleted_ids` / `deleted_list_ids`
    // (default true), so a client that slept through a peer's delete still learns of it.
    void setTombstonesInFullSnapshots(bool on);
    // Whether an update that leaves out (or nulls) `source_item_id` keeps the stored one (default
    // true); false makes it clear the field like any other.
    void setKeepSourceItemIdWhenOmitted(bool on);
    // Whether absent optional fields of reminders go out as explicit nulls (default true).
    void setEmitNullsForAbsentFields(bool on);

    // Inspection, as a client would see it.
    QList<QJsonObject> liveItems(const QString &userId) const;
    std::optional<QJsonObject> item(const QString &userId, const QString &serverId) const;
    QList<QJsonObject> liveLists(const QString &userId) const;
    std::optional<QJsonObject> list(const QString &userId, const QString &listId) const;
    QStringList deletedItemIds(const QString &userId) const;
    QStringList deletedListIds(const QString &userId) const;
    QString currentCursor(const QString &userId) const;
    qint64 rebuildGeneration(const QString &userId) const;
    SyncCounts counts(const QString &userId) const;
    QList<QJsonObject> countReports(const QString &userId) const;
    QList<QJsonObject> diagnosticReports(const QString &userId) const;
    std::optional<QString> pendingCountVerificationId(const QString &userId) const;
    // Drops everything of one user (the account was deleted).
    void forgetUser(const QString &userId);

    QString nowText() const;

private:
    struct Record {
        QJsonObject body;
        qint64 seq = 0;
        // An item's compact text as written (as a snapshot shows it while the list keeps its name
        // and absent fields are nulls), so that a snapshot of a large account only joins texts;
        // empty for a list.
        QByteArray text {};
    };
    struct PendingCountRequest {
        QString requestId;
        QString serverCursor;
        QString requestedAt;
    };
    struct UserData {
        qint64 seq = 0;
        qint64 generation = 1;
        std::map<QString, Record> items;
        std::map<QString, qint64> itemTombstones;
        std::map<QString, Record> lists;
        std::map<QString, qint64> listTombstones;
        std::optional<PendingCountRequest> countRequest;
        QString diagnosticRequestId;
        QList<QJsonObject> countReports;
        QList<QJsonObject> diagnosticReports;
    };

    UserData &user(const QString &userId);
    const UserData *findUser(const QString &userId) const;
    qint64 bump(UserData &data);
    void notify();
    QString cursorText(const UserData &data) const;
    // The sequence a cursor stands for; none when the cursor cannot be used for a delta.
    std::optional<qint64> cursorSequence(const UserData &data, const QString &cursor) const;
    static void addNulls(QJsonObject &item);
    // The current name of the item's list when it is not the one the item was written with.
    static std::optional<QJsonValue> renamedList(const UserData &data, const Record &record);
    // The record of an item written now, with its text as a snapshot shows it (absent fields
    // as nulls).
    static Record writtenItem(QJsonObject body, qint64 seq);
    QJsonObject renderItem(const UserData &data, const Record &record) const;
    QByteArray renderItemText(const UserData &data, const Record &record) const;
    QJsonObject renderList(const Record &record) const;
    static bool hasNews(const UserData &data, std::optional<qint64> after, const QString &observedCountRequestId);
    QString newId(const QString &prefix);

    CloudServer *m_server = nullptr;
    std::map<QString, UserData> m_users;
    std::optional<QString> m_countStateOverride;
    bool m_tombstonesInFullSnapshots = true;
    bool m_keepSourceItemIdWhenOmitted = true;
    bool m_emitNulls = true;
};

// The sync model of `server`.
SyncModel &syncModel(CloudServer &server);

} // namespace quorvin::test
