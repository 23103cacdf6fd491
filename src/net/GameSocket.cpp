#include "net/GameSocket.h"

#include "net/GameSocketStream.h"
#include "net/HostCache.h"
#include "net/HostResolver.h"
#include "net/SocketCalls.h"
#include "net/SocketErrors.h"
#include "platform/ExceptionHandler.h"
#include "platform/StrToInt.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using net::wouldBlock;

void setNonBlocking(int fd, bool nonBlocking) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}

std::vector<net::Endpoint> firstAddresses(std::vector<net::Endpoint> addresses) {
    if (addresses.size() > TGameSocket::MaxHostAddresses)
        addresses.resize(TGameSocket::MaxHostAddresses);
    return addresses;
}

} // namespace

TGameSocket::TGameSocket(QObject* owner)
    : QObject(owner)
    , m_stream(std::make_unique<TGameSocketStream>(*this)) {
    createNotifiers();
}

TGameSocket::TGameSocket(TGameSocket* listener, int acceptedFd)
    : QObject(listener)
    , m_stream(std::make_unique<TGameSocketStream>(*this)) {
    createNotifiers();
    m_fd = acceptedFd;
    m_blockingTimeout = listener->m_blockingTimeout;
    OnRead = listener->OnRead;
    OnWrite = listener->OnWrite;
    OnDisconnect = listener->OnDisconnect;
    OnClose = listener->OnClose;
    OnInfo = listener->OnInfo;
    m_connected = true;
    m_writeEventDue = true;
    setBlocking(listener->m_blocking);
}

TGameSocket::~TGameSocket() {
    cancelLookup();
    waitForWorkers();
    if (m_listen || m_connected) {
        Close();
    } else if (m_fd >= 0) {
        m_readNotifier->setEnabled(false);
        m_writeNotifier->setEnabled(false);
        ::close(m_fd);
    }
}

void TGameSocket::createNotifiers() {
    m_readNotifier = new QSocketNotifier(QSocketNotifier::Read, this);
    m_writeNotifier = new QSocketNotifier(QSocketNotifier::Write, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] {
        dispatchEvent(m_listen ? &TGameSocket::acceptNotification : &TGameSocket::readNotification);
    });
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        dispatchEvent(m_connecting ? &TGameSocket::connectNotification
                                   : &TGameSocket::writeNotification);
    });
}

// ---------------------------------------------------------------- properties

void TGameSocket::setSocketType(TSocketType type) {
    if (m_listen)
        throw EGameSocketException("SocketType - Can't Assign Socket Type While Listening");
    if (m_connected)
        throw EGameSocketException("SocketType - Can't Assign Socket Type While Connected");
    m_socketType = type;
}

void TGameSocket::setHostName(const QString& name) {
    if (m_connected && m_socketType == stStream)
        info(siLookup, QStringLiteral("Setting HostName While Connected Has No Effect"));
    m_hostName = name;
    if (m_connected && m_socketType == stDatagram)
        m_remoteAddress = net::Endpoint::ipv4(LookupHost(name), m_remoteAddress.port());
}

void TGameSocket::setPortName(const QString& name) {
    if (m_connected)
        info(siLookup, QStringLiteral("Setting PortName While Connected Has No Effect"));
    m_portName = name;
}

void TGameSocket::setBlocking(bool blocking) {
    m_blocking = blocking;
    if (m_fd >= 0)
        applyNotificationMode();
}

void TGameSocket::setListen(bool listen) {
    if (m_fd >= 0 && !m_listen) {
        m_listen = false;
        throw EGameSocketException("Listen - Socket Already In Use");
    }
    if (listen && m_socketType == stDatagram) {
        m_listen = false;
        throw EGameSocketException("Listen - Cannot Listen On A Datagram Socket");
    }
    if (!listen) {
        m_listen = false;
        Close();
        info(siListen, QStringLiteral("Listening Stopped"));
    } else if (m_listen) {
        info(siListen, QStringLiteral("Listening Already Running"));
    } else {
        startListening();
    }
}

