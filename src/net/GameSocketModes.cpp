// TGameSocket's blocking, datagram and automatic-accept modes. The game itself
// only uses the non-blocking stream mode of GameSocket.cpp.
#include "net/GameSocket.h"
#include "net/GameSocketThread.h"
#include "net/SocketCalls.h"
#include "net/SocketErrors.h"

#include <QPointer>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

// ---------------------------------------------------------------- blocking stream

void TGameSocket::connectBlocking() {
    int result = ::connect(m_fd, m_remoteAddress.address(), m_remoteAddress.length);
    if (result != 0 && errno == EINTR) {
        // A signal broke the wait, not the connect: it goes on without us.
        net::waitForSocket(m_fd, POLLOUT, -1);
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
        result = error == 0 ? 0 : -1;
    }
    if (result != 0 && retryNextAddress())
        return;
    QPointer<TGameSocket> alive(this);
    if (result != 0) {
        info(siClose, QStringLiteral("Blocking Socket Can't Connect"));
        if (alive)
            Close();
        return;
    }
    m_connected = true;
    info(siConnect, QStringLiteral("Blocking Socket Connected"));
    if (alive && OnConnect)
        OnConnect(this);
}

// Waits for room and hands the network what it takes, piece by piece, until
// the queue is gone. The socket gives the wait no limit: that is what a
// blocking send is.
bool TGameSocket::sendBlocking() {
    QPointer<TGameSocket> alive(this);
    while (!m_sendQueue.isEmpty() && m_fd >= 0) {
        net::waitForSocket(m_fd, POLLOUT, -1);
        const ssize_t taken = ::send(m_fd, m_sendQueue.constData(), size_t(m_sendQueue.size()),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
        const int error = errno;
        if (taken < 0 && net::wouldBlock(error))
            continue;
        if (taken < 0) {
            info(siError, QStringLiteral("Socket Error On Send"));
            throw EGameSocketException("Send - Socket Error");
        }
        m_sendQueue.remove(0, taken);
        info(siSend, QStringLiteral("Blocking Outgoing Data"));
        if (!alive)
            return true;
    }
    m_sendQueue.clear();
    return true;
}

// Waits up to BlockingTimeout seconds for data, reads once, and hands out the
// whole receive buffer, even beyond limit.
QByteArray TGameSocket::receiveBlocking(int limit) {
    // Reading nothing would look like the peer's close; nothing is asked for.
    if (m_connected && limit > 0 && net::waitForSocket(m_fd, POLLIN, m_blockingTimeout)) {
        QPointer<TGameSocket> alive(this);
        info(siReceive, QStringLiteral("Blocking Incoming Data"));
        if (!alive)
            return {};
        if (m_fd >= 0)
            readBlocking(limit);
    }
    return std::exchange(m_receiveBuffer, QByteArray());
}

void TGameSocket::readBlocking(int limit) {
    const qsizetype held = m_receiveBuffer.size();
    m_receiveBuffer.resize(held + limit);
    const ssize_t received =
        ::recv(m_fd, m_receiveBuffer.data() + held, size_t(limit), MSG_DONTWAIT);
    const int error = errno;
    m_receiveBuffer.resize(held + std::max<qsizetype>(received, 0));
    if (received > 0 || (received < 0 && net::wouldBlock(error)))
        return;
    if (received == 0)
        return disconnectedOnReceive();
    m_receiveBuffer.clear();
    info(siError, QStringLiteral("Socket Error On Receive"));
    const QString name = net::winsockErrorName(net::winsockErrorCode(error));
    throw EGameSocketException("Receive - Socket Error " + name.toStdString());
}

void TGameSocket::disconnectedOnReceive() {
    QPointer<TGameSocket> alive(this);
    info(siClose, QStringLiteral("Socket Disconnected On Receive"));
    if (alive)
        Close();
    if (alive && OnDisconnect)
        OnDisconnect(this);
}

// ---------------------------------------------------------------- datagrams

void TGameSocket::openDatagram() {
    // A failed bind reports nothing; the socket just does not become Connected.
    if (::bind(m_fd, m_remoteAddress.address(), m_remoteAddress.length) != 0)
        return;
    m_connected = true;
    updateNotifiers();
    QPointer<TGameSocket> alive(this);
    info(siConnect, QStringLiteral("Datagram Socket Connected"));
    if (alive && OnConnect)
        OnConnect(this);
}

bool TGameSocket::SendDatagram(const QByteArray& bytes, const QString& host) {
    if (m_fd < 0)
        throw EGameSocketException("SendDatagram - Socket Not Connected");
    if (m_socketType == stStream)
        throw EGameSocketException("SendDatagram - Datagram Send Not Supported On Stream Sockets");
    setHostName(host);
    if (bytes.isEmpty() || m_fd < 0)
        return true;
    const ssize_t sent = ::sendto(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL,
                                  m_remoteAddress.address(), m_remoteAddress.length);
    // A datagram the network refuses (too large, say) is lost: say so.
    if (sent < 0)
        info(siError, QStringLiteral("Socket Error On Send"));
    return true;
}

QByteArray TGameSocket::ReceiveDatagram(QString& host) {
    if (m_fd < 0)
        throw EGameSocketException("ReceiveDatagram - Socket Not Connected");
    if (m_socketType == stStream)
        throw EGameSocketException(
            "ReceiveDatagram - Datagram Receive Not Supported On Stream Sockets");
    host.clear();
    m_datagramDue = false;
    updateNotifiers();
    if (!net::waitForSocket(m_fd, POLLIN, m_blockingTimeout))
        return {};
    // recvfrom cuts a larger datagram to the receive area.
    QByteArray area(ReceiveAreaSize, Qt::Uninitialized);
    socklen_t length = sizeof m_peerAddress;
    const ssize_t received = ::recvfrom(m_fd, area.data(), size_t(area.size()), MSG_DONTWAIT,
                                        reinterpret_cast<sockaddr*>(&m_peerAddress), &length);
    if (received <= 0)
        return {};
    area.truncate(received);
    host = net::addressText(reinterpret_cast<const sockaddr*>(&m_peerAddress));
    return area;
}

// ---------------------------------------------------------------- automatic accept

void TGameSocket::autoAccept() {
    TGameSocket* newSock = acceptOne();
    if (!newSock) {
        info(siAccept, QStringLiteral("Could Not Accept Connection"));
        return;
    }
    if (!m_blocking)
        return OnAutoAccept(this, newSock);
    (new TGameSocketThread(this, newSock, OnAutoAccept))->start();
}

// The accepted sockets are destroyed with this listener: no thread may still
// be using one then.
void TGameSocket::waitForWorkers() {
    const auto workers = findChildren<TGameSocketThread*>(Qt::FindDirectChildrenOnly);
    for (TGameSocketThread* worker : workers)
        worker->wait();
}
