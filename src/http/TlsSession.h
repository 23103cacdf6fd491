#pragma once

#include <QString>
#include <QtGlobal>

struct ssl_st;
struct ssl_ctx_st;

namespace http {

// The client side of TLS over one connected, non-blocking socket, for
// TAsyncSocket. It never waits: every call does what the socket allows and
// says what it needs next. The socket stays owned by the caller.
class TlsSession {
public:
    enum Result {
        Done,      // the step is complete (or data was moved)
        WantRead,  // call again when the socket is readable
        WantWrite, // call again when the socket is writable
        Closed,    // the peer ended the session with a close_notify
        Failed     // see failure(); the session is unusable
    };

    TlsSession() = default;
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Prepares the handshake with a server that must show a certificate for
    // serverName (a host name or an IP address), trusted by the system's
    // store or by caFile when given. Failed when that cannot be set up.
    Result start(int fd, const QString& serverName, const QString& caFile);
    Result handshake();
    // Plaintext into buffer, as much as has arrived, up to length. Data
    // already read comes back as Done even when the session ended behind
    // it; the end is reported by the next call.
    Result read(char* buffer, qsizetype length, qsizetype& count);
    Result write(const char* data, qsizetype length, qsizetype& count);
    // Sends a close_notify if the session is up and the socket takes it now.
    void shutdown();
    // Plaintext that has left the socket and waits inside the session: no
    // socket readiness will announce it.
    qsizetype pending() const;
    // Whether the peer's close_notify has arrived.
    bool closedByPeer() const;
    // One of "The server's certificate is not trusted", "The server's
    // certificate is for another name" or "The secure connection failed: "
    // and the reason; empty while nothing failed.
    QString failure() const { return m_failure; }

    // The text for a peer that closed the connection without a close_notify.
    static QString truncationFailure();

private:
    Result fail(const QString& failure);
    Result failedCall(int result);
    Result endedIsFailed(Result result);
    static QString reasonOfLastError(int sslError, int systemError);

    ssl_ctx_st* m_context = nullptr;
    ssl_st* m_ssl = nullptr;
    bool m_established = false;
    Result m_end = Done; // Closed or Failed once read has met the end
    QString m_failure;
};

} // namespace http
