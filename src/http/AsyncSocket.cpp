#include "http/AsyncSocket.h"

#include "net/HostAddress.h"
#include "net/SocketErrors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThreadPool>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <map>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

// One name lookup handed to a worker thread. Only the worker writes the
// answer, before it posts it; only the owning thread reads it, after.
struct TAsyncSocket::Lookup {
    QPointer<TAsyncSocket> socket;
    bool cancelled = false;
    int error = 0;
    QStringList addresses;
};

namespace {

// A read event hands out data at most this many times before it lets the
// event loop run again, so a fast sender cannot freeze the windows.
constexpr int MaxReadTurns = 32;

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

void resolveOnWorker(const QByteArray& host, TAsyncSocket::Lookup& lookup) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(host.constData(), nullptr, &hints, &found);
    if (result != 0) {
        lookup.error = net::lookupErrorCode(result);
        return;
    }
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
        const QString dotted = QString::fromLatin1(text);
        if (!lookup.addresses.contains(dotted))
            lookup.addresses.append(dotted);
    }
    ::freeaddrinfo(found);
    if (lookup.addresses.isEmpty())
        lookup.error = 11004;
}

// A host written as four dotted numbers, spaces allowed around it, converted
// without any lookup. Empty when it is not one.
std::optional<QString> dottedAddress(const QString& host) {
    const auto endpoint = net::parseAddress(host.trimmed());
    if (!endpoint || endpoint->family() != AF_INET)
        return std::nullopt;
    return net::addressText(endpoint->address());
}

// A port number written in plain decimal digits.
std::optional<quint16> decimalPort(const QString& text) {
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int value = text.toInt();
    if (value > 65535)
        return std::nullopt;
    return quint16(value);
}

} // namespace

TAsyncSocket::TAsyncSocket(QObject* owner)
    : QObject(owner) {
    m_readNotifier = new QSocketNotifier(QSocketNotifier::Read, this);
    m_writeNotifier = new QSocketNotifier(QSocketNotifier::Write, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] {
        dispatch(m_tlsHandshaking ? &TAsyncSocket::handshakeEvent : &TAsyncSocket::readEvent);
    });
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        if (m_tlsHandshaking)
            return dispatch(&TAsyncSocket::handshakeEvent);
        dispatch(m_state == asConnecting ? &TAsyncSocket::connectEvent : &TAsyncSocket::writeEvent);
    });
}

TAsyncSocket::~TAsyncSocket() {
    CancelDnsLookup();
    if (m_fd >= 0) {
        m_readNotifier->setEnabled(false);
        m_writeNotifier->setEnabled(false);
        ::close(m_fd);
    }
}

// ---------------------------------------------------------------- name lookup

void TAsyncSocket::DnsLookup(const QString& host) {
    if (host.trimmed().isEmpty()) {
        m_lastError = 10022;
        report(QStringLiteral("DNS lookup: invalid host name."), 10022);
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, 10022);
        return;
    }
    CancelDnsLookup();
    m_dnsResult.clear();
    m_dnsResultList.clear();
    if (const auto dotted = dottedAddress(host)) {
        m_dnsResult = *dotted;
        m_dnsResultList = {*dotted};
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, 0);
        return;
    }

    auto lookup = std::make_shared<Lookup>();
    lookup->socket = this;
    m_lookup = lookup;
    const QByteArray name = host.trimmed().toUtf8();
    // The application object outlives every worker: its destructor waits for
    // the global pool, so the answer always has somewhere to go.
    QThreadPool::globalInstance()->start([lookup, name] {
        resolveOnWorker(name, *lookup);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [lookup] {
                if (!lookup->cancelled && lookup->socket)
                    lookup->socket->lookupAnswered(lookup);
            },
            Qt::QueuedConnection);
    });
}

void TAsyncSocket::CancelDnsLookup() {
    if (!m_lookup)
        return;
    m_lookup->cancelled = true;
    m_lookup.reset();
}

void TAsyncSocket::lookupAnswered(const std::shared_ptr<Lookup>& lookup) {
    if (lookup != m_lookup)
        return;
    m_lookup.reset();
    m_dnsResultList = lookup->addresses;
    m_dnsResult = m_dnsResultList.value(0);
    m_lastError = lookup->error;
    const int error = lookup->error;
    QPointer<TAsyncSocket> alive(this);
    try {
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, error);
    } catch (const std::exception& failure) {
        if (alive)
            backgroundFailure(failure);
    }
}

