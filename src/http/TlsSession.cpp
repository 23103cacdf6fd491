#include "http/TlsSession.h"

#include <QByteArray>
#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

namespace http {

namespace {

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE on a
// connection the peer has dropped and so would end the whole program. This
// one sends with MSG_NOSIGNAL and remembers the end of the stream, which
// OpenSSL asks for to tell a truncated session from a failed call.
struct SocketLink {
    int fd = -1;
    bool endOfStream = false;
};

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int linkWrite(BIO* bio, const char* data, int length) {
    const auto* link = static_cast<SocketLink*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    const ssize_t sent = ::send(link->fd, data, size_t(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && wouldBlock(errno))
        BIO_set_retry_write(bio);
    return int(sent);
}

int linkRead(BIO* bio, char* buffer, int length) {
    auto* link = static_cast<SocketLink*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    const ssize_t received = ::recv(link->fd, buffer, size_t(length), MSG_DONTWAIT);
    if (received == 0)
        link->endOfStream = true;
    else if (received < 0 && wouldBlock(errno))
        BIO_set_retry_read(bio);
    return int(received);
}

long linkControl(BIO* bio, int command, long, void*) {
    const auto* link = static_cast<SocketLink*>(BIO_get_data(bio));
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return link && link->endOfStream ? 1 : 0;
    default:
        return 0;
    }
}

int linkCreate(BIO* bio) {
    BIO_set_data(bio, new SocketLink);
    BIO_set_init(bio, 1);
    return 1;
}

int linkDestroy(BIO* bio) {
    delete static_cast<SocketLink*>(BIO_get_data(bio));
    BIO_set_data(bio, nullptr);
    return 1;
}

const BIO_METHOD* socketLinkMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket link");
        BIO_meth_set_write(made, linkWrite);
        BIO_meth_set_read(made, linkRead);
        BIO_meth_set_ctrl(made, linkControl);
        BIO_meth_set_create(made, linkCreate);
        BIO_meth_set_destroy(made, linkDestroy);
        return made;
    }();
    return method;
}

bool isIpAddress(const QByteArray& name) {
    unsigned char address[16];
    return ::inet_pton(AF_INET, name.constData(), address) == 1 ||
           ::inet_pton(AF_INET6, name.constData(), address) == 1;
}

const QString NotTrusted = QStringLiteral("The server's certificate is not trusted");
const QString AnotherName = QStringLiteral("The server's certificate is for another name");
const QString ConnectionFailed = QStringLiteral("The secure connection failed: ");

} // namespace

TlsSession::~TlsSession() {
    SSL_free(m_ssl); // with its link; the socket is the caller's
    SSL_CTX_free(m_context);
}

QString TlsSession::truncationFailure() {
    return ConnectionFailed + QStringLiteral("unexpected eof while reading");
}

TlsSession::Result TlsSession::fail(const QString& failure) {
    if (m_failure.isEmpty())
        m_failure = failure;
    ERR_clear_error();
    return Failed;
}

TlsSession::Result TlsSession::start(int fd, const QString& serverName, const QString& caFile) {
    ERR_clear_error();
    const QByteArray name = serverName.toUtf8();
    if (name.isEmpty())
        return fail(ConnectionFailed + QStringLiteral("no server name to check the certificate"));
    m_context = SSL_CTX_new(TLS_client_method());
    if (!m_context)
        return fail(ConnectionFailed + reasonOfLastError(SSL_ERROR_SSL, 0));
    SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    SSL_CTX_set_options(m_context, SSL_OP_NO_RENEGOTIATION);
    // The send queue hands over what it holds at each try, from wherever it
    // lies now.
    SSL_CTX_set_mode(m_context,
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, nullptr);
    if (SSL_CTX_set_default_verify_paths(m_context) != 1)
        return fail(ConnectionFailed + reasonOfLastError(SSL_ERROR_SSL, 0));
    if (!caFile.isEmpty() && SSL_CTX_load_verify_locations(
                                 m_context, QFile::encodeName(caFile).constData(), nullptr) != 1)
        return fail(ConnectionFailed + reasonOfLastError(SSL_ERROR_SSL, 0) +
                    QStringLiteral(" (CA file %1)").arg(caFile));

    m_ssl = SSL_new(m_context);
    BIO* link = BIO_new(socketLinkMethod());
    if (!m_ssl || !link) {
        BIO_free(link);
        return fail(ConnectionFailed + reasonOfLastError(SSL_ERROR_SSL, 0));
    }
    static_cast<SocketLink*>(BIO_get_data(link))->fd = fd;
    SSL_set_bio(m_ssl, link, link);

    X509_VERIFY_PARAM* check = SSL_get0_param(m_ssl);
    X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (isIpAddress(name)) {
        // An address is checked against the certificate's addresses, and
        // is never sent as a server name.
        if (X509_VERIFY_PARAM_set1_ip_asc(check, name.constData()) != 1)
            return fail(ConnectionFailed + reasonOfLastError(SSL_ERROR_SSL, 0));
    } else if (SSL_set1_host(m_ssl, name.constData()) != 1 ||
               SSL_set_tlsext_host_name(m_ssl, name.constData()) != 1) {
        return fail(ConnectionFailed + reasonOfLastError(SSL_ERROR_SSL, 0));
    }
    SSL_set_connect_state(m_ssl);
    return Done;
}

