#pragma once

#include "net/HostAddress.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <stdexcept>
#include <vector>

class QSocketNotifier;
namespace net {
class HostLookup;
struct Resolution;
} // namespace net
class TGameSocketStream;

enum TSocketType { stStream, stDatagram };
enum TLineBreak { lbCRLF, lbCR, lbLF, lbSmart };
enum TSocketInfo { siLookup, siConnect, siClose, siListen, siReceive, siSend, siAccept, siError };

class EGameSocketException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TGameSocket;
using TNotifyEvent = std::function<void(TGameSocket* sender)>;
using TNotifyReadEvent = std::function<void(TGameSocket* sender, int count)>;
using TNotifyAutoEvent = std::function<void(TGameSocket* sender, TGameSocket* newSock)>;
using TNotifyInfoEvent =
    std::function<void(TGameSocket* sender, TSocketInfo info, const QString& msg)>;

// The game's TCP socket: a non-blocking byte stream whose every step is reported
// as an event on the thread that owns it. Events arrive one at a time, in the
// order the network produced them; Send never blocks and finishes by itself.
//
// It also works blocking (connect, send and receive wait, receive for at most
// BlockingTimeout seconds), as a UDP socket, and can accept connections by
// itself. A blocking listener hands each automatically accepted socket to
// OnAutoAccept on a thread of its own; that handler owns the socket's use
// until it returns and must do its own locking against the GUI thread.
//
// A host given by name is looked up on a thread of its own; Open returns at
// once and the connect follows the answer. The host's addresses, IPv4 and
// IPv6, are tried in the resolver's order until one takes the connection.
// A listener takes IPv6 and IPv4 connections on one socket where the system
// has IPv6.
//
// Handlers may Close the socket, but must not delete it: use deleteLater().
class TGameSocket : public QObject {
    Q_OBJECT
public:
    explicit TGameSocket(QObject* owner = nullptr);
    ~TGameSocket() override;

    // Published properties.
    TSocketType SocketType() const { return m_socketType; }
    void setSocketType(TSocketType type);
    QString HostName() const { return m_hostName; }
    void setHostName(const QString& name);
    QString PortName() const { return m_portName; }
    void setPortName(const QString& name);
    bool Blocking() const { return m_blocking; }
    void setBlocking(bool blocking);
    bool AutoAccept() const { return m_autoAccept; }
    void setAutoAccept(bool autoAccept) { m_autoAccept = autoAccept; }
    bool Listen() const { return m_listen; }
    void setListen(bool listen);
    TLineBreak LineBreak() const { return m_lineBreak; }
    void setLineBreak(TLineBreak lineBreak) { m_lineBreak = lineBreak; }
    int BlockingTimeout() const { return m_blockingTimeout; }
    void setBlockingTimeout(int seconds) { m_blockingTimeout = seconds; }

    TNotifyEvent OnConnect;
    TNotifyEvent OnDisconnect;
    // The connection has closed, by either end: after the siClose info, once
    // per connection. Listeners never report it.
    TNotifyEvent OnClose;
    TNotifyInfoEvent OnInfo;
    TNotifyReadEvent OnRead;
    TNotifyEvent OnWrite;
    TNotifyEvent OnAccept;
    TNotifyAutoEvent OnAutoAccept;

    // Free for the user (the host keeps a connection's slot number here).
    int Tag = 0;

    bool Connected() const { return m_connected; }
    bool isOpen() const { return m_fd >= 0; }
    // A host name is being looked up for Open.
    bool isLookingUp() const { return m_lookup != nullptr; }
    // Bytes given to Send that the network has not taken yet.
    qsizetype sendQueueLength() const { return m_sendQueue.size(); }
    // Bytes given to Send that the peer has not taken yet: those still
    // queued here and those the system holds unacknowledged.
    qsizetype unsentLength() const;
    // Bytes received and not yet handed out by Receive.
    qsizetype receiveBufferLength() const { return m_receiveBuffer.size(); }