void TGameSocket::startListening() {
    const std::uint16_t port = LookupPort(m_portName);
    m_listen = true;
    net::Endpoint local;
    m_fd = createListener(local);
    local.setPort(port);
    // Let a restarted host take its port back while old connections linger in
    // TIME_WAIT; a port that something still listens on stays refused.
    const int reuse = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    applyNotificationMode();
    m_listen = false;
    updateNotifiers();
    if (::bind(m_fd, local.address(), local.length) != 0)
        throw EGameSocketException("Listen - Error Binding Socket");
    if (::listen(m_fd, 5) != 0)
        throw EGameSocketException("Listen - Error Starting Listen");
    m_listen = true;
    updateNotifiers();
    info(siListen, QStringLiteral("Listening Started"));
}

// ---------------------------------------------------------------- operations

bool TGameSocket::Open() {
    if (m_fd >= 0 || m_lookup)
        return m_connected;

    m_remotePort = LookupPort(m_portName);
    m_sendBroken = false;
    m_datagramDue = false;
    if (m_socketType == stDatagram) {
        // A datagram socket binds to this address, so it takes any local one.
        m_remoteAddress = net::Endpoint::ipv4(LookupHost(QString()), m_remotePort);
        m_fd = createSocket(AF_INET, stDatagram);
        applyNotificationMode();
        openDatagram();
        return m_connected;
    }
    if (lookUpStreamHost())
        connectNext();
    return m_connected;
}

// Sets the addresses to connect to when they are known at once (an address,
// a name in the host cache, or any name for a blocking socket, which waits
// anyway). Otherwise starts the lookup, which connects when it is answered.
bool TGameSocket::lookUpStreamHost() {
    if (m_blocking || m_hostName.isEmpty()) {
        m_candidates = resolveNow(m_hostName);
        return true;
    }
    info(siLookup, QStringLiteral("Lookup Of Host ") + m_hostName);
    if (const auto address = net::parseAddress(m_hostName)) {
        m_candidates = {*address};
        return true;
    }
    if (const auto cached = net::HostCache::find(m_hostName)) {
        m_candidates = *cached;
        return true;
    }
    m_lookupName = m_hostName;
    m_lookup = net::HostLookup::start(
        m_hostName, this, [this](const net::Resolution& answer) { lookupAnswered(answer); });
    return false;
}

void TGameSocket::lookupAnswered(const net::Resolution& answer) {
    m_lookup.reset();
    platform::runGuarded([&] {
        if (answer.addresses.empty())
            throw EGameSocketException("Host Lookup - Could Not Find Host Entry");
        m_candidates = firstAddresses(answer.addresses);
        net::HostCache::add(m_lookupName, m_candidates);
        connectNext();
    });
}

void TGameSocket::cancelLookup() {
    if (!m_lookup)
        return;
    m_lookup->cancel();
    m_lookup.reset();
}

// Connects to the next of the host's addresses. One of a family this system
// lacks is passed over; the failure to connect to one is reported only when
// no other is left to try.
void TGameSocket::connectNext() {
    int error = 0;
    while (!m_candidates.empty()) {
        m_remoteAddress = m_candidates.front();
        m_candidates.erase(m_candidates.begin());
        m_remoteAddress.setPort(m_remotePort);
        const int fd = ::socket(m_remoteAddress.family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = errno;
            continue;
        }
        m_fd = fd;
        applyNotificationMode();
        if (m_blocking)
            return connectBlocking();
        return connectNonBlocking();
    }
    if (m_blocking) {
        QPointer<TGameSocket> alive(this);
        info(siClose, QStringLiteral("Blocking Socket Can't Connect"));
        if (alive)
            Close();
        return;
    }
    failConnectLater(net::winsockErrorCode(error));
}

// After a failed connect: on to the host's next address, if it has one.
bool TGameSocket::retryNextAddress() {
    if (m_candidates.empty())
        return false;
    closeAttempt();
    connectNext();
    return true;
}

void TGameSocket::closeAttempt() {
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    ::close(m_fd);
    m_fd = -1;
    m_connecting = false;
    m_pendingConnectError = 0;
}

void TGameSocket::connectNonBlocking() {
    m_connecting = true;
    const int result = ::connect(m_fd, m_remoteAddress.address(), m_remoteAddress.length);
    if (result != 0 && errno != EINPROGRESS && !wouldBlock(errno)) {
        // Refused before any notification: report it as the notification would.
        const int code = net::winsockErrorCode(errno);
        m_connecting = false;
        if (retryNextAddress())
            return;
        failConnectLater(code);
    }
    updateNotifiers();
}

