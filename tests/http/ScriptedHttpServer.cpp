#include "ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

ScriptedHttpServer::ScriptedHttpServer(Script script)
    : m_script(std::move(script)) {
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
}

QList<QByteArray> ScriptedHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
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
    QByteArray pending;
    QByteArray request;
    while (readRequest(fd, pending, request)) {
        {
            std::lock_guard lock(m_mutex);
            m_requests.append(request);
        }
        const Reply reply = m_script(request, connection);
        bool sending = sendAll(fd, reply.bytes);
        while (sending && reply.more) {
            const QByteArray next = reply.more();
            sending = !next.isEmpty() && sendAll(fd, next);
        }
        if (reply.after == Hold)
            waitForClient(fd);
        if (reply.after == Reset) {
            const linger hard{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        }
        if (reply.after != KeepOpen)
            break;
    }
    ::close(fd);
}

// False when the client has gone or the server is ending.
bool ScriptedHttpServer::sendAll(int fd, const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        pollfd entry{fd, POLLOUT, 0};
        if (::poll(&entry, 1, 20) <= 0) {
            if (m_stop)
                return false;
            continue;
        }
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

bool ScriptedHttpServer::readRequest(int fd, QByteArray& pending, QByteArray& request) {
    while (!pending.contains("\r\n\r\n")) {
        char buffer[4096];
        if (!readable(fd))
            return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
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

void ScriptedHttpServer::waitForClient(int fd) {
    char buffer[4096];
    while (readable(fd)) {
        if (::recv(fd, buffer, sizeof buffer, 0) <= 0) {
            ++m_closedByClient;
            return;
        }
    }
}

} // namespace testsupport
