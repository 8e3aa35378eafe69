#pragma once

#include "platform/concurrency/Clock.h"
#include "support/cloudserver/CloudFault.h"
#include "support/cloudserver/CloudHttpFailure.h"
#include "support/cloudserver/CloudJournalEntry.h"
#include "support/cloudserver/CloudRequest.h"
#include "support/cloudserver/CloudResponse.h"
#include "support/cloudserver/CloudServerChallenge.h"
#include "support/cloudserver/CloudServerSession.h"
#include "support/cloudserver/CloudServerUser.h"

#include <QList>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <typeindex>
#include <vector>

namespace quorvin::test {

// One model of the cloud sync service for tests: a route table, the account data (users, SMS
// codes, sessions, identities, profile), fault injection and a journal of every request. It knows
// no transport: InProcessHttpSession hands it requests on the main thread (virtual time), and
// LoopbackCloudServer serves it over real HTTP on 127.0.0.1 from its own thread.
//
// Every public member locks the server's (recursive) mutex, and handlers run with it held, so a
// test may set up or inspect the model while the loopback thread serves. Code that reads several
// things that must agree takes lock() itself.
//
// Route sets register themselves from the constructor: registerAccountRoutes() and, once it
// exists, registerSyncRoutes() from "support/cloudserver/SyncRoutes.h" (found with __has_include).
class CloudServer {
public:
    using Handler = std::function<CloudResponse(const CloudRequest &)>;
    using AuthenticatedHandler = std::function<CloudResponse(const CloudRequest &, CloudServerSession &)>;

    explicit CloudServer(Clock &clock = Clock::system());
    CloudServer(const CloudServer &) = delete;
    CloudServer &operator=(const CloudServer &) = delete;
    ~CloudServer();

    std::unique_lock<std::recursive_mutex> lock() const { return std::unique_lock(m_mutex); }
    Clock &clock() const { return m_clock; }
    QDateTime now() const;
    // now() as the service writes times: ISO-8601 in UTC with milliseconds.
    QString nowText() const;
    // "<prefix>-<n>", unique within this server.
    QString nextId(const QString &prefix);

    // --- Routes ------------------------------------------------------------------------------
    // `pattern` is a path whose segments may be ":name" placeholders; each matches one raw
    // segment, and its decoded value lands in CloudRequest::pathParams. A later registration of
    // the same method and pattern replaces the earlier one.
    void route(const QString &method, const QString &pattern, Handler handler);
    // The same, after authenticate(): the handler gets the caller's session.
    void authenticatedRoute(const QString &method, const QString &pattern, AuthenticatedHandler handler);

    // Runs one request through faults and routes and journals it. Front ends call this; a test may
    // too. The answer may ask its front end for a delay, a hang, a drop or a deferred answer.
    CloudResponse handle(CloudRequest request);
    // Front ends note the status of an answer given later (a deferred or delayed one).
    void recordAnswer(qsizetype journalIndex, int status);

    // --- Long-poll support -------------------------------------------------------------------
    // Handlers (and the simulated phone) call this after every change that a held request may be
    // waiting for. Listeners run under the lock, on the caller's thread.
    void notifyChanged();
    quint64 changeGeneration() const;
    int addChangeListener(std::function<void()> listener);
    void removeChangeListener(int id);

    // --- Faults ------------------------------------------------------------------------------
    // Applies to the next `times` requests of that method and raw path (query ignored); a
    // negative count keeps it for good. Faults of one route apply in the order added.
    void addFault(const QString &method, const QString &path, CloudFault fault, int times = 1);
    // Applies to each of the next `count` requests, whatever their route (before route faults).
    void failNext(int count, CloudFault fault);
    void clearFaults();

    // --- Journal -----------------------------------------------------------------------------
    QList<CloudJournalEntry> journal() const;
    // Entries whose decoded path equals `path` (any method).
    QList<CloudJournalEntry> journalFor(const QString &path) const;
    std::optional<CloudJournalEntry> lastRequest() const;
    void clearJournal();