    bool Open();
    bool Close();
    bool Send(const QByteArray& bytes);
    QByteArray Receive(int maxCount = -1);
    // One datagram to host, at PortName.
    bool SendDatagram(const QByteArray& bytes, const QString& host);
    // Waits up to BlockingTimeout seconds for one datagram; host is its
    // sender's dotted address. Both are empty when none came.
    QByteArray ReceiveDatagram(QString& host);
    // Accepts one pending connection. The new socket belongs to this listener.
    // When the system lacks descriptors for it (see AcceptError), the
    // listener announces no connection until Accept is called again.
    bool Accept(TGameSocket*& newSock);
    // The errno of the last accept that got no connection; 0 after one that did.
    int AcceptError() const { return m_acceptError; }

    // The host's first IPv4 address, waiting for the resolver if it must.
    // Both results are in network byte order.
    std::uint32_t LookupHost(const QString& name);
    std::uint16_t LookupPort(const QString& name);

    // The socket seen as a stream, made with it.
    TGameSocketStream& Stream() { return *m_stream; }

    // The largest amount one read takes from the network.
    static constexpr int ReceiveAreaSize = 32768;
    // The most of a host's addresses that Open tries, in the resolver's order:
    // a name with hundreds of unreachable addresses must not keep it trying
    // for hours.
    static constexpr std::size_t MaxHostAddresses = 16;

private:
    friend class TGameSocketStream;

    TGameSocket(TGameSocket* listener, int acceptedFd); // construction from a listener

    TGameSocket* acceptOne();
    void autoAccept();
    void waitForWorkers();
    void openDatagram();
    void connectBlocking();
    bool sendBlocking();
    QByteArray receiveBlocking(int limit);
    void readBlocking(int limit);
    void disconnectedOnReceive();
    void giveBack(const QByteArray& bytes) { m_receiveBuffer.prepend(bytes); }

    void createNotifiers();
    void adoptHandle(int fd);
    void applyNotificationMode();
    void updateNotifiers();
    void dispatchEvent(void (TGameSocket::*event)());
    void info(TSocketInfo kind, const QString& text);

    void readNotification();
    void writeNotification();
    void acceptNotification();
    void connectNotification();
    void closeNotification(int winsockError);
    void failedConnectNotification();
    void failConnectLater(int winsockError);

    int createSocket(int family, TSocketType type);
    int createListener(net::Endpoint& local);
    void startListening();
    void connectNonBlocking();
    bool lookUpStreamHost();
    std::vector<net::Endpoint> resolveNow(const QString& name);
    void lookupAnswered(const net::Resolution& answer);
    void cancelLookup();
    void connectNext();
    bool retryNextAddress();
    void closeAttempt();

    TSocketType m_socketType = stStream;
    QString m_hostName;
    QString m_portName;
    bool m_blocking = false;
    bool m_autoAccept = false;
    bool m_listen = false;
    TLineBreak m_lineBreak = lbSmart;
    int m_blockingTimeout = 0;

    int m_fd = -1;
    bool m_connected = false;
    bool m_connecting = false;     // non-blocking connect under way
    bool m_writeEventDue = false;  // the first write notification after connect or accept
    bool m_sendBroken = false;     // the network refused queued bytes for good
    bool m_inEvent = false;        // an event handler of this socket is running
    bool m_acceptDue = false;      // a connection was announced and not accepted yet
    bool m_datagramDue = false;    // a datagram was announced and not received yet
    int m_pendingConnectError = 0; // a connect that failed before any notification
    int m_acceptError = 0;         // errno of the last accept that failed
    QByteArray m_receiveBuffer;
    QByteArray m_sendQueue;
    net::Endpoint m_remoteAddress;
    sockaddr_storage m_peerAddress{};
    std::uint16_t m_remotePort = 0;          // network byte order
    std::vector<net::Endpoint> m_candidates; // the host's addresses not tried yet
    std::shared_ptr<net::HostLookup> m_lookup;
    QString m_lookupName;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    std::unique_ptr<TGameSocketStream> m_stream;
};
