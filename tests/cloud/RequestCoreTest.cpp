#include "LoopbackFixture.h"

#include "cloud/CloudHTTPError.h"
#include "model/JSONCodingError.h"
#include "platform/http/TransportError.h"

#include <QThread>
#include <QTimer>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

template <typename T> TransportError::Kind transportFailure(QCoro::Task<T> task)
{
    try {
        quorvin::test::waitFor(std::move(task));
    } catch (const TransportError &error) {
        return error.kind();
    }
    ADD_FAILURE() << "no transport error";
    return TransportError::Kind::Other;
}

} // namespace

TEST_F(LoopbackTest, RequestsCarryExactlyTheClientHeadersAndOneSlash)
{
    server.route(u"GET"_s, u"/probe"_s, [](const CloudRequest &) { return CloudResponse::text("fine"); });
    server.route(u"POST"_s, u"/probe"_s, [](const CloudRequest &) { return CloudResponse::text("posted"); });
    const CloudSyncClient messy(u"  "_s + loopback.baseUrl() + u"/\n"_s, u" tok-1 "_s, recorder);

    EXPECT_EQ(quorvin::test::waitFor(messy.request<QString>(u"/probe"_s, u"GET"_s, std::nullopt, 5)), u"fine"_s);
    CloudRequest get = server.lastRequest()->request;
    EXPECT_EQ(get.rawPath, u"/probe"_s);
    EXPECT_EQ(
        clientHeaderNames(get), (QSet<QString> {u"accept"_s, u"cache-control"_s, u"pragma"_s, u"authorization"_s}));
    EXPECT_EQ(get.header("Accept"), u"application/json"_s);
    EXPECT_EQ(get.header("Cache-Control"), u"no-cache, no-store"_s);
    EXPECT_EQ(get.header("Pragma"), u"no-cache"_s);
    EXPECT_EQ(get.header("Authorization"), u"Bearer tok-1"_s);
    EXPECT_TRUE(get.body.isEmpty());

    EXPECT_EQ(quorvin::test::waitFor(messy.request<QString>(u"/probe"_s, u"POST"_s, QByteArray(R"({"a":1})"), 5)),
        u"posted"_s);
    CloudRequest post = server.lastRequest()->request;
    EXPECT_EQ(post.header("Content-Type"), u"application/json"_s);
    EXPECT_EQ(post.body, QByteArray(R"({"a":1})"));

    // An empty body is still a body.
    quorvin::test::waitFor(messy.request<QString>(u"/probe"_s, u"POST"_s, QByteArray(), 5));
    EXPECT_EQ(server.lastRequest()->request.header("Content-Type"), u"application/json"_s);

    // A blank token sends no Authorization at all.
    quorvin::test::waitFor(client(u" \t\n"_s).request<QString>(u"/probe"_s, u"GET"_s, std::nullopt, 5));
    EXPECT_EQ(clientHeaderNames(server.lastRequest()->request),
        (QSet<QString> {u"accept"_s, u"cache-control"_s, u"pragma"_s}));
    EXPECT_EQ(recorder.requests.last().timeout, std::chrono::milliseconds(5000));
}

TEST_F(LoopbackTest, StatusesOutside2xxBecomeReadableErrorsAndTextAnswersAreNeverParsed)
{
    struct Case {
        int status;
        QByteArray body;
        std::optional<QString> text; // the answer when it succeeds
        std::optional<QString> error; // the description when it fails
    };
    const Case cases[] = {
        {200, "not json at all", u"not json at all"_s, std::nullopt},
        {299, "{}", u"{}"_s, std::nullopt},
        {204, "", u""_s, std::nullopt},
        {200, QByteArray("caf\xc3", 4), u""_s, std::nullopt},
        {300, "", std::nullopt, u"HTTP 300"_s},
        {400, R"({"error":"Invalid PHONE verification code"})", std::nullopt, u"手机号验证码不正确（HTTP 400）"_s},
        {401, "authentication required", std::nullopt, u"服务器登录已失效，请重新登录（HTTP 401）"_s},
        {500, " Disk full \n", std::nullopt, u"Disk full（HTTP 500）"_s},
        {502, QByteArray("\xff\xfe\xfd", 3), std::nullopt, u"HTTP 502"_s},
    };
    for (const Case &c : cases) {
        server.failNext(1, CloudFault::answer(c.status, c.body));
        try {
            const QString text
                = quorvin::test::waitFor(client().request<QString>(u"/reminders/delete"_s, u"POST"_s, "{}", 15));
            ASSERT_TRUE(c.text.has_value()) << c.status;
            EXPECT_EQ(text, *c.text);
        } catch (const CloudHTTPError &error) {
            ASSERT_TRUE(c.error.has_value()) << c.status;
            EXPECT_EQ(error.domain(), u"Quorvin.CloudSync"_s);
            EXPECT_EQ(error.code(), c.status);
            EXPECT_EQ(error.description(), *c.error);
        }
    }

    // A record is decoded strictly: an empty 2xx body is a decoding error.
    server.failNext(1, CloudFault::answer(204));
    EXPECT_THROW(quorvin::test::waitFor(client().devices()), JSONCodingError);
    server.failNext(1, CloudFault::answer(200, R"({"sessions":[{"session_id":"s1","platform":"macos"}]})"));
    const CloudDevicesResponse devices = quorvin::test::waitFor(client().devices());
    ASSERT_EQ(devices.sessions.size(), 1);
    EXPECT_EQ(devices.sessions[0].session_id, u"s1"_s);
}

