#include "support/cloudserver/SyncRoutes.h"

#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/SyncModel.h"

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

namespace {

SyncActor actorOf(const CloudServerSession &session)
{
    return SyncActor {session.userId, session.deviceId, session.clientKind};
}

CloudResponse ok()
{
    return CloudResponse::json(QJsonObject {{"ok"_L1, true}});
}

} // namespace

void registerSyncRoutes(CloudServer &server)
{
    SyncModel &model = syncModel(server);
    model.attach(server);
    server.onUserDeleted([&model](const QString &userId) { model.forgetUser(userId); });

    server.authenticatedRoute(u"GET"_s, u"/sync"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
        return CloudResponse::json(model.pull(session.userId, request.queryValue(u"cursor"_s).value_or(QString())));
    });
    server.authenticatedRoute(
        u"GET"_s, u"/sync/wait"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
            std::optional<qint64> timeoutMs;
            if (const auto text = request.queryValue(u"timeout_ms"_s)) {
                bool ok = false;
                const qint64 value = text->toLongLong(&ok);
                if (ok) {
                    timeoutMs = value;
                }
            }
            return model.wait(session.userId, request.queryValue(u"cursor"_s).value_or(QString()), timeoutMs,
                request.queryValue(u"count_verification_request_id"_s).value_or(QString()));
        });
    server.authenticatedRoute(
        u"POST"_s, u"/sync/count-verification"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
            return CloudResponse::json(model.reportCounts(actorOf(session), request.jsonBody()));
        });
    server.authenticatedRoute(
        u"POST"_s, u"/reminders/upsert"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
            return CloudResponse::json(model.upsertReminder(actorOf(session), request.jsonBody()));
        });
    server.authenticatedRoute(
        u"POST"_s, u"/reminders/delete"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
            model.deleteReminder(actorOf(session), request.jsonBody());
            return ok();
        });
    server.authenticatedRoute(
        u"POST"_s, u"/reminders/complete"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
            model.completeReminder(actorOf(session), request.jsonBody());
            return ok();
        });
    server.authenticatedRoute(
        u"POST"_s, u"/lists/create"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
            return CloudResponse::json(model.createList(actorOf(session), request.jsonBody()));
        });
    server.authenticatedRoute(
        u"POST"_s, u"/lists/update"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
            model.updateList(actorOf(session), request.jsonBody());
            return ok();
        });
    server.authenticatedRoute(
        u"POST"_s, u"/lists/delete"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
            model.deleteList(actorOf(session), request.jsonBody());
            return ok();
        });
    server.authenticatedRoute(
        u"POST"_s, u"/admin/reset"_s, [&model](const CloudRequest &, CloudServerSession &session) {
            model.reset(actorOf(session));
            return CloudResponse::json(
                QJsonObject {{"ok"_L1, true}, {"rebuild_generation"_L1, model.rebuildGeneration(session.userId)}});
        });
    server.authenticatedRoute(
        u"POST"_s, u"/diagnostics/reports"_s, [&model](const CloudRequest &request, CloudServerSession &session) {
            return CloudResponse::json(model.uploadDiagnosticReport(actorOf(session), request.jsonBody()));
        });
}

} // namespace quorvin::test
