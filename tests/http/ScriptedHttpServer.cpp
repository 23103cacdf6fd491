#include "ScriptedHttpServer.h"

#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

ScriptedHttpServer::ScriptedHttpServer(Script script)
    : m_script(std::move(script)) {
    start();
}

ScriptedHttpServer::ScriptedHttpServer(Script script, const QString& certificateFile,
                                       const QString& keyFile)
    : m_script(std::move(script)) {
    m_tlsContext = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate_chain_file(m_tlsContext,
                                       QFile::encodeName(certificateFile).constData());
    SSL_CTX_use_PrivateKey_file(m_tlsContext, QFile::encodeName(keyFile).constData(),
                                SSL_FILETYPE_PEM);
    start();
}

void ScriptedHttpServer::start() {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&local), sizeof local);
    ::listen(m_listener, 16);
    socklen_t length = sizeof local;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&local), &length);
    m_port = ntohs(local.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
    m_stop = true;
    m_acceptThread.join();
    for (std::thread& thread : m_threads)
        thread.join();
    ::close(m_listener);
    SSL_CTX_free(m_tlsContext);
}

QList<QByteArray> ScriptedHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

QList<QByteArray> ScriptedHttpServer::serverNames() const {
    std::lock_guard lock(m_mutex);
    return m_serverNames;
}

// The threads look at the stop flag between short polls, so the server ends
// promptly with the test.
bool ScriptedHttpServer::readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    while (!m_stop) {
        if (::poll(&entry, 1, 20) > 0)
            return true;
    }
    return false;
}

bool ScriptedHttpServer::writable(int fd) {
    pollfd entry{fd, POLLOUT, 0};
    while (!m_stop) {
        if (::poll(&entry, 1, 20) > 0)
            return true;
    }
    return false;
}

void ScriptedHttpServer::acceptLoop() {
    while (readable(m_listener)) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int connection = ++m_connections;
        std::lock_guard lock(m_mutex);
        m_threads.emplace_back([this, fd, connection] { serve(fd, connection); });
    }
}

void ScriptedHttpServer::serve(int fd, int connection) {
    // OpenSSL writes with write(): a client that has gone must give this
    // thread EPIPE, not end the test program. Only this thread is spared,
    // so the client under test still dies of a SIGPIPE it would raise.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    Link link{fd, nullptr};
    if (m_tlsContext && !handshake(link)) {
        ++m_failedHandshakes;
        SSL_free(link.tls);
        ::close(fd);
        return;
    }
    QByteArray pending;
    QByteArray request;
    After after = Close;
    while (readRequest(link, pending, request)) {
        {
            std::lock_guard lock(m_mutex);
            m_requests.append(request);
        }
        const Reply reply = m_script(request, connection);
        after = reply.after;
        bool sending = sendAll(link, reply.bytes);
        while (sending && reply.more) {
            const QByteArray next = reply.more();
            sending = !next.isEmpty() && sendAll(link, next);
        }
        if (after == Hold)
            waitForClient(link);
        if (after == Reset) {
            const linger hard{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        }
        if (after != KeepOpen)
            break;
    }
    if (link.tls && after != Cut)
        SSL_shutdown(link.tls);
    SSL_free(link.tls);
    ::close(fd);
}

// The TLS side runs on a non-blocking socket, so that every wait is one of
// the polls that watch the stop flag.
bool ScriptedHttpServer::handshake(Link& link) {
    ::fcntl(link.fd, F_SETFL, ::fcntl(link.fd, F_GETFL) | O_NONBLOCK);
    link.tls = SSL_new(m_tlsContext);
    SSL_set_fd(link.tls, link.fd);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_accept(link.tls);
        if (result == 1)
            break;
        if (!waitUntil(link, SSL_get_error(link.tls, result)))
            return false;
    }
    const char* name = SSL_get_servername(link.tls, TLSEXT_NAMETYPE_host_name);
    std::lock_guard lock(m_mutex);
    m_serverNames.append(QByteArray(name ? name : ""));
    return true;
}

// Waits for what OpenSSL asked for; false when it asked for nothing a wait
// can give (a failure or the end of the session).
bool ScriptedHttpServer::waitUntil(Link& link, int sslError) {
    if (sslError == SSL_ERROR_WANT_READ)
        return readable(link.fd);
    if (sslError == SSL_ERROR_WANT_WRITE)
        return writable(link.fd);
    return false;
}

// Bytes from the client; 0 when it has closed or failed.
qsizetype ScriptedHttpServer::receive(Link& link, char* buffer, qsizetype length) {
    if (!link.tls) {
        if (!readable(link.fd))
            return 0;
        return std::max<qsizetype>(::recv(link.fd, buffer, size_t(length), 0), 0);
    }
    for (;;) {
        ERR_clear_error();
        size_t got = 0;
        if (SSL_read_ex(link.tls, buffer, size_t(length), &got) == 1)
            return qsizetype(got);
        if (!waitUntil(link, SSL_get_error(link.tls, 0)))
            return 0;
    }
}

bool ScriptedHttpServer::sendAll(Link& link, const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const size_t left = size_t(bytes.size() - sent);
        if (!link.tls) {
            // Never blocks, so a client that stopped reading cannot keep the
            // server from ending with the test.
            if (!writable(link.fd))
                return false;
            const ssize_t n =
                ::send(link.fd, bytes.constData() + sent, left, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                continue;
            if (n <= 0)
                return false;
            sent += n;
            continue;
        }
        ERR_clear_error();
        size_t written = 0;
        if (SSL_write_ex(link.tls, bytes.constData() + sent, left, &written) == 1)
            sent += qsizetype(written);
        else if (!waitUntil(link, SSL_get_error(link.tls, 0)))
            return false;
    }
    return true;
}

bool ScriptedHttpServer::readRequest(Link& link, QByteArray& pending, QByteArray& request) {
    while (!pending.contains("\r\n\r\n")) {
        char buffer[4096];
        const qsizetype n = receive(link, buffer, sizeof buffer);
        if (n <= 0) {
            if (!m_stop)
                ++m_closedByClient;
            return false;
        }
        pending.append(buffer, n);
    }
    const qsizetype end = pending.indexOf("\r\n\r\n") + 4;
    request = pending.left(end);
    pending.remove(0, end);
    return true;
}

void ScriptedHttpServer::waitForClient(Link& link) {
    char buffer[4096];
    while (!m_stop) {
        if (receive(link, buffer, sizeof buffer) <= 0) {
            if (!m_stop)
                ++m_closedByClient;
            return;
        }
    }
}

} // namespace testsupport
