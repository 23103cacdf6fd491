#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct ssl_ctx_st;
struct ssl_st;

namespace testsupport {

// An HTTP server of the test's own on 127.0.0.1, on a thread of its own: each
// request head (up to the empty line) goes to the script, whose reply is sent
// back as it stands. Everything it saw can be read from the test's thread.
// With a certificate it speaks TLS (https) instead.
class ScriptedHttpServer {
public:
    enum After {
        Close,    // orderly close after the reply (with a TLS close_notify)
        KeepOpen, // wait for the next request on the same connection
        Hold,     // send nothing more; wait until the client goes
        Cut,      // TLS: close the connection without a close_notify
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
    // A TLS server showing the certificate (PEM, with its key).
    ScriptedHttpServer(Script script, const QString& certificateFile, const QString& keyFile);
    ~ScriptedHttpServer();

    std::uint16_t port() const { return m_port; }
    QList<QByteArray> requests() const;
    int connections() const { return m_connections; }
    // Connections the client has closed or dropped.
    int closedByClient() const { return m_closedByClient; }
    // TLS: the server name each client asked for ("" for none), in order.
    QList<QByteArray> serverNames() const;
    // TLS: connections whose handshake failed.
    int failedHandshakes() const { return m_failedHandshakes; }

    // One connection, plain or TLS.
    struct Link {
        int fd = -1;
        ssl_st* tls = nullptr;
    };

private:
    void start();
    void acceptLoop();
    void serve(int fd, int connection);
    bool handshake(Link& link);
    bool readRequest(Link& link, QByteArray& pending, QByteArray& request);
    qsizetype receive(Link& link, char* buffer, qsizetype length);
    bool sendAll(Link& link, const QByteArray& bytes);
    bool waitUntil(Link& link, int sslError);
    void waitForClient(Link& link);
    bool readable(int fd);
    bool writable(int fd);

    Script m_script;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_closedByClient{0};
    std::atomic<int> m_failedHandshakes{0};
    ssl_ctx_st* m_tlsContext = nullptr;
    QList<QByteArray> m_serverNames;
    mutable std::mutex m_mutex;
    QList<QByteArray> m_requests;
    std::vector<std::thread> m_threads;
    std::thread m_acceptThread;
};

} // namespace testsupport
