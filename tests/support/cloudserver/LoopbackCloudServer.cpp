#include "support/cloudserver/LoopbackCloudServer.h"

#include "support/cloudserver/CloudRequestConversion.h"
#include "support/cloudserver/CloudServer.h"

#include <httplib.h>

namespace quorvin::test {

namespace {
constexpr std::chrono::seconds longestHang(60);
}

LoopbackCloudServer::LoopbackCloudServer(CloudServer &server)
    : m_server(server)
{
}

LoopbackCloudServer::~LoopbackCloudServer()
{
    stop();
}

QString LoopbackCloudServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

bool LoopbackCloudServer::start(int port)
{
    if (m_thread.joinable()) {
        return true;
    }
    {
        std::lock_guard guard(m_waitMutex);
        m_stopping = false;
    }
    m_http = std::make_unique<httplib::Server>();
    m_http->set_keep_alive_timeout(2);
    // Headers and body go out as separate writes; without this each answer waits for the
    // client's delayed acknowledgement (tens of milliseconds a request).
    m_http->set_tcp_nodelay(true);
    // Held requests (hangs, long-polls) each occupy a thread until they end.
    m_http->new_task_queue = [] { return new httplib::ThreadPool(32); };

    const auto handler = [this](const httplib::Request &req, httplib::Response &res) {
        CloudRequest request;
        request.method = QString::fromStdString(req.method);
        setTarget(request, QString::fromStdString(req.target));
        for (const auto &[name, value] : req.headers) {
            // httplib adds these itself; they were not sent by the client.
            if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT") {
                continue;
            }
            request.headers.add(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
        }
        request.body = QByteArray::fromStdString(req.body);
        // The answer goes out uncompressed: httplib would otherwise compress it with the best (and
        // slowest) Brotli setting, which takes seconds for a large snapshot. The request is
        // httplib's own object, handed over read-only.
        const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");
        // A zero-byte body cannot be told from none here ("Content-Length: 0" is sent for both);
        // the client's Content-Type tells them apart.
        request.hasBody = !req.body.empty() || req.has_header("Transfer-Encoding");
        CloudResponse response = m_server.handle(request);
        serve(request, std::move(response), &res);
    };
    m_http->Get(".*", handler);
    m_http->Post(".*", handler);
    m_http->Put(".*", handler);
    m_http->Patch(".*", handler);
    m_http->Delete(".*", handler);
    m_http->Options(".*", handler);

    m_port = port == 0 ? m_http->bind_to_any_port("127.0.0.1") : (m_http->bind_to_port("127.0.0.1", port) ? port : -1);
    if (m_port <= 0) {
        m_http.reset();
        m_port = 0;
        return false;
    }
    m_changeListener = m_server.addChangeListener([this] {
        std::lock_guard guard(m_waitMutex);
        ++m_changes;
        m_wakeup.notify_all();
    });
    m_thread = std::thread([this] { m_http->listen_after_bind(); });
    return true;
}

void LoopbackCloudServer::stop()
{
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard guard(m_waitMutex);
        m_stopping = true;
    }
    m_wakeup.notify_all();
    m_server.removeChangeListener(m_changeListener);
    m_http->stop();
    m_thread.join();
    m_http.reset();
}

bool LoopbackCloudServer::pause(std::chrono::milliseconds duration)
{
    std::unique_lock guard(m_waitMutex);
    return !m_wakeup.wait_for(guard, duration, [this] { return m_stopping; });
}

void LoopbackCloudServer::serve(const CloudRequest &request, CloudResponse response, void *httplibResponse)
{
    Q_UNUSED(request);
    auto &res = *static_cast<httplib::Response *>(httplibResponse);
    const qsizetype journalIndex = response.journalIndex;

    if (response.delay.count() > 0 && !pause(response.delay)) {
        res.status = 503;
        return;
    }
    if (response.hang) {
        pause(longestHang);
        res.status = 503;
        return;
    }
    if (response.deferred) {
        const auto deferred = response.deferred;
        const auto heldUntil = std::chrono::steady_clock::now() + deferred->maxWait;
        while (true) {
            const quint64 seen = m_changes.load();
            std::optional<CloudResponse> answer;
            {
                auto guard = m_server.lock();
                const bool timedOut = std::chrono::steady_clock::now() >= heldUntil;
                answer = deferred->poll(timedOut);
                if (!answer && timedOut) {
                    answer = CloudResponse::error(500, QStringLiteral("deferred answer missing"));
                }
            }
            if (answer) {
                response = std::move(*answer);
                break;
            }
            std::unique_lock guard(m_waitMutex);
            m_wakeup.wait_until(guard, heldUntil, [&] { return m_stopping || m_changes.load() != seen; });
            if (m_stopping) {
                res.status = 503;
                return;
            }
        }
    }
    if (response.dropConnection) {
        // httplib cannot close without a status line; a 200 whose body breaks off is the nearest.
        res.status = 200;
        // A promised length that never arrives: the client cannot take the cut for a short body.
        res.set_content_provider(1024, "application/json", [](size_t, size_t, httplib::DataSink &) { return false; });
        return;
    }

    m_server.recordAnswer(journalIndex, response.status);
    res.status = response.status;
    std::string contentType = "application/octet-stream";
    for (const auto &[name, value] : response.headers.fields()) {
        if (name.compare("Content-Type", Qt::CaseInsensitive) == 0) {
            contentType = value.toStdString();
        } else {
            res.set_header(name.toStdString(), value.toStdString());
        }
    }
    res.set_content(response.body.toStdString(), contentType);
}

} // namespace quorvin::test