bool TAsyncSocket::waitForLookups(int milliseconds) {
    return QThreadPool::globalInstance()->waitForDone(milliseconds);
}

// ---------------------------------------------------------------- connect

void TAsyncSocket::Connect() {
    if (m_fd >= 0 && m_state != asClosed)
        return report(QStringLiteral("Connect: Socket already in use"), 0);
    if (Port.isEmpty())
        return reportBadSetting(ESocketException(QStringLiteral("Connect: No Port Specified")));
    if (Addr.isEmpty())
        return reportBadSetting(
            ESocketException(QStringLiteral("Connect: No IP Address Specified")));
    if (Proto.isEmpty())
        return reportBadSetting(ESocketException(QStringLiteral("Connect: No Protocol Specified")));
    if (Proto.compare(QLatin1String("tcp"), Qt::CaseInsensitive) != 0)
        return reportBadSetting(ESocketException(
            QStringLiteral("connect: AsyncSocketResolveProto: Invalid Protocol.")));

    quint32 address = 0;
    quint16 port = 0;
    try {
        port = resolvePort(Port, "connect: ");
        address = resolveHost(Addr, "connect: ");
    } catch (const ESocketException& failure) {
        return reportBadSetting(failure);
    }
    m_sendQueue.clear();
    startConnect(address, port);
}

quint32 TAsyncSocket::resolveHost(const QString& host, const char* context) {
    const QString prefix = QString::fromLatin1(context);
    if (host.trimmed().isEmpty() || host.size() > 256)
        throw ESocketException(
            prefix + QStringLiteral("AsyncSocketResolveHost: '%1' Invalid Hostname.").arg(host));
    const auto dotted = dottedAddress(host);
    in_addr converted{};
    if (dotted && ::inet_pton(AF_INET, dotted->toLatin1().constData(), &converted) == 1)
        return converted.s_addr;
    if (host.trimmed().front().isDigit())
        throw ESocketException(
            prefix + QStringLiteral("AsyncSocketResolveHost: '%1' Invalid IP address.").arg(host));
    // Names are looked up with DnsLookup first: a lookup here would stop the
    // whole program while the resolver waits.
    throw ESocketException(
        prefix +
            QStringLiteral("AsyncSocketResolveHost: Cannot convert host address '%1', Error #%2")
                .arg(host)
                .arg(10022),
        10022);
}

quint16 TAsyncSocket::resolvePort(const QString& port, const char* context) {
    const QString prefix = QString::fromLatin1(context);
    if (port.isEmpty())
        throw ESocketException(prefix + QStringLiteral("AsyncSocketResolvePort: Invalid Port."));
    if (const auto number = decimalPort(port))
        return htons(*number);
    if (const servent* service = ::getservbyname(port.toLatin1().constData(), "tcp"))
        return quint16(service->s_port);
    throw ESocketException(
        prefix + QStringLiteral("AsyncSocketResolvePort: Cannot convert port '%1', Error #%2")
                     .arg(port)
                     .arg(11004),
        11004);
}

void TAsyncSocket::startConnect(quint32 address, quint16 port) {
    if (m_fd >= 0)
        closeHandle();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        m_lastError = net::winsockErrorCode(errno);
        return reportSocketError(m_lastError, "socket");
    }
    ++m_connectionSerial;
    m_peerClosed = false;
    m_peerError = 0;
    m_readWanted = true;
    m_tlsFailure.clear();
    m_readNotifier->setSocket(m_fd);
    m_writeNotifier->setSocket(m_fd);
    changeState(asOpened);
    configureStreamSocket();
    if (m_fd < 0)
        return;

    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = address;
    remote.sin_port = port;
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0 &&
        errno != EINPROGRESS && !wouldBlock(errno)) {
        m_lastError = net::winsockErrorCode(errno);
        closeHandle();
        return reportSocketError(m_lastError, "Connect");
    }
    changeState(asConnecting);
    updateNotifiers();
}