TEST_F(LoopbackTest, RedirectsAreFollowedAndNothingIsAnsweredFromACache)
{
    int served = 0;
    server.route(u"GET"_s, u"/moved"_s, [](const CloudRequest &) {
        CloudResponse response = CloudResponse::text("", 302);
        response.headers.set("Location", "/probe");
        return response;
    });
    server.route(u"GET"_s, u"/probe"_s, [&served](const CloudRequest &) {
        CloudResponse response = CloudResponse::text(QByteArray::number(++served));
        response.headers.set("Cache-Control", "public, max-age=3600");
        return response;
    });
    EXPECT_EQ(quorvin::test::waitFor(client().request<QString>(u"/moved"_s, u"GET"_s, std::nullopt, 5)), u"1"_s);
    EXPECT_EQ(quorvin::test::waitFor(client().request<QString>(u"/probe"_s, u"GET"_s, std::nullopt, 5)), u"2"_s);
    EXPECT_EQ(quorvin::test::waitFor(client().request<QString>(u"/probe"_s, u"GET"_s, std::nullopt, 5)), u"3"_s);
}

TEST_F(LoopbackTest, TransportFailuresAreTransportErrorsOfTheirKind)
{
    server.addFault(u"GET"_s, u"/sync"_s, CloudFault::hanging());
    EXPECT_EQ(transportFailure(client().request<QString>(u"/sync"_s, u"GET"_s, std::nullopt, 0.3)),
        TransportError::Kind::TimedOut);

    server.addFault(u"GET"_s, u"/sync"_s, CloudFault::hanging());
    CancelSource cancel;
    CloudSyncClient cancellable = client();
    cancellable.setCancelToken(cancel.token());
    QTimer::singleShot(50, [&cancel] { cancel.cancel(); });
    EXPECT_EQ(transportFailure(cancellable.sync(std::nullopt)), TransportError::Kind::Cancelled);

    // The Qt stack re-sends a request whose connection closed unexpectedly, so the drop must last.
    server.addFault(u"GET"_s, u"/sync"_s, CloudFault::dropped(), -1);
    try {
        quorvin::test::waitFor(client().sync(std::nullopt));
        ADD_FAILURE() << "a dropped connection gave an answer";
    } catch (const TransportError &) {
    }
    server.clearFaults();

    // Nothing is sent for a URL that does not parse, or without a base URL.
    const qsizetype before = server.journal().size();
    EXPECT_EQ(
        transportFailure(CloudSyncClient(u""_s, u"t"_s, recorder).sync(std::nullopt)), TransportError::Kind::BadURL);
    EXPECT_EQ(transportFailure(CloudSyncClient(u"http://exa mple.org"_s, u"t"_s, recorder).sync(std::nullopt)),
        TransportError::Kind::BadURL);
    EXPECT_EQ(server.journal().size(), before);

    const QString closedBase = loopback.baseUrl();
    loopback.stop();
    EXPECT_EQ(transportFailure(CloudSyncClient(closedBase, u"t"_s, recorder).sync(std::nullopt)),
        TransportError::Kind::CannotConnect);
}

namespace {

// The real clock, noting on which thread each piece of work sent away from the main one ran.
class ThreadNotingClock final : public Clock {
public:
    QDateTime now() const override { return Clock::system().now(); }
    QCoro::Task<void> sleep(std::chrono::milliseconds duration, CancelToken token) override
    {
        return Clock::system().sleep(duration, std::move(token));
    }
    QCoro::Task<void> runOffMainThread(std::function<void()> work) override
    {
        return Clock::system().runOffMainThread([this, work = std::move(work)] {
            // Read only after the caller resumed, on the main thread.
            threads.append(QThread::currentThread());
            work();
        });
    }

    QList<QThread *> threads;
};

} // namespace

TEST_F(LoopbackTest, LargeAnswersDecodeAwayFromTheMainThreadAndStillFailWhole)
{
    ThreadNotingClock clock;
    const CloudSyncClient client(loopback.baseUrl(), u"tok-1"_s, recorder, clock);

    // A full snapshot of a few thousand reminders runs past what is decoded in place.
    SyncResponseEnvelope snapshot;
    snapshot.full_snapshot = true;
    snapshot.next_cursor = u"c-1"_s;
    for (int i = 0; i < 3000; ++i) {
        ReminderPayload item;
        item.local_id = u"srv-%1"_s.arg(i);
        item.title = u"Reminder %1 with a longer title"_s.arg(i);
        snapshot.items.append(item);
    }
    const QByteArray body = encodeJson(snapshot);
    ASSERT_GT(body.size(), 256 * 1024);
    server.route(u"GET"_s, u"/sync"_s, [&](const CloudRequest &) { return CloudResponse::text(body); });
    const auto envelope = quorvin::test::waitFor(client.sync(std::nullopt));
    ASSERT_EQ(envelope.items.size(), 3000);
    EXPECT_EQ(envelope.items.last().local_id, u"srv-2999"_s);
    EXPECT_EQ(envelope.next_cursor, u"c-1"_s);
    ASSERT_EQ(clock.threads.size(), 1);
    EXPECT_NE(clock.threads.first(), QThread::currentThread());

    // A small answer is decoded in place.
    server.route(u"GET"_s, u"/small"_s, [](const CloudRequest &) { return CloudResponse::text(R"({"ok":true})"); });
    quorvin::test::waitFor(client.request<QString>(u"/small"_s, u"GET"_s, std::nullopt, 5));
    EXPECT_EQ(clock.threads.size(), 1);

    // A broken one fails as a whole, on the caller's side.
    QByteArray broken = body;
    broken.replace("\"srv-2999\"", "2999");
    server.route(u"GET"_s, u"/sync"_s, [&](const CloudRequest &) { return CloudResponse::text(broken); });
    EXPECT_THROW(quorvin::test::waitFor(client.sync(std::nullopt)), JSONCodingError);
}