void TGameSocket::failConnectLater(int winsockError) {
    m_pendingConnectError = winsockError;
    QTimer::singleShot(0, this, [this] { dispatchEvent(&TGameSocket::failedConnectNotification); });
}

bool TGameSocket::Close() {
    const bool wasListening = m_listen;
    cancelLookup();
    m_candidates.clear();
    bool closed = false;
    if (m_fd >= 0) {
        m_readNotifier->setEnabled(false);
        m_writeNotifier->setEnabled(false);
        closed = ::close(m_fd) == 0;
    }
    m_fd = -1;
    m_connected = false;
    m_connecting = false;
    m_writeEventDue = false;
    m_pendingConnectError = 0;
    m_acceptDue = false;
    m_sendQueue.clear();
    if (!wasListening) {
        QPointer<TGameSocket> alive(this);
        try {
            info(siClose, QStringLiteral("Socket Closed"));
            if (alive && OnClose)
                OnClose(this);
        } catch (...) {
            // Closing never fails, whatever the handler does.
        }
    }
    m_listen = false;
    return closed;
}

bool TGameSocket::Send(const QByteArray& bytes) {
    if (m_fd < 0)
        throw EGameSocketException("Send - Socket Not Connected");
    if (m_listen)
        throw EGameSocketException("Send - Cannot Send On A Listener Socket");
    if (m_socketType == stDatagram)
        return SendDatagram(bytes, m_hostName);
    m_sendQueue.append(bytes);
    if (m_sendQueue.isEmpty())
        return true;
    if (m_blocking)
        return sendBlocking();

    QPointer<TGameSocket> alive(this);
    info(siSend, QStringLiteral("Non-Blocking Outgoing Data"));
    if (!alive || m_fd < 0 || m_sendQueue.isEmpty())
        return true;
    const ssize_t taken =
        ::send(m_fd, m_sendQueue.constData(), size_t(m_sendQueue.size()), MSG_NOSIGNAL);
    if (taken > 0)
        m_sendQueue.remove(0, taken);
    else if (taken < 0 && !wouldBlock(errno))
        m_sendBroken = true; // the close that follows is reported by the read side
    updateNotifiers();
    return true;
}

QByteArray TGameSocket::Receive(int maxCount) {
    if (m_fd < 0 && m_receiveBuffer.isEmpty())
        throw EGameSocketException("Receive - Socket Not Connected");
    if (m_listen)
        throw EGameSocketException("Receive - Cannot Receive On A Listener Socket");
    // Any negative count means everything, never a negative read size.
    const int limit = maxCount < 0 || maxCount > ReceiveAreaSize ? ReceiveAreaSize : maxCount;
    if (m_socketType == stDatagram) {
        QString host;
        return ReceiveDatagram(host);
    }
    if (m_blocking)
        return receiveBlocking(limit);

    if (maxCount < 0 || maxCount >= m_receiveBuffer.size())
        return std::exchange(m_receiveBuffer, QByteArray());
    QByteArray head = m_receiveBuffer.left(maxCount);
    m_receiveBuffer.remove(0, maxCount);
    return head;
}

qsizetype TGameSocket::unsentLength() const {
    int held = 0;
    if (m_fd < 0 || !m_connected || ::ioctl(m_fd, SIOCOUTQ, &held) != 0)
        held = 0;
    return m_sendQueue.size() + held;
}

bool TGameSocket::Accept(TGameSocket*& newSock) {
    newSock = nullptr;
    if (!m_listen)
        throw EGameSocketException("Accept - Socket Not In Listening Mode");
    if (m_blocking)
        info(siAccept, QStringLiteral("Blocking Accept"));
    m_acceptDue = false;
    updateNotifiers();
    newSock = acceptOne();
    if (!newSock) {
        // Without a descriptor to take it, the connection stays in the
        // backlog: the listener keeps quiet about it until the next Accept
        // rather than announce it again at once, over and over.
        if (net::lacksResources(m_acceptError)) {
            m_acceptDue = true;
            updateNotifiers();
        }
        info(siAccept, QStringLiteral("Could Not Accept Connection"));
        return false;
    }
    info(siAccept, QStringLiteral("Created New Socket Structure"));
    return true;
}