void TAsyncSocket::configureStreamSocket() {
    const int on = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (TcpNoDelay)
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (LingerOnOff != asLingerNoSet) {
        const linger setting{LingerOnOff == asLingerOn ? 1 : 0, LingerTimeout};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &setting, sizeof setting);
    }
    ::setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);

    const bool anyAddress = LocalAddr.isEmpty() || LocalAddr == QLatin1String("0.0.0.0");
    const bool anyPort = LocalPort.isEmpty() || LocalPort == QLatin1String("0");
    if (anyAddress && anyPort)
        return;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    try {
        local.sin_port = anyPort ? 0 : resolvePort(LocalPort, "connect: ");
        local.sin_addr.s_addr = anyAddress ? INADDR_ANY : resolveHost(LocalAddr, "connect: ");
    } catch (const ESocketException& failure) {
        closeHandle();
        return reportBadSetting(failure);
    }
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        m_lastError = net::winsockErrorCode(errno);
        closeHandle();
        return reportSocketError(m_lastError, "bind");
    }
    changeState(asBound);
}

// ---------------------------------------------------------------- send and receive

int TAsyncSocket::Send(const void* data, int length) {
    if (m_state != asConnected && m_state != asSocksConnected) {
        m_lastError = 10057;
        reportSocketError(10057, "Send");
        return -1;
    }
    const bool hadData = !m_sendQueue.isEmpty();
    if (length > 0)
        m_sendQueue.append(static_cast<const char*>(data), length);
    if (!hadData && length <= 0)
        return 0;
    flushSendQueue();
    // OnDataSent always comes from the event loop, never from inside Send.
    if (m_fd >= 0 && m_sendQueue.isEmpty())
        postEvent(&TAsyncSocket::writeEvent);
    return std::max(length, 0);
}

void TAsyncSocket::flushSendQueue() {
    if (m_tls)
        return flushTlsSendQueue();
    while (m_fd >= 0 && !m_sendQueue.isEmpty()) {
        iovec parts[64];
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = size_t(m_sendQueue.gather(parts, 64));
        const ssize_t sent = ::sendmsg(m_fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            m_sendQueue.consume(sent);
            continue;
        }
        if (sent < 0 && wouldBlock(errno))
            break;
        m_lastError = net::winsockErrorCode(sent < 0 ? errno : EPIPE);
        m_sendQueue.clear();
        reportSocketError(m_lastError, "send");
        return;
    }
    updateNotifiers();
}

int TAsyncSocket::Receive(void* buffer, int length) {
    if (m_fd < 0) {
        m_lastError = 10057;
        return -1;
    }
    m_receiveCalled = true;
    m_readWanted = true;
    if (m_tls)
        return receiveTls(static_cast<char*>(buffer), length);
    const ssize_t received = ::recv(m_fd, buffer, size_t(std::max(length, 0)), MSG_DONTWAIT);
    if (received > 0) {
        m_readCount += received;
        return int(received);
    }
    if (received == 0) {
        m_peerClosed = length > 0;
        return 0;
    }
    const int error = errno;
    if (wouldBlock(error)) {
        m_lastError = 10035;
        return -1;
    }
    m_lastError = net::winsockErrorCode(error);
    m_peerClosed = true;
    m_peerError = m_lastError;
    reportSocketError(m_lastError, "recv");
    return -1;
}

// ---------------------------------------------------------------- close and abort

void TAsyncSocket::Close() {
    if (m_fd < 0)
        return;
    if (m_tls && !m_tlsHandshaking)
        m_tls->shutdown();
    ::shutdown(m_fd, SHUT_WR);
    sessionClosed(0);
}

void TAsyncSocket::CloseDelayed() {
    // Meant for this connection only, not for one opened meanwhile.
    const quint64 connection = m_connectionSerial;
    QMetaObject::invokeMethod(
        this,
        [this, connection] {
            if (connection == m_connectionSerial)
                Close();
        },
        Qt::QueuedConnection);
}

