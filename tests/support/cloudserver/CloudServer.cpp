#include "support/cloudserver/CloudServer.h"

#include "support/cloudserver/AccountRoutes.h"

#if __has_include("support/cloudserver/SyncRoutes.h")
#include "support/cloudserver/SyncRoutes.h"
#define QUORVIN_CLOUDSERVER_HAS_SYNC_ROUTES 1
#endif

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

namespace quorvin::test {

namespace {

QStringList segmentsOf(const QString &path)
{
    return path.split(u'/');
}

} // namespace

CloudServer::CloudServer(Clock &clock)
    : m_clock(clock)
{
    registerAccountRoutes(*this);
#ifdef QUORVIN_CLOUDSERVER_HAS_SYNC_ROUTES
    registerSyncRoutes(*this);
#endif
}

CloudServer::~CloudServer() = default;

QDateTime CloudServer::now() const
{
    return m_clock.now().toUTC();
}

QString CloudServer::nowText() const
{
    return now().toString(Qt::ISODateWithMs);
}

QString CloudServer::nextId(const QString &prefix)
{
    auto guard = lock();
    return prefix + u'-' + QString::number(++m_idCounter);
}

void CloudServer::route(const QString &method, const QString &pattern, Handler handler)
{
    auto guard = lock();
    const QStringList segments = segmentsOf(pattern);
    for (Route &existing : m_routes) {
        if (existing.method == method && existing.segments == segments) {
            existing.handler = std::move(handler);
            return;
        }
    }
    m_routes.push_back(Route {method, segments, std::move(handler)});
}

void CloudServer::authenticatedRoute(const QString &method, const QString &pattern, AuthenticatedHandler handler)
{
    route(method, pattern, [this, handler = std::move(handler)](const CloudRequest &request) {
        return handler(request, authenticate(request));
    });
}

CloudResponse CloudServer::handle(CloudRequest request)
{
    auto guard = lock();
    if (!request.receivedAt.isValid()) {
        request.receivedAt = now();
    }
    m_journal.append(CloudJournalEntry {request, 0});
    const qsizetype index = m_journal.size() - 1;

    std::optional<CloudFault> fault;
    if (!m_nextFaults.isEmpty()) {
        fault = m_nextFaults.takeFirst();
    } else {
        for (qsizetype i = 0; i < m_routeFaults.size(); ++i) {
            RouteFault &candidate = m_routeFaults[i];
            if (candidate.method == request.method && candidate.path == request.rawPath) {
                fault = candidate.fault;
                if (candidate.remaining > 0 && --candidate.remaining == 0) {
                    m_routeFaults.removeAt(i);
                }
                break;
            }
        }
    }

    CloudResponse response;
    if (fault && fault->status && !fault->applyFirst) {
        response = applyFault(*fault);
    } else {
        response = dispatch(request);
        m_journal[index].request.pathParams = request.pathParams;
        if (fault && fault->status) {
            response = applyFault(*fault);
        } else if (fault) {
            applyDelivery(response, *fault);
        }
    }
    if (!response.hang && !response.dropConnection && !response.deferred) {
        m_journal[index].status = response.status;
    }
    response.journalIndex = index;
    return response;
}

void CloudServer::recordAnswer(qsizetype journalIndex, int status)
{
    auto guard = lock();
    if (journalIndex >= 0 && journalIndex < m_journal.size()) {
        m_journal[journalIndex].status = status;
    }
}

CloudResponse CloudServer::dispatch(CloudRequest &request)
{
    const QStringList segments = segmentsOf(request.rawPath);
    bool pathKnown = false;
    for (const Route &route : m_routes) {
        if (route.segments.size() != segments.size()) {
            continue;
        }
        QMap<QString, QString> params;
        bool matches = true;
        for (qsizetype i = 0; i < segments.size() && matches; ++i) {
            const QString &expected = route.segments[i];
            if (expected.startsWith(u':')) {
                matches = !segments[i].isEmpty();
                params.insert(expected.mid(1), QUrl::fromPercentEncoding(segments[i].toUtf8()));
            } else {
                matches = QUrl::fromPercentEncoding(segments[i].toUtf8()) == expected;
            }
        }
        if (!matches) {
            continue;
        }
        pathKnown = true;
        if (route.method != request.method) {
            continue;
        }
        request.pathParams = params;
        try {
            return route.handler(request);
        } catch (const CloudHttpFailure &failure) {
            return CloudResponse::error(failure.status(), failure.message());
        } catch (const std::exception &failure) {
            // A fault of a handler is the service's own failure, not the client's.
            return CloudResponse::error(500, QString::fromUtf8(failure.what()));
        }
    }
    return pathKnown ? CloudResponse::error(405, QStringLiteral("method not allowed"))
                     : CloudResponse::error(404, QStringLiteral("not found"));
}

CloudResponse CloudServer::applyFault(const CloudFault &fault)
{
    CloudResponse response;
    response.status = *fault.status;
    response.body = fault.body;
    response.headers = fault.headers;
    applyDelivery(response, fault);
    return response;
}

void CloudServer::applyDelivery(CloudResponse &response, const CloudFault &fault)
{
    response.delay += fault.delay;
    response.hang = response.hang || fault.hang;
    response.dropConnection = response.dropConnection || fault.dropConnection;
}

void CloudServer::notifyChanged()
{
    auto guard = lock();
    ++m_changeGeneration;
    // Copied: a listener may remove itself.
    const auto listeners = m_changeListeners;
    for (const auto &[id, listener] : listeners) {
        listener();
    }
}

quint64 CloudServer::changeGeneration() const
{
    auto guard = lock();
    return m_changeGeneration;
}

int CloudServer::addChangeListener(std::function<void()> listener)
{
    auto guard = lock();
    const int id = ++m_nextListenerId;
    m_changeListeners.emplace(id, std::move(listener));
    return id;
}

void CloudServer::removeChangeListener(int id)
{
    auto guard = lock();
    m_changeListeners.erase(id);
}

void CloudServer::addFault(const QString &method, const QString &path, CloudFault fault, int times)
{
    auto guard = lock();
    if (times == 0) {
        return;
    }
    m_routeFaults.append(RouteFault {method, path, std::move(fault), times});
}

void CloudServer::failNext(int count, CloudFault fault)
{
    auto guard = lock();
    for (int i = 0; i < count; ++i) {
        m_nextFaults.append(fault);
    }
}

void CloudServer::clearFaults()
{
    auto guard = lock();
    m_routeFaults.clear();
    m_nextFaults.clear();
}

QList<CloudJournalEntry> CloudServer::journal() const
{
    auto guard = lock();
    return m_journal;
}

QList<CloudJournalEntry> CloudServer::journalFor(const QString &path) const
{
    auto guard = lock();
    QList<CloudJournalEntry> result;
    for (const CloudJournalEntry &entry : m_journal) {
        if (entry.request.path() == path) {
            result.append(entry);
        }
    }
    return result;
}

std::optional<CloudJournalEntry> CloudServer::lastRequest() const
{
    auto guard = lock();
    if (m_journal.isEmpty()) {
        return std::nullopt;
    }
    return m_journal.last();
}

void CloudServer::clearJournal()
{
    auto guard = lock();
    m_journal.clear();
}

QString CloudServer::createUser(const QString &phoneNumber, std::optional<QString> password, const QString &nickname)
{
    auto guard = lock();
    CloudServerUser user;
    user.userId = nextId(QStringLiteral("user"));
    user.phoneNumber = phoneNumber;
    user.password = std::move(password);
    user.nickname = nickname;
    user.profileUpdatedAt = nowText();
    if (!phoneNumber.isEmpty()) {
        CloudServerIdentity identity;
        identity.identityId = nextId(QStringLiteral("identity"));
        identity.provider = QStringLiteral("phone");
        identity.providerSubject = phoneNumber;
        identity.displayLabel = phoneNumber.right(4).prepend(QStringLiteral("*******"));
        identity.linkedAt = nowText();
        user.identities.append(identity);
    }
    const QString userId = user.userId;
    m_users.emplace(userId, std::move(user));
    return userId;
}

QString CloudServer::createSession(const QString &userId, const QString &clientKind, const QString &deviceId,
    const QString &deviceLabel, const QString &platform, const QString &appVersion)
{
    auto guard = lock();
    CloudServerSession session;
    session.sessionId = nextId(QStringLiteral("session"));
    // The service's token form; the counter keeps tokens unique whatever the random part.
    quint64 secret[2];
    QRandomGenerator::global()->fillRange(secret);
    session.token = QStringLiteral("qvk_") + QString::number(++m_idCounter) + u'_'
        + QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(secret), sizeof secret)
                                  .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    session.userId = userId;
    session.clientKind = clientKind;
    session.deviceId = deviceId;
    session.deviceLabel = deviceLabel;
    session.platform = platform;
    session.appVersion = appVersion;
    session.createdAt = nowText();
    session.lastSeenAt = session.createdAt;
    const QString token = session.token;
    m_sessions.emplace(token, std::move(session));
    return token;
}