// Accepts one connection into a new socket of this listener, named after the
// peer; nullptr when there was none to accept.
TGameSocket* TGameSocket::acceptOne() {
    socklen_t length = sizeof m_peerAddress;
    const int fd = ::accept4(m_fd, reinterpret_cast<sockaddr*>(&m_peerAddress), &length,
                             SOCK_CLOEXEC | SOCK_NONBLOCK);
    m_acceptError = fd < 0 ? errno : 0;
    if (fd < 0)
        return nullptr;
    auto* newSock = new TGameSocket(this, fd);
    newSock->setPortName(m_portName);
    newSock->setHostName(net::addressText(reinterpret_cast<const sockaddr*>(&m_peerAddress)));
    return newSock;
}

std::uint32_t TGameSocket::LookupHost(const QString& name) {
    for (const net::Endpoint& address : resolveNow(name))
        if (address.family() == AF_INET)
            return reinterpret_cast<const sockaddr_in*>(address.address())->sin_addr.s_addr;
    throw EGameSocketException("Host Lookup - Could Not Find Host Entry");
}

// The host's addresses, waiting for the resolver when the name is not known
// yet. An empty name is the IPv4 any-address.
std::vector<net::Endpoint> TGameSocket::resolveNow(const QString& name) {
    if (name.isEmpty())
        return {net::Endpoint::ipv4(htonl(INADDR_ANY))};
    info(siLookup, QStringLiteral("Lookup Of Host ") + name);
    if (const auto address = net::parseAddress(name))
        return {*address};
    if (const auto cached = net::HostCache::find(name))
        return *cached;
    const net::Resolution answer = net::currentResolver()(name);
    if (answer.addresses.empty())
        throw EGameSocketException("Host Lookup - Could Not Find Host Entry");
    const std::vector<net::Endpoint> addresses = firstAddresses(answer.addresses);
    net::HostCache::add(name, addresses);
    return addresses;
}

std::uint16_t TGameSocket::LookupPort(const QString& name) {
    info(siLookup, QStringLiteral("Lookup Of Port ") + name);
    if (name.isEmpty())
        throw EGameSocketException("Port Lookup - No Port Given");
    if (name.front().isDigit() && name.front().unicode() < 128) {
        const int port = platform::StrToInt(name);
        if (port < 0 || port > 65535)
            throw platform::EConvertError(
                QStringLiteral("'%1' is not a valid port number").arg(name).toStdString());
        return htons(std::uint16_t(port));
    }
    const char* protocol = m_socketType == stStream ? "tcp" : "udp";
    const servent* service = ::getservbyname(name.toLatin1().constData(), protocol);
    if (!service)
        throw EGameSocketException("Port Lookup - Could Not Find Service Entry");
    return std::uint16_t(service->s_port);
}

// ---------------------------------------------------------------- notifications

void TGameSocket::adoptHandle(int fd) {
    m_readNotifier->setSocket(fd);
    m_writeNotifier->setSocket(fd);
}

int TGameSocket::createSocket(int family, TSocketType type) {
    const int kind = type == stStream ? SOCK_STREAM : SOCK_DGRAM;
    const int fd = ::socket(family, kind | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw EGameSocketException("Could Not Create Socket");
    return fd;
}

// One socket takes IPv6 and IPv4 peers alike (the latter as v4-mapped
// addresses) where the system has IPv6; IPv4 alone where it has not.
int TGameSocket::createListener(net::Endpoint& local) {
    const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int v6Only = 0;
    if (fd >= 0 && ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6Only, sizeof v6Only) == 0) {
        local = net::Endpoint::ipv6Any(0);
        return fd;
    }
    if (fd >= 0)
        ::close(fd);
    local = net::Endpoint::ipv4(htonl(INADDR_ANY));
    return createSocket(AF_INET, stStream);
}

void TGameSocket::applyNotificationMode() {
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    adoptHandle(m_fd);
    setNonBlocking(m_fd, m_listen || !m_blocking);
    updateNotifiers();
}