void TAsyncSocket::Abort() {
    CancelDnsLookup();
    m_sendQueue.clear();
    if (m_fd < 0)
        return;
    if (m_state == asConnected) {
        // No lingering: the peer gets a reset instead of an orderly end.
        const linger hard{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    sessionClosed(0);
}

void TAsyncSocket::closeHandle() {
    if (m_fd >= 0) {
        m_readNotifier->setEnabled(false);
        m_writeNotifier->setEnabled(false);
        ::close(m_fd);
        m_fd = -1;
    }
    m_tls.reset();
    m_tlsHandshaking = false;
    m_tlsHandshakeWantsRead = false;
    m_tlsReadWantsWrite = false;
    m_tlsWriteWantsRead = false;
    m_sendQueue.clear();
    changeState(asClosed);
}

// Ends the connection: the handle goes first, so a handler of OnSessionClosed
// may connect again at once, and the event cannot come twice: every way here
// starts from an open handle.
void TAsyncSocket::sessionClosed(int error) {
    closeHandle();
    if (OnSessionClosed)
        OnSessionClosed(this, error);
}

// ---------------------------------------------------------------- events

void TAsyncSocket::updateNotifiers() {
    const bool open = m_fd >= 0 && !m_inEvent;
    bool wantRead = open && m_state == asConnected && (m_readWanted || m_tlsWriteWantsRead);
    bool wantWrite =
        open && (m_state == asConnecting ||
                 (m_state == asConnected && (!m_sendQueue.isEmpty() || m_tlsReadWantsWrite)));
    if (m_tlsHandshaking) {
        wantRead = open && m_tlsHandshakeWantsRead;
        wantWrite = open && !m_tlsHandshakeWantsRead;
    }
    if (m_readNotifier->isEnabled() != wantRead)
        m_readNotifier->setEnabled(wantRead);
    if (m_writeNotifier->isEnabled() != wantWrite)
        m_writeNotifier->setEnabled(wantWrite);
}

// One event at a time: while a handler runs (perhaps with a nested event loop),
// this socket's notifications wait. A failure in a handler aborts the socket.
void TAsyncSocket::dispatch(void (TAsyncSocket::*event)()) {
    if (m_inEvent)
        return;
    QPointer<TAsyncSocket> alive(this);
    m_inEvent = true;
    updateNotifiers();
    try {
        (this->*event)();
    } catch (const std::exception& failure) {
        if (alive)
            backgroundFailure(failure);
    }
    if (!alive)
        return;
    m_inEvent = false;
    updateNotifiers();
    if (m_tls)
        postPendingTlsRead();
}

void TAsyncSocket::postEvent(void (TAsyncSocket::*event)()) {
    QMetaObject::invokeMethod(
        this,
        [this, event] {
            QPointer<TAsyncSocket> alive(this);
            try {
                (this->*event)();
            } catch (const std::exception& failure) {
                if (alive)
                    backgroundFailure(failure);
            }
        },
        Qt::QueuedConnection);
}

void TAsyncSocket::backgroundFailure(const std::exception& failure) {
    bool canClose = true;
    QPointer<TAsyncSocket> alive(this);
    try {
        if (OnBackgroundException)
            OnBackgroundException(this, failure, canClose);
    } catch (...) {
        // Nothing is shown for a failure in the background.
    }
    if (!alive || !canClose)
        return;
    try {
        Abort();
    } catch (...) {
        // The abort's own failures are of no interest any more.
    }
}

void TAsyncSocket::connectEvent() {
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error != 0) {
        m_lastError = net::winsockErrorCode(error);
        closeHandle();
        if (OnSessionConnected)
            OnSessionConnected(this, m_lastError);
        return;
    }
    if (Tls)
        return startTls();
    changeState(asConnected);
    if (OnSessionConnected)
        OnSessionConnected(this, 0);
}

void TAsyncSocket::readEvent() {
    if (m_tlsWriteWantsRead) {
        flushSendQueue();
        if (m_fd < 0)
            return;
    }
    QPointer<TAsyncSocket> alive(this);
    for (int turn = 0; turn < MaxReadTurns; ++turn) {
        const qint64 before = m_readCount;
        m_receiveCalled = false;
        if (OnDataAvailable)
            OnDataAvailable(this, 0);
        if (!alive || m_fd < 0)
            return;
        if (m_peerClosed)
            return closeEvent();
        if (m_readCount != before)
            continue;
        if (!m_receiveCalled)
            return peekForClose();
        return;
    }
}

// Nobody took the data: see whether the peer has gone, and otherwise wait
// for the next Receive before reporting data again.
void TAsyncSocket::peekForClose() {
    if (m_tls && m_tls->pending() > 0) {
        m_readWanted = false;
        return;
    }
    char byte = 0;
    const ssize_t peeked = ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked == 0) {
        if (m_tls && !m_tls->closedByPeer()) {
            m_tlsFailure = http::TlsSession::truncationFailure();
            m_peerError = TlsError;
        }
        return closeEvent();
    }
    if (peeked < 0 && !wouldBlock(errno)) {
        m_peerError = net::winsockErrorCode(errno);
        return closeEvent();
    }
    m_readWanted = false;
}