void CloudServer::deleteUser(const QString &userId)
{
    auto guard = lock();
    const auto found = m_users.find(userId);
    if (found == m_users.end()) {
        return;
    }
    const QString phone = found->second.phoneNumber;
    m_users.erase(found);
    std::erase_if(m_sessions, [&](const auto &entry) { return entry.second.userId == userId; });
    std::erase_if(m_challenges, [&](const auto &entry) { return entry.second.phoneNumber == phone; });
    for (const auto &listener : m_userDeletedListeners) {
        listener(userId);
    }
    notifyChanged();
}

void CloudServer::onUserDeleted(std::function<void(const QString &)> listener)
{
    auto guard = lock();
    m_userDeletedListeners.push_back(std::move(listener));
}

CloudServerUser *CloudServer::user(const QString &userId)
{
    auto guard = lock();
    const auto found = m_users.find(userId);
    return found == m_users.end() ? nullptr : &found->second;
}

CloudServerUser *CloudServer::userByPhone(const QString &phoneNumber)
{
    auto guard = lock();
    for (auto &[id, user] : m_users) {
        if (!phoneNumber.isEmpty() && user.phoneNumber == phoneNumber) {
            return &user;
        }
    }
    return nullptr;
}

QList<CloudServerUser> CloudServer::users() const
{
    auto guard = lock();
    QList<CloudServerUser> result;
    for (const auto &[id, user] : m_users) {
        result.append(user);
    }
    return result;
}

