#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace testsupport {

// An HTTP server of the test's own on 127.0.0.1, on a thread of its own: each
// request head (up to the empty line) goes to the script, whose reply is sent
// back as it stands. Everything it saw can be read from the test's thread.
class ScriptedHttpServer {
public:
    enum After {
        Close,    // orderly close after the reply
        KeepOpen, // wait for the next request on the same connection
        Hold,     // send nothing more; wait until the client goes
        Reset     // close with a reset instead of an orderly end
    };
    struct Reply {
        QByteArray bytes;
        After after = Close;
        // Called for more bytes to send after `bytes`, until it returns
        // none or the client goes: endless or slow answers.
        std::function<QByteArray()> more = nullptr;
    };
    // request: the head with its CR LF; connection: 1 for the first one.
    using Script = std::function<Reply(const QByteArray& request, int connection)>;

    explicit ScriptedHttpServer(Script script);
    ~ScriptedHttpServer();

    std::uint16_t port() const { return m_port; }
    QList<QByteArray> requests() const;
    int connections() const { return m_connections; }
    // Connections the client has closed or dropped.
    int closedByClient() const { return m_closedByClient; }

private:
    void acceptLoop();
    void serve(int fd, int connection);
    bool readRequest(int fd, QByteArray& pending, QByteArray& request);
    bool sendAll(int fd, const QByteArray& bytes);
    void waitForClient(int fd);
    bool readable(int fd);

    Script m_script;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_closedByClient{0};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_requests;
    std::vector<std::thread> m_threads;
    std::thread m_acceptThread;
};

} // namespace testsupport