TlsSession::Result TlsSession::handshake() {
    if (!m_failure.isEmpty())
        return Failed;
    ERR_clear_error();
    errno = 0;
    const int result = SSL_connect(m_ssl);
    if (result == 1) {
        m_established = true;
        return Done;
    }
    return endedIsFailed(failedCall(result));
}

TlsSession::Result TlsSession::read(char* buffer, qsizetype length, qsizetype& count) {
    count = 0;
    if (m_end != Done)
        return m_end;
    // Record after record until the buffer is full or the socket is empty:
    // fewer, larger pieces for the application.
    while (count < length) {
        ERR_clear_error();
        errno = 0;
        size_t got = 0;
        if (SSL_read_ex(m_ssl, buffer + count, size_t(length - count), &got) == 1) {
            count += qsizetype(got);
            continue;
        }
        const Result result = failedCall(0);
        if (result == Closed || result == Failed)
            m_end = result;
        return count > 0 ? Done : result;
    }
    return Done;
}

TlsSession::Result TlsSession::write(const char* data, qsizetype length, qsizetype& count) {
    count = 0;
    if (!m_failure.isEmpty())
        return Failed;
    ERR_clear_error();
    errno = 0;
    size_t written = 0;
    if (SSL_write_ex(m_ssl, data, size_t(length), &written) == 1) {
        count = qsizetype(written);
        return Done;
    }
    return endedIsFailed(failedCall(0));
}

void TlsSession::shutdown() {
    // Never after a failure: OpenSSL forbids it, and there is nothing to end.
    if (!m_ssl || !m_established || !m_failure.isEmpty())
        return;
    ERR_clear_error();
    SSL_shutdown(m_ssl);
    ERR_clear_error();
}

qsizetype TlsSession::pending() const {
    return m_ssl && m_failure.isEmpty() ? SSL_pending(m_ssl) : 0;
}

bool TlsSession::closedByPeer() const {
    return m_ssl && (SSL_get_shutdown(m_ssl) & SSL_RECEIVED_SHUTDOWN) != 0;
}

// Only a read may meet the peer's close_notify as a regular end.
TlsSession::Result TlsSession::endedIsFailed(Result result) {
    if (result != Closed)
        return result;
    return fail(ConnectionFailed + QStringLiteral("the server ended the session"));
}

TlsSession::Result TlsSession::failedCall(int result) {
    const int systemError = errno;
    const int error = SSL_get_error(m_ssl, result);
    switch (error) {
    case SSL_ERROR_WANT_READ:
        return WantRead;
    case SSL_ERROR_WANT_WRITE:
        return WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return Closed;
    default:
        break;
    }
    if (!m_established) {
        const long verified = SSL_get_verify_result(m_ssl);
        if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH)
            return fail(AnotherName);
        if (verified != X509_V_OK)
            return fail(NotTrusted);
    }
    return fail(ConnectionFailed + reasonOfLastError(error, systemError));
}

QString TlsSession::reasonOfLastError(int sslError, int systemError) {
    if (const unsigned long code = ERR_peek_error(); code != 0) {
        if (ERR_GET_LIB(code) == ERR_LIB_SYS)
            return QString::fromLocal8Bit(std::strerror(ERR_GET_REASON(code)));
        if (const char* reason = ERR_reason_error_string(code))
            return QString::fromLatin1(reason);
        char text[256] = {};
        ERR_error_string_n(code, text, sizeof text);
        return QString::fromLatin1(text);
    }
    if (sslError == SSL_ERROR_SYSCALL && systemError != 0)
        return QString::fromLocal8Bit(std::strerror(systemError));
    return QStringLiteral("unexpected eof while reading");
}

} // namespace http
