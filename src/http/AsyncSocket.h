#pragma once

#include "http/SendBuffer.h"
#include "http/TlsSession.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

class QSocketNotifier;

enum TSocketState {
    asInvalidState,
    asOpened,
    asBound,
    asConnecting,
    asSocksConnected,
    asConnected,
    asAccepting,
    asListening,
    asClosed
};

enum TSocketLingerOnOff { asLingerOff, asLingerOn, asLingerNoSet };

// The failure of a socket call, with the WinSock error number (0 when the
// failure is not a system error).
class ESocketException : public std::runtime_error {
public:
    ESocketException(const QString& message, int code = 0)
        : std::runtime_error(message.toStdString())
        , m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

class TAsyncSocket;
using TSocketErrorEvent = std::function<void(TAsyncSocket* sender, int error)>;
using TSocketChangeStateEvent =
    std::function<void(TAsyncSocket* sender, TSocketState oldState, TSocketState newState)>;
using TSocketReportEvent =
    std::function<void(TAsyncSocket* sender, const QString& message, int error)>;
using TSocketBackgroundEvent =
    std::function<void(TAsyncSocket* sender, const std::exception& error, bool& canClose)>;

// A non-blocking TCP client socket whose every step arrives as an event on the
// thread that owns it. Name lookups run on a worker thread and report back
// through the event loop, so nothing here ever waits.
//
// Handlers may Close or Abort the socket, but must not delete it: use
// deleteLater().
class TAsyncSocket : public QObject {
    Q_OBJECT
public:
    explicit TAsyncSocket(QObject* owner = nullptr);
    ~TAsyncSocket() override;

    // Published properties.
    QString Addr;
    QString Port;
    QString Proto = QStringLiteral("tcp");
    QString LocalAddr = QStringLiteral("0.0.0.0");
    QString LocalPort;
    bool TcpNoDelay = false; // asoTcpNoDelay
    TSocketLingerOnOff LingerOnOff = asLingerOn;
    int LingerTimeout = 0;
    // TLS over the connection, chosen before Connect. OnSessionConnected then
    // comes after the handshake, and the server's certificate must be for
    // TlsServerName and trusted by the system's store or by TlsCaFile.
    bool Tls = false;
    QString TlsServerName;
    QString TlsCaFile;

    TSocketChangeStateEvent OnChangeState;
    TSocketErrorEvent OnDnsLookupDone;
    TSocketErrorEvent OnSessionConnected;
    TSocketErrorEvent OnDataAvailable;
    TSocketErrorEvent OnDataSent;
    TSocketErrorEvent OnSessionClosed;
    // When assigned, receives every error that would otherwise be raised.
    TSocketReportEvent OnError;
    TSocketBackgroundEvent OnBackgroundException;

    TSocketState State() const { return m_state; }
    QString DnsResult() const { return m_dnsResult; }
    QStringList DnsResultList() const { return m_dnsResultList; }
    int LastError() const { return m_lastError; }
    qint64 ReadCount() const { return m_readCount; }
    // Bytes queued and not taken by the network yet.
    qsizetype BufferedByteCount() const { return m_sendQueue.size(); }
    // Why the last TLS connection failed (the handshake, or the session
    // later, then reported with TlsError); empty when it did not.
    QString TlsFailure() const { return m_tlsFailure; }
    // The error a failed TLS session is reported with.
    static constexpr int TlsError = 10053;

    void DnsLookup(const QString& host);
    void CancelDnsLookup();
    bool DnsLookupRunning() const { return m_lookup != nullptr; }
    void Connect();
    int Send(const void* data, int length);
    // Up to length bytes that have arrived; 0 when the peer has closed, -1
    // with LastError set when nothing can be read (10035: nothing yet).
    int Receive(void* buffer, int length);
    void Close();
    void CloseDelayed();
    void Abort();

    // The text of a WinSock error number ("Not a WinSock error" for others).
    static QString errorDescription(int error);
    // Waits until the lookups started so far have finished and posted their
    // answers (which then wait in the event queue). For an orderly exit.
    static bool waitForLookups(int milliseconds);

    struct Lookup;

private:
    void changeState(TSocketState newState);
    void report(const QString& message, int error);
    void reportSocketError(int error, const char* function);
    void reportBadSetting(const ESocketException& failure);
    void lookupAnswered(const std::shared_ptr<Lookup>& lookup);
    quint32 resolveHost(const QString& host, const char* context);
    quint16 resolvePort(const QString& port, const char* context);
    void configureStreamSocket();
    void startConnect(quint32 address, quint16 port);
    void updateNotifiers();
    void dispatch(void (TAsyncSocket::*event)());
    void postEvent(void (TAsyncSocket::*event)());
    void connectEvent();
    void readEvent();
    void writeEvent();
    void closeEvent();
    void peekForClose();
    void backgroundFailure(const std::exception& failure);
    void flushSendQueue();
    void closeHandle();
    void sessionClosed(int error);

    void startTls();
    void handshakeEvent();
    void tlsConnectFailed();
    int receiveTls(char* buffer, int length);
    void flushTlsSendQueue();
    void postPendingTlsRead();

    TSocketState m_state = asInvalidState;
    int m_fd = -1;
    quint64 m_connectionSerial = 0;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    bool m_inEvent = false;
    bool m_peerClosed = false;
    bool m_readWanted = true;     // read events wait for the next Receive when false
    bool m_receiveCalled = false; // the current read event's handler called Receive
    int m_peerError = 0;
    std::shared_ptr<Lookup> m_lookup;
    QString m_dnsResult;
    QStringList m_dnsResultList;
    int m_lastError = 0;
    qint64 m_readCount = 0;
    TSendBuffer m_sendQueue;

    std::unique_ptr<http::TlsSession> m_tls;
    bool m_tlsHandshaking = false;
    bool m_tlsHandshakeWantsRead = false;
    bool m_tlsReadWantsWrite = false; // a Receive waits for the socket to take data
    bool m_tlsWriteWantsRead = false; // the send queue waits for data to arrive
    QString m_tlsFailure;
};