void TAsyncSocket::closeEvent() {
    sessionClosed(m_peerError);
}

void TAsyncSocket::writeEvent() {
    if (m_fd < 0)
        return;
    if (std::exchange(m_tlsReadWantsWrite, false)) {
        QPointer<TAsyncSocket> alive(this);
        readEvent();
        if (!alive || m_fd < 0)
            return;
    }
    flushSendQueue();
    if (m_fd >= 0 && m_sendQueue.isEmpty() && OnDataSent)
        OnDataSent(this, 0);
}

// ---------------------------------------------------------------- TLS

// The TLS handshake follows the TCP connect on the same notifiers; the
// socket stays asConnecting until it is done, so nothing can be sent before.
void TAsyncSocket::startTls() {
    m_tls = std::make_unique<http::TlsSession>();
    if (m_tls->start(m_fd, TlsServerName, TlsCaFile) != http::TlsSession::Done)
        return tlsConnectFailed();
    m_tlsHandshaking = true;
    handshakeEvent();
}

void TAsyncSocket::handshakeEvent() {
    if (!m_tlsHandshaking)
        return;
    switch (m_tls->handshake()) {
    case http::TlsSession::Done:
        m_tlsHandshaking = false;
        changeState(asConnected);
        if (OnSessionConnected)
            OnSessionConnected(this, 0);
        return;
    case http::TlsSession::WantRead:
        m_tlsHandshakeWantsRead = true;
        return;
    case http::TlsSession::WantWrite:
        m_tlsHandshakeWantsRead = false;
        return;
    default:
        return tlsConnectFailed();
    }
}

void TAsyncSocket::tlsConnectFailed() {
    m_tlsFailure = m_tls->failure();
    m_lastError = TlsError;
    closeHandle();
    if (OnSessionConnected)
        OnSessionConnected(this, TlsError);
}

int TAsyncSocket::receiveTls(char* buffer, int length) {
    if (m_tlsHandshaking) {
        m_lastError = 10035;
        return -1;
    }
    qsizetype count = 0;
    switch (m_tls->read(buffer, std::max(length, 0), count)) {
    case http::TlsSession::Done:
        m_readCount += count;
        return int(count);
    case http::TlsSession::WantWrite:
        m_tlsReadWantsWrite = true;
        [[fallthrough]];
    case http::TlsSession::WantRead:
        m_lastError = 10035;
        return -1;
    case http::TlsSession::Closed:
        m_peerClosed = length > 0;
        return 0;
    case http::TlsSession::Failed:
        break;
    }
    // A broken session, a TCP close without close_notify included: the
    // peer is gone, with an error, so a body without a length never counts
    // as complete.
    m_tlsFailure = m_tls->failure();
    m_lastError = TlsError;
    m_peerClosed = true;
    m_peerError = TlsError;
    return -1;
}

void TAsyncSocket::flushTlsSendQueue() {
    m_tlsWriteWantsRead = false;
    while (m_fd >= 0 && !m_sendQueue.isEmpty()) {
        // Up to one record at a time, gathered from the queue's buffers.
        char record[16384];
        iovec parts[16];
        const int partCount = m_sendQueue.gather(parts, 16);
        qsizetype length = 0;
        for (int i = 0; i < partCount && length < qsizetype(sizeof record); ++i) {
            const qsizetype take =
                std::min(qsizetype(parts[i].iov_len), qsizetype(sizeof record) - length);
            std::memcpy(record + length, parts[i].iov_base, size_t(take));
            length += take;
        }
        qsizetype written = 0;
        const auto result = m_tls->write(record, length, written);
        if (result == http::TlsSession::Done) {
            m_sendQueue.consume(written);
            continue;
        }
        if (result == http::TlsSession::WantRead)
            m_tlsWriteWantsRead = true;
        if (result == http::TlsSession::WantRead || result == http::TlsSession::WantWrite)
            break;
        m_tlsFailure = m_tls->failure();
        m_lastError = TlsError;
        return sessionClosed(TlsError);
    }
    updateNotifiers();
}

