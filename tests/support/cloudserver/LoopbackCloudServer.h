#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
}

namespace quorvin::test {

class CloudServer;
struct CloudRequest;
struct CloudResponse;

// Serves a CloudServer over real HTTP on 127.0.0.1 at an ephemeral port, from threads of its own.
// Requests reach the model under its lock. Delays, hangs and held long-polls wait in real time but
// end at once when the server stops; a dropped connection sends a 200 status line and headers
// promising a body, then closes the socket.
class LoopbackCloudServer {
public:
    explicit LoopbackCloudServer(CloudServer &server);
    LoopbackCloudServer(const LoopbackCloudServer &) = delete;
    LoopbackCloudServer &operator=(const LoopbackCloudServer &) = delete;
    ~LoopbackCloudServer();

    // Binds and starts serving; false when no port could be bound. `port` 0 picks a free one.
    bool start(int port = 0);
    // Ends held requests, closes the listener and joins its thread. Safe to call twice.
    void stop();

    int port() const { return m_port; }
    bool isRunning() const { return m_thread.joinable(); }
    // "http://127.0.0.1:<port>"
    QString baseUrl() const;

private:
    void serve(const CloudRequest &request, CloudResponse response, void *httplibResponse);
    // Waits up to `duration` or until stop(); returns false when stopped.
    bool pause(std::chrono::milliseconds duration);

    CloudServer &m_server;
    std::unique_ptr<httplib::Server> m_http;
    std::thread m_thread;
    int m_port = 0;
    int m_changeListener = 0;

    std::mutex m_waitMutex;
    std::condition_variable m_wakeup;
    std::atomic<quint64> m_changes {0};
    bool m_stopping = false;
};

} // namespace quorvin::test