CloudServerSession *CloudServer::sessionByToken(const QString &token)
{
    auto guard = lock();
    const auto found = m_sessions.find(token);
    return found == m_sessions.end() ? nullptr : &found->second;
}

CloudServerSession *CloudServer::sessionById(const QString &sessionId)
{
    auto guard = lock();
    for (auto &[token, session] : m_sessions) {
        if (session.sessionId == sessionId) {
            return &session;
        }
    }
    return nullptr;
}

QList<CloudServerSession> CloudServer::sessionsOf(const QString &userId) const
{
    auto guard = lock();
    QList<CloudServerSession> result;
    for (const auto &[token, session] : m_sessions) {
        if (session.userId == userId) {
            result.append(session);
        }
    }
    std::sort(result.begin(), result.end(), [](const CloudServerSession &a, const CloudServerSession &b) {
        return a.sessionId.mid(8).toLongLong() < b.sessionId.mid(8).toLongLong();
    });
    return result;
}

void CloudServer::revokeSession(const QString &sessionId)
{
    auto guard = lock();
    if (CloudServerSession *session = sessionById(sessionId); session && session->isActive()) {
        session->revokedAt = nowText();
    }
}

CloudServerSession &CloudServer::authenticate(const CloudRequest &request)
{
    auto guard = lock();
    const QString token = request.bearerToken();
    if (token.isEmpty()) {
        throw CloudHttpFailure(401, QStringLiteral("authentication required"));
    }
    CloudServerSession *session = sessionByToken(token);
    if (!session || !session->isActive() || !m_users.contains(session->userId)) {
        throw CloudHttpFailure(401, QStringLiteral("invalid authentication token"));
    }
    session->lastSeenAt = nowText();
    return *session;
}

