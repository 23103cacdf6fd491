#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

sockaddr_in addressOf(const char* address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &result.sin_addr);
    return result;
}

namespace {

// An IPv4 or IPv6 socket address of a numeric address and a port.
sockaddr_storage socketAddressOf(const char* address, std::uint16_t port, socklen_t& length) {
    sockaddr_storage result{};
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&result);
    if (::inet_pton(AF_INET6, address, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        length = sizeof(sockaddr_in6);
        return result;
    }
    const sockaddr_in v4 = addressOf(address, port);
    std::memcpy(&result, &v4, sizeof v4);
    length = sizeof v4;
    return result;
}

bool readable(int fd, int milliseconds) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, milliseconds) > 0;
}

} // namespace

// Below the system's ephemeral range (32768 and up on Linux): a port handed
// out there could be taken meanwhile as the local end of any outgoing
// connection of a test running beside this one. Here only another test's
// choice can collide, and the random start makes that rare.
std::uint16_t freeTcpPort() {
    static std::mt19937 random(std::random_device{}() ^ std::uint32_t(::getpid()));
    constexpr int First = 20000;
    constexpr int Count = 12000;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const auto port = std::uint16_t(First + int(random() % Count));
        RawSocket probe;
        if (probe.listenOn("0.0.0.0", port))
            return port;
    }
    RawSocket probe;
    probe.listenOn("127.0.0.1", 0);
    return probe.localPort();
}

RawSocket::~RawSocket() {
    close();
}

RawSocket::RawSocket(RawSocket&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_peerClosed(other.m_peerClosed) {}

RawSocket& RawSocket::operator=(RawSocket&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_peerClosed = other.m_peerClosed;
    }
    return *this;
}

bool RawSocket::connectTo(const char* address, std::uint16_t port, int receiveBuffer,
                          const char* from) {
    close();
    socklen_t length = 0;
    const sockaddr_storage remote = socketAddressOf(address, port, length);
    m_fd = ::socket(remote.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        setReceiveBuffer(receiveBuffer); // before connecting, so the window is small from the start
    if (from) {
        const sockaddr_in local = addressOf(from, 0);
        if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            close();
            return false;
        }
    }
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&remote), length) != 0) {
        close();
        return false;
    }
    return true;
}

bool RawSocket::listenOn(const char* address, std::uint16_t port) {
    close();
    socklen_t length = 0;
    const sockaddr_storage local = socketAddressOf(address, port, length);
    m_fd = ::socket(local.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), length) != 0 ||
        ::listen(m_fd, 16) != 0) {
        close();
        return false;
    }
    return true;
}

std::uint16_t RawSocket::localPort() const {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length);
    if (local.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
}

bool ipv6LoopbackWorks() {
    RawSocket probe;
    return probe.listenOn("::1", 0);
}

RawSocket RawSocket::accept(int milliseconds) {
    // The peer may be in this very process, so the event loop keeps running.
    if (!waitFor([this] { return readable(m_fd, 0); }, milliseconds))
        return RawSocket();
    return RawSocket(::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC));
}

void RawSocket::setReceiveBuffer(int bytes) {
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

qsizetype RawSocket::pendingBytes() const {
    int bytes = 0;
    return ::ioctl(m_fd, FIONREAD, &bytes) == 0 ? bytes : 0;
}

bool RawSocket::sendAll(const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

qsizetype RawSocket::sendSome(const QByteArray& bytes) {
    const ssize_t n =
        ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    return n > 0 ? n : 0;
}

QByteArray RawSocket::readAvailable() {
    QByteArray result;
    char buffer[65536];
    while (!m_peerClosed && readable(m_fd, 0)) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) {
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                m_peerClosed = true;
            break;
        }
        result.append(buffer, n);
    }
    return result;
}

QByteArray RawSocket::readExactly(qsizetype count, int milliseconds) {
    QByteArray result;
    waitFor(
        [&] {
            result += readAvailable();
            return result.size() >= count || m_peerClosed;
        },
        milliseconds);
    return result;
}

bool RawSocket::peerClosed(int milliseconds) {
    return waitFor(
        [this] {
            readAvailable();
            return m_peerClosed;
        },
        milliseconds);
}

void RawSocket::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void RawSocket::reset() {
    const linger abortive{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    close();
}

ChildProgram::ChildProgram(const QString& program, std::uint16_t port, const QString& instance,
                           const QString& home)
    : m_environment(QProcessEnvironment::systemEnvironment())
    , m_program(program) {
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("dunvex.*.info=true"));
    m_environment.insert(QStringLiteral("DUNVEX_PORT"), QString::number(port));
    m_environment.insert(QStringLiteral("DUNVEX_INSTANCE"), instance);
    m_environment.insert(QStringLiteral("DUNVEX_HOME"), home);
    // No lobby runs during tests: its port is one nobody listens on.
    m_environment.insert(QStringLiteral("DUNVEX_LOBBY_PORT"), QString::number(freeTcpPort()));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead,
                     [this] { m_output += QString::fromLocal8Bit(m_process.readAll()); });
}

ChildProgram::~ChildProgram() {
    kill();
}

void ChildProgram::setEnvironment(const QString& name, const QString& value) {
    m_environment.insert(name, value);
}

void ChildProgram::start(const QStringList& arguments) {
    m_process.setProcessEnvironment(m_environment);
    m_process.start(m_program, arguments);
    m_process.waitForStarted();
}

bool ChildProgram::waitForOutput(const QString& text, int milliseconds) {
    return waitFor([&] { return m_output.contains(text); }, milliseconds);
}

bool ChildProgram::waitForExit(int milliseconds) {
    return waitFor([this] { return m_process.state() == QProcess::NotRunning; }, milliseconds);
}

void ChildProgram::kill() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString gameProgram() {
    return QStringLiteral(DUNVEX_PROGRAM_DIR "/dunvex");
}

} // namespace testsupport
