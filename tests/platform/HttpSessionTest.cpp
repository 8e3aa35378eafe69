#include "platform/http/QtHttpSession.h"
#include "platform/http/TransportError.h"

#include "support/WaitFor.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

// A bare HTTP/1.1 listener on 127.0.0.1 on the test's own thread: it keeps each request exactly as
// it came off the socket and answers every one with `answer`.
class RawHttpServer {
public:
    RawHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++connections;
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    buffer->append(socket->readAll());
                    const qsizetype end = buffer->indexOf("\r\n\r\n");
                    if (end < 0) {
                        return;
                    }
                    qsizetype length = 0;
                    for (const QByteArray &line : buffer->left(end).split('\n')) {
                        if (line.toLower().startsWith("content-length:")) {
                            length = line.mid(15).trimmed().toLongLong();
                        }
                    }
                    if (buffer->size() < end + 4 + length) {
                        return;
                    }
                    requests.append(buffer->left(end + 4 + length));
                    buffer->remove(0, end + 4 + length);
                    if (dropBeforeAnswer) {
                        socket->abort();
                        return;
                    }
                    if (trickle) {
                        // The head at once, then one body byte per tick, never a gap as long as
                        // the request's time-out.
                        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
                        auto *tick = new QTimer(socket);
                        QObject::connect(tick, &QTimer::timeout, socket, [socket] { socket->write("x"); });
                        tick->start(100);
                        return;
                    }
                    socket->write(answer);
                    if (holdLoopWhileSending) {
                        // The whole answer goes out while this loop does nothing else, so the
                        // client's stack holds all of it before its first notice is handled.
                        while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(5000)) { }
                    }
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QUrl url(const QString &path) const { return QUrl(u"http://127.0.0.1:%1"_s.arg(m_server.serverPort()) + path); }

    // The header lines of request `index`, lowercased names, without the request line.
    QMap<QByteArray, QByteArray> headers(qsizetype index) const
    {
        QMap<QByteArray, QByteArray> result;
        const QByteArray &request = requests.at(index);
        const QList<QByteArray> lines = request.left(request.indexOf("\r\n\r\n")).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            result.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        return result;
    }

    QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    QList<QByteArray> requests;
    int connections = 0;
    // Keeps the request, then closes the connection without a word: the write may have been stored.
    bool dropBeforeAnswer = false;
    bool trickle = false;
    bool holdLoopWhileSending = false;

private:
    QTcpServer m_server;
};

HttpRequest requestTo(const QUrl &url, const QByteArray &method)
{
    HttpRequest request;
    request.url = url;
    request.method = method;
    request.timeout = std::chrono::seconds(10);
    return request;
}

TransportError::Kind failure(QtHttpSession &session, HttpRequest request)
{
    try {
        quorvin::test::waitFor(session.send(std::move(request)));
    } catch (const TransportError &error) {
        return error.kind();
    }
    ADD_FAILURE() << "the request succeeded";
    return TransportError::Kind::Other;
}

} // namespace