// Which notifications the socket wants follows from its state alone.
void TGameSocket::updateNotifiers() {
    const bool notifying = m_fd >= 0 && !m_inEvent && (m_listen || !m_blocking);
    // Like the platform we mirror, a listener announces the next connection
    // only after the last one was accepted, so an unanswered one cannot spin.
    // The same holds for a datagram that nobody has received yet.
    const bool stream = m_socketType == stStream;
    const bool wantRead =
        notifying && ((m_listen && !m_acceptDue) || (m_connected && (stream || !m_datagramDue)));
    const bool pendingBytes = !m_sendQueue.isEmpty() && !m_sendBroken;
    const bool wantWrite = notifying && stream && !m_listen &&
                           (m_connecting || (m_connected && (m_writeEventDue || pendingBytes)));
    if (m_readNotifier->isEnabled() != wantRead)
        m_readNotifier->setEnabled(wantRead);
    if (m_writeNotifier->isEnabled() != wantWrite)
        m_writeNotifier->setEnabled(wantWrite);
}

// One event at a time: while a handler runs (and perhaps a nested event loop
// with it), this socket's notifications wait.
void TGameSocket::dispatchEvent(void (TGameSocket::*event)()) {
    if (m_inEvent)
        return;
    QPointer<TGameSocket> alive(this);
    m_inEvent = true;
    updateNotifiers();
    platform::runGuarded([&] { (this->*event)(); });
    if (!alive)
        return;
    m_inEvent = false;
    updateNotifiers();
}

void TGameSocket::readNotification() {
    if (m_fd < 0)
        return;
    if (m_socketType == stDatagram) {
        // The datagram stays waiting for ReceiveDatagram.
        m_datagramDue = true;
        if (OnRead)
            OnRead(this, int(std::min<qsizetype>(m_receiveBuffer.size(), INT32_MAX)));
        return;
    }
    const qsizetype held = m_receiveBuffer.size();
    m_receiveBuffer.resize(held + ReceiveAreaSize);
    const ssize_t received = ::recv(m_fd, m_receiveBuffer.data() + held, ReceiveAreaSize, 0);
    const int error = errno;
    m_receiveBuffer.resize(held + std::max<qsizetype>(received, 0));
    if (received == 0)
        return closeNotification(0);
    if (received < 0 && !wouldBlock(error))
        return closeNotification(net::winsockErrorCode(error));

    QPointer<TGameSocket> alive(this);
    info(siReceive, QStringLiteral("Non-Blocking Incoming Data"));
    if (alive && OnRead)
        OnRead(this, int(std::min<qsizetype>(m_receiveBuffer.size(), INT32_MAX)));
}

void TGameSocket::writeNotification() {
    m_writeEventDue = false;
    QPointer<TGameSocket> alive(this);
    if (!m_sendQueue.isEmpty())
        Send(QByteArray());
    if (!alive)
        return;
    info(siSend, QStringLiteral("Non-Blocking Outgoing Data"));
    if (alive && OnWrite)
        OnWrite(this);
}

void TGameSocket::acceptNotification() {
    if (m_autoAccept && OnAutoAccept)
        return autoAccept();
    m_acceptDue = true;
    if (OnAccept)
        OnAccept(this);
}

void TGameSocket::connectNotification() {
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
    m_connecting = false;
    if (error != 0) {
        if (retryNextAddress())
            return;
        // A failed connect only reports; the socket stays open until Close.
        m_pendingConnectError = net::winsockErrorCode(error);
        return failedConnectNotification();
    }
    m_connected = true;
    m_writeEventDue = true;
    QPointer<TGameSocket> alive(this);
    info(siConnect, QStringLiteral("Non-Blocking Socket Connected"));
    if (alive && OnConnect)
        OnConnect(this);
}

void TGameSocket::failedConnectNotification() {
    const int code = std::exchange(m_pendingConnectError, 0);
    // Close clears the code: nothing is reported after it.
    if (code != 0)
        info(siError, net::winsockErrorText(code));
}

// The peer closed, or the connection broke (reset, timed out). A broken
// connection is reported as an error and then closed like any other, so a
// vanished peer never leaves a half-dead connection behind.
void TGameSocket::closeNotification(int winsockError) {
    QPointer<TGameSocket> alive(this);
    if (winsockError != 0)
        info(siError, net::winsockErrorText(winsockError));
    if (alive && OnDisconnect)
        OnDisconnect(this);
    if (alive)
        Close();
}

void TGameSocket::info(TSocketInfo kind, const QString& text) {
    if (!OnInfo)
        return;
    try {
        OnInfo(this, kind, text);
    } catch (...) {
        throw EGameSocketException("Error here");
    }
}
