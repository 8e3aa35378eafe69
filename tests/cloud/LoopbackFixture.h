#pragma once

#include "cloud/CloudSyncClient.h"
#include "platform/http/QtHttpSession.h"
#include "support/WaitFor.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/LoopbackCloudServer.h"

#include <gtest/gtest.h>

#include <QSet>

namespace quorvin::test {

// Records what the client asked of the HTTP layer (the time-out never reaches the wire), then
// hands the request to the real session.
class RecordingHttpSession final : public HttpSession {
public:
    explicit RecordingHttpSession(HttpSession &inner)
        : m_inner(inner)
    {
    }

    QCoro::Task<HttpResponse> send(HttpRequest request) override
    {
        requests.append(request);
        return m_inner.send(std::move(request));
    }

    QList<HttpRequest> requests;

private:
    HttpSession &m_inner;
};

// The real client over the real Qt session against the test service on 127.0.0.1.
class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loopback.start()); }

    CloudSyncClient client(const QString &token = QStringLiteral("tok-1"))
    {
        return CloudSyncClient(loopback.baseUrl(), token, recorder);
    }

    // The header names the client chose, without those the HTTP stack adds on its own.
    static QSet<QString> clientHeaderNames(const CloudRequest &request)
    {
        static const QSet<QString> stack {QStringLiteral("host"), QStringLiteral("connection"),
            QStringLiteral("accept-encoding"), QStringLiteral("accept-language"), QStringLiteral("user-agent"),
            QStringLiteral("content-length")};
        QSet<QString> names;
        for (const auto &[name, value] : request.headers.fields()) {
            const QString lower = QString::fromLatin1(name).toLower();
            if (!stack.contains(lower)) {
                names.insert(lower);
            }
        }
        return names;
    }

    CloudServer server;
    LoopbackCloudServer loopback {server};
    QtHttpSession http;
    RecordingHttpSession recorder {http};
};

} // namespace quorvin::test