TEST(QtHttpSession, SendsExactlyWhatItIsGivenAndHandsBackEveryStatus)
{
    RawHttpServer server;
    QtHttpSession session;

    HttpRequest get = requestTo(server.url(u"/a/b%2Fc?x=1%262&y=/?"_s), "GET");
    get.headers.set("Accept", "application/json");
    get.headers.set("Authorization", "Bearer t");
    const HttpResponse ok = quorvin::test::waitFor(session.send(get));
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(ok.body, "ok");
    EXPECT_EQ(ok.headers.value("content-length"), QByteArray("2"));
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_TRUE(server.requests[0].startsWith("GET /a/b%2Fc?x=1%262&y=/? HTTP/1.1\r\n")) << server.requests[0].data();
    auto headers = server.headers(0);
    EXPECT_EQ(headers.value("accept"), "application/json");
    EXPECT_EQ(headers.value("authorization"), "Bearer t");
    EXPECT_FALSE(headers.contains("content-type"));
    EXPECT_FALSE(headers.contains("content-length"));

    // A POST without a body still announces its length, and no type is made up for it.
    quorvin::test::waitFor(session.send(requestTo(server.url(u"/p"_s), "POST")));
    headers = server.headers(1);
    EXPECT_EQ(headers.value("content-length"), "0");
    EXPECT_FALSE(headers.contains("content-type"));

    HttpRequest post = requestTo(server.url(u"/p"_s), "POST");
    post.body = QByteArray(R"({"k":"值"})");
    post.headers.set("Content-Type", "application/json");
    quorvin::test::waitFor(session.send(post));
    EXPECT_TRUE(server.requests[2].endsWith("\r\n\r\n" + *post.body));
    EXPECT_EQ(server.headers(2).value("content-type"), "application/json");

    HttpRequest remove = requestTo(server.url(u"/d/s%201"_s), "DELETE");
    quorvin::test::waitFor(session.send(remove));
    EXPECT_TRUE(server.requests[3].startsWith("DELETE /d/s%201 HTTP/1.1\r\n"));

    // Error statuses are answers, with their bodies, not failures.
    server.answer = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 4\r\nConnection: close\r\n\r\nbusy";
    const HttpResponse busy = quorvin::test::waitFor(session.send(get));
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.body, "busy");
}

TEST(QtHttpSession, ALargeAnswerThatArrivedAllAtOnceIsHandedBackWhole)
{
    RawHttpServer server;
    QtHttpSession session;
    QByteArray body(12 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < body.size(); ++i) {
        body[i] = char('a' + i % 23);
    }
    server.answer = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\n\r\n" + body;
    server.holdLoopWhileSending = true;
    const HttpResponse answer = quorvin::test::waitFor(session.send(requestTo(server.url(u"/big"_s), "GET")));
    EXPECT_EQ(answer.body.size(), body.size());
    EXPECT_TRUE(answer.body == body);
}

TEST(QtHttpSession, RefusesWhatItCannotSendWithoutConnecting)
{
    RawHttpServer server;
    QtHttpSession session;

    CancelSource cancelled;
    cancelled.cancel();
    HttpRequest early = requestTo(server.url(u"/x"_s), "GET");
    early.cancel = cancelled.token();
    EXPECT_EQ(failure(session, early), TransportError::Kind::Cancelled);

    for (const QString &url : {u"ftp://127.0.0.1/x"_s, u"file:///etc/hostname"_s, u"/relative"_s, u"http://"_s}) {
        SCOPED_TRACE(url.toStdString());
        EXPECT_EQ(failure(session, requestTo(QUrl(url), "GET")), TransportError::Kind::BadURL);
    }
    EXPECT_EQ(server.connections, 0);
}

TEST(QtHttpSession, NeverResendsAWriteOnItsOwnAndTimesOutTheWholeExchange)
{
    RawHttpServer server;
    QtHttpSession session;

    // A warm connection first, so the write goes out on a reused one as in a real pass.
    quorvin::test::waitFor(session.send(requestTo(server.url(u"/warm"_s), "GET")));
    server.dropBeforeAnswer = true;
    HttpRequest post = requestTo(server.url(u"/reminders/upsert"_s), "POST");
    post.body = QByteArray(R"({"title":"once"})");
    EXPECT_EQ(failure(session, post), TransportError::Kind::ConnectionLost);
    HttpRequest remove = requestTo(server.url(u"/reminders/s1"_s), "DELETE");
    EXPECT_EQ(failure(session, remove), TransportError::Kind::ConnectionLost);
    ASSERT_EQ(server.requests.size(), 3);
    EXPECT_TRUE(server.requests[1].endsWith(*post.body));
    EXPECT_TRUE(server.requests[2].startsWith("DELETE "));

    // An answer that keeps trickling in counts against the whole time-out, not the gaps.
    server.dropBeforeAnswer = false;
    server.trickle = true;
    HttpRequest slow = requestTo(server.url(u"/sync/pull"_s), "GET");
    slow.timeout = std::chrono::milliseconds(700);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(failure(session, slow), TransportError::Kind::TimedOut);
    EXPECT_LT(elapsed.elapsed(), 3000);
}