// Plaintext OpenSSL has already taken off the socket is announced by no
// readiness of the socket: a read event of our own delivers it.
void TAsyncSocket::postPendingTlsRead() {
    if (m_fd < 0 || m_tlsHandshaking || !m_readWanted || m_tls->pending() == 0)
        return;
    // Without a flag of "one is on its way": a second event finds nothing
    // and posts none, while a lost one would leave the data lying.
    const quint64 connection = m_connectionSerial;
    QMetaObject::invokeMethod(
        this,
        [this, connection] {
            if (connection == m_connectionSerial && m_tls && m_tls->pending() > 0)
                dispatch(&TAsyncSocket::readEvent);
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------- errors

void TAsyncSocket::changeState(TSocketState newState) {
    const TSocketState oldState = m_state;
    if (oldState == newState)
        return;
    m_state = newState;
    if (OnChangeState)
        OnChangeState(this, oldState, newState);
}

void TAsyncSocket::report(const QString& message, int error) {
    if (OnError)
        return OnError(this, message, error);
    throw ESocketException(message, error);
}

// A port or address that cannot be used is the caller's invalid argument
// unless it has a code of its own: LastError must not read as no error.
void TAsyncSocket::reportBadSetting(const ESocketException& failure) {
    m_lastError = failure.code() != 0 ? failure.code() : 10022;
    report(QString::fromStdString(failure.what()), failure.code());
}

void TAsyncSocket::reportSocketError(int error, const char* function) {
    // A connection the peer reset, or one that is not there, is over.
    if ((error == 10054 || error == 10057) && m_fd >= 0)
        sessionClosed(error);
    report(QStringLiteral("Error %1 in function %2\r\n%3")
               .arg(error)
               .arg(QString::fromLatin1(function), errorDescription(error)),
           error);
}

QString TAsyncSocket::errorDescription(int error) {
    static const std::map<int, const char*> descriptions = {
        {0, "No Error"},
        {10004, "Interrupted system call"},
        {10009, "Bad file number"},
        {10013, "Permission denied"},
        {10014, "Bad address"},
        {10022, "Invalid argument"},
        {10024, "Too many open files"},
        {10035, "Operation would block"},
        {10036, "Operation now in progress"},
        {10037, "Operation already in progress"},
        {10038, "Socket operation on non-socket"},
        {10039, "Destination address required"},
        {10040, "Message too long"},
        {10041, "Protocol wrong type for socket"},
        {10042, "Protocol not available"},
        {10043, "Protocol not supported"},
        {10044, "Socket type not supported"},
        {10045, "Operation not supported on socket"},
        {10046, "Protocol family not supported"},
        {10047, "Address family not supported by protocol family"},
        {10048, "Address already in use"},
        {10049, "Address not available"},
        {10050, "Network is down"},
        {10051, "Network is unreachable"},
        {10052, "Network dropped connection on reset"},
        {10053, "Connection aborted"},
        {10054, "Connection reset by peer"},
        {10055, "No buffer space available"},
        {10056, "Socket is already connected"},
        {10057, "Socket is not connected"},
        {10058, "Can't send after socket shutdown"},
        {10059, "Too many references: can't splice"},
        {10060, "Connection timed out"},
        {10061, "Connection refused"},
        {10062, "Too many levels of symbolic links"},
        {10063, "File name too long"},
        {10064, "Host is down"},
        {10065, "No route to host"},
        {10066, "Directory not empty"},
        {10067, "Too many processes"},
        {10068, "Too many users"},
        {10069, "Disc quota exceeded"},
        {10070, "Stale NFS file handle"},
        {10071, "Too many levels of remote in path"},
        {10091, "Network sub-system is unusable"},
        {10092, "WinSock DLL cannot support this application"},
        {10093, "WinSock not initialized"},
        {11001, "Host not found"},
        {11002, "Non-authoritative host not found"},
        {11003, "Non-recoverable error"},
        {11004, "No Data"},
    };
    const auto found = descriptions.find(error);
    return QString::fromLatin1(found != descriptions.end() ? found->second : "Not a WinSock error");
}