CloudServerChallenge &CloudServer::issueChallenge(const QString &phoneNumber)
{
    auto guard = lock();
    CloudServerChallenge challenge;
    challenge.challengeId = nextId(QStringLiteral("challenge"));
    challenge.phoneNumber = phoneNumber;
    if (const auto fixed = m_fixedSmsCodes.find(phoneNumber); fixed != m_fixedSmsCodes.end()) {
        challenge.code = fixed->second;
    } else {
        challenge.code = m_nextSmsCode.value_or(
            QStringLiteral("%1").arg(QRandomGenerator::global()->bounded(1000000), 6, 10, QLatin1Char('0')));
    }
    challenge.expiresAt = now().addSecs(300);
    const QString id = challenge.challengeId;
    return m_challenges.emplace(id, std::move(challenge)).first->second;
}

std::optional<QString> CloudServer::lastSmsCode(const QString &phoneNumber) const
{
    auto guard = lock();
    std::optional<QString> code;
    quint64 newest = 0;
    for (const auto &[id, challenge] : m_challenges) {
        const quint64 number = id.mid(10).toULongLong();
        if (challenge.phoneNumber == phoneNumber && number >= newest) {
            newest = number;
            code = challenge.code;
        }
    }
    return code;
}

CloudServerChallenge *CloudServer::challenge(const QString &challengeId)
{
    auto guard = lock();
    const auto found = m_challenges.find(challengeId);
    return found == m_challenges.end() ? nullptr : &found->second;
}

void CloudServer::consumeChallenge(const QString &phoneNumber, const QString &challengeId, const QString &code)
{
    auto guard = lock();
    checkChallenge(phoneNumber, challengeId, code);
    challenge(challengeId)->used = true;
}

void CloudServer::checkChallenge(const QString &phoneNumber, const QString &challengeId, const QString &code)
{
    auto guard = lock();
    static const QRegularExpression sixDigits(QStringLiteral("^[0-9]{6}$"));
    if (!sixDigits.match(code).hasMatch()) {
        throw CloudHttpFailure(400, QStringLiteral("phone verification code must be 6 digits"));
    }
    CloudServerChallenge *found = challenge(challengeId);
    if (!found || found->phoneNumber != phoneNumber || found->code != code) {
        throw CloudHttpFailure(400, QStringLiteral("invalid phone verification code"));
    }
    if (found->used) {
        throw CloudHttpFailure(400, QStringLiteral("phone verification code already used"));
    }
    if (now() > found->expiresAt) {
        throw CloudHttpFailure(400, QStringLiteral("phone verification code expired"));
    }
}

void CloudServer::setReturnsDevCodes(bool returns)
{
    auto guard = lock();
    m_returnsDevCodes = returns;
}

bool CloudServer::returnsDevCodes() const
{
    auto guard = lock();
    return m_returnsDevCodes;
}

void CloudServer::setNextSmsCode(const QString &code)
{
    auto guard = lock();
    m_nextSmsCode = code;
}

void CloudServer::setFixedSmsCode(const QString &phoneNumber, const QString &code)
{
    auto guard = lock();
    m_fixedSmsCodes[phoneNumber] = code;
}

} // namespace quorvin::test