    // --- Accounts ----------------------------------------------------------------------------
    // Creates an account with a phone identity. The phone number is stored as given (pass it
    // normalised, "+86...").
    QString createUser(
        const QString &phoneNumber, std::optional<QString> password = std::nullopt, const QString &nickname = {});
    // Opens a session and returns its token ("qvk_" and letters, digits, "_" and "-").
    QString createSession(const QString &userId, const QString &clientKind, const QString &deviceId = {},
        const QString &deviceLabel = {}, const QString &platform = {}, const QString &appVersion = {});
    // Removes the account, its sessions and challenges, and tells every onUserDeleted listener.
    void deleteUser(const QString &userId);
    void onUserDeleted(std::function<void(const QString &userId)> listener);

    CloudServerUser *user(const QString &userId);
    CloudServerUser *userByPhone(const QString &phoneNumber);
    QList<CloudServerUser> users() const;
    CloudServerSession *sessionByToken(const QString &token);
    CloudServerSession *sessionById(const QString &sessionId);
    QList<CloudServerSession> sessionsOf(const QString &userId) const;
    void revokeSession(const QString &sessionId);

    // The session of the request's bearer token, its last use updated. Throws CloudHttpFailure
    // 401 "authentication required" without a token and "invalid authentication token" for an
    // unknown or revoked one.
    CloudServerSession &authenticate(const CloudRequest &request);

    // SMS codes: a new challenge for the phone (6 digits, valid 5 minutes), the code of its latest
    // challenge, and whether the answer to a code request carries the code as dev_code.
    CloudServerChallenge &issueChallenge(const QString &phoneNumber);
    std::optional<QString> lastSmsCode(const QString &phoneNumber) const;
    CloudServerChallenge *challenge(const QString &challengeId);
    // Checks a code without using it up; throws CloudHttpFailure with the service's messages.
    void checkChallenge(const QString &phoneNumber, const QString &challengeId, const QString &code);
    // Checks and consumes a code; throws CloudHttpFailure with the service's messages.
    void consumeChallenge(const QString &phoneNumber, const QString &challengeId, const QString &code);
    void setReturnsDevCodes(bool returns);
    bool returnsDevCodes() const;
    // Fixes the next codes instead of random ones (tests that type a known code).
    void setNextSmsCode(const QString &code);
    // Fixes every code sent to one phone (a person trying the app types a known code).
    void setFixedSmsCode(const QString &phoneNumber, const QString &code);

    // --- Extensions --------------------------------------------------------------------------
    // One object of type T per server, made on first use: the place where a route set keeps its
    // own state (e.g. the sync data) so that tests can reach it through the server.
    template <typename T> T &extension()
    {
        auto guard = lock();
        auto &slot = m_extensions[std::type_index(typeid(T))];
        if (!slot) {
            slot = std::make_shared<T>();
        }
        return *std::static_pointer_cast<T>(slot);
    }

private:
    struct Route {
        QString method;
        QStringList segments;
        Handler handler;
    };
    struct RouteFault {
        QString method;
        QString path;
        CloudFault fault;
        int remaining;
    };

    CloudResponse dispatch(CloudRequest &request);
    static CloudResponse applyFault(const CloudFault &fault);
    static void applyDelivery(CloudResponse &response, const CloudFault &fault);

    Clock &m_clock;
    mutable std::recursive_mutex m_mutex;
    quint64 m_idCounter = 0;
    std::vector<Route> m_routes;
    QList<RouteFault> m_routeFaults;
    QList<CloudFault> m_nextFaults;
    QList<CloudJournalEntry> m_journal;
    quint64 m_changeGeneration = 0;
    int m_nextListenerId = 0;
    std::map<int, std::function<void()>> m_changeListeners;
    std::vector<std::function<void(const QString &)>> m_userDeletedListeners;

    std::map<QString, CloudServerUser> m_users;
    std::map<QString, CloudServerSession> m_sessions; // by token
    std::map<QString, CloudServerChallenge> m_challenges;
    bool m_returnsDevCodes = true;
    std::optional<QString> m_nextSmsCode;
    std::map<QString, QString> m_fixedSmsCodes;

    std::map<std::type_index, std::shared_ptr<void>> m_extensions;
};

} // namespace quorvin::test
