// https through THttpClient and TAsyncSocket, against TLS servers of the
// test's own on loopback with certificates made for this run.
#include "ScriptedHttpServer.h"
#include "TestCertificates.h"
#include "http/HttpClient.h"
#include "http/TlsSession.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QTimer>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;
using Reply = ScriptedHttpServer::Reply;

namespace {

const QString NotTrusted = QStringLiteral("The server's certificate is not trusted");
const QString AnotherName = QStringLiteral("The server's certificate is for another name");
const QString ConnectionFailed = QStringLiteral("The secure connection failed: ");

struct Fetched {
    bool raised = false;
    int status = 0;
    QString reason;
    QByteArray body;
    TSocketState socketState = asInvalidState;
    QString port; // where the socket went
};

// One blocking GET; `tick` runs every few milliseconds while it waits.
Fetched get(const QString& url, const QString& caFile,
            const std::function<void(THttpClient&)>& tick = {}) {
    THttpClient http;
    http.URL = url;
    http.CaFile = caFile;
    QBuffer body;
    body.open(QIODevice::WriteOnly);
    http.ReceiveStream = &body;
    QTimer ticker;
    ticker.callOnTimeout([&] {
        if (tick)
            tick(http);
    });
    ticker.start(5);
    // No request here takes long: a hang ends as an abort, not as a stuck test.
    QTimer::singleShot(20000, &http, [&http] { http.Abort(); });
    Fetched result;
    try {
        http.Get();
    } catch (const EHttpException&) {
        result.raised = true;
    }
    result.status = http.StatusCode();
    result.reason = http.ReasonPhrase();
    result.body = body.data();
    result.socketState = http.Socket().State();
    result.port = http.Socket().Port;
    return result;
}

// Bytes that repeat nowhere near a TLS record's length.
QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(i * 31 + i / 997);
    return bytes;
}

// A hostile peer on a thread of its own: plain poll() waits, as the test's
// thread runs the client's event loop meanwhile.
class HostilePeer {
public:
    explicit HostilePeer(int listener) {
        pollfd entry{listener, POLLIN, 0};
        if (::poll(&entry, 1, 10000) > 0)
            m_fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    }
    ~HostilePeer() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    // Reads until count bytes came; false when the client closed or time is up.
    bool receive(qsizetype count) {
        qsizetype got = 0;
        char buffer[4096];
        while (got < count && readable()) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return false;
            got += n;
        }
        return got >= count;
    }
    void send(const QByteArray& bytes) {
        ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    }
    // True once the client has closed, whatever it sent before.
    bool clientClosed() {
        char buffer[4096];
        while (readable()) {
            if (::recv(m_fd, buffer, sizeof buffer, 0) <= 0)
                return true;
        }
        return false;
    }

private:
    bool readable() {
        pollfd entry{m_fd, POLLIN, 0};
        return m_fd >= 0 && ::poll(&entry, 1, 10000) > 0;
    }
    int m_fd = -1;
};

QString url(const char* host, std::uint16_t port, const char* path) {
    return QStringLiteral("https://%1:%2%3")
        .arg(QLatin1String(host))
        .arg(port)
        .arg(QLatin1String(path));
}

} // namespace

TEST(Https, CarriesTheBodyExactlyToANameAndToAnAddress) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << certificates.errors().toStdString();
    const QByteArray known = pattern(1024 * 1024 + 1);
    const QByteArray unknown = pattern(300001).mid(5);
    ScriptedHttpServer server(
        [&](const QByteArray& request, int) {
            if (request.startsWith("GET /known "))
                return Reply{"HTTP/1.0 200 OK\r\nContent-Length: " +
                             QByteArray::number(known.size()) + "\r\n\r\n" + known};
            // No length: the body ends with the session's close_notify.
            return Reply{"HTTP/1.0 200 OK\r\n\r\n" + unknown};
        },
        certificates.localhost().certificate, certificates.localhost().key);

    const Fetched byName = get(url("localhost", server.port(), "/known"), certificates.caFile());
    EXPECT_FALSE(byName.raised) << byName.reason.toStdString();
    EXPECT_EQ(byName.status, 200);
    EXPECT_EQ(byName.body.size(), known.size());
    EXPECT_TRUE(byName.body == known);

    const Fetched byAddress =
        get(url("127.0.0.1", server.port(), "/unknown"), certificates.caFile());
    EXPECT_FALSE(byAddress.raised) << byAddress.reason.toStdString();
    EXPECT_EQ(byAddress.body.size(), unknown.size());
    EXPECT_TRUE(byAddress.body == unknown);

    // The name goes out for the server to choose its certificate; an
    // address never does.
    EXPECT_EQ(server.serverNames(), QList<QByteArray>({"localhost", ""}));
    EXPECT_TRUE(server.requests().value(0).contains("\r\nHost: localhost\r\n"));

    // Without a port in the address, https goes to 443.
    EXPECT_EQ(get(QStringLiteral("https://127.0.0.1/"), certificates.caFile()).port, "443");

    qputenv("DUNVEX_CA_FILE", certificates.caFile().toLocal8Bit());
    const THttpClient byDefault;
    qunsetenv("DUNVEX_CA_FILE");
    EXPECT_EQ(byDefault.CaFile, certificates.caFile());
}

TEST(Https, RefusesServersWhoseCertificateIsNotTrustedOrForAnotherName) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << certificates.errors().toStdString();
    const auto answer = [](const QByteArray&, int) {
        return Reply{"HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nsecret"};
    };
    ScriptedHttpServer trusted(answer, certificates.localhost().certificate,
                               certificates.localhost().key);
    ScriptedHttpServer other(answer, certificates.otherName().certificate,
                             certificates.otherName().key);
    ScriptedHttpServer self(answer, certificates.selfSigned().certificate,
                            certificates.selfSigned().key);
    const QString ca = certificates.caFile();
    const struct {
        QString url;
        QString caFile;
        QString reason;
    } cases[] = {
        {url("localhost", other.port(), "/"), ca, AnotherName},
        {url("127.0.0.1", other.port(), "/"), ca, AnotherName},
        {url("localhost", self.port(), "/"), ca, NotTrusted},
        // Our CA is in no system store.
        {url("localhost", trusted.port(), "/"), QString(), NotTrusted},
    };
    for (const auto& check : cases) {
        const Fetched refused = get(check.url, check.caFile);
        EXPECT_TRUE(refused.raised) << check.url.toStdString();
        EXPECT_EQ(refused.status, 404) << check.url.toStdString();
        EXPECT_EQ(refused.reason, check.reason) << check.url.toStdString();
        EXPECT_TRUE(refused.body.isEmpty());
    }
    const Fetched noCaFile = get(url("localhost", trusted.port(), "/"),
                                 certificates.caFile() + QStringLiteral(".missing"));
    EXPECT_TRUE(noCaFile.raised);
    EXPECT_TRUE(noCaFile.reason.startsWith(ConnectionFailed)) << noCaFile.reason.toStdString();

    // Not a byte of a request went to a server that was not verified.
    EXPECT_TRUE(other.requests().isEmpty());
    EXPECT_TRUE(self.requests().isEmpty());
    EXPECT_TRUE(trusted.requests().isEmpty());
    EXPECT_EQ(other.failedHandshakes() + self.failedHandshakes(), 3);
}

TEST(Https, ASessionCutWithoutCloseNotifyFailsABodyWithoutLength) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << certificates.errors().toStdString();
    const QByteArray body = pattern(100000);
    ScriptedHttpServer server(
        [&](const QByteArray& request, int) {
            const auto after = request.startsWith("GET /cut ") ? ScriptedHttpServer::Cut
                                                               : ScriptedHttpServer::Close;
            return Reply{"HTTP/1.0 200 OK\r\n\r\n" + body, after};
        },
        certificates.localhost().certificate, certificates.localhost().key);

    const Fetched cut = get(url("localhost", server.port(), "/cut"), certificates.caFile());
    EXPECT_TRUE(cut.raised);
    EXPECT_EQ(cut.status, 404);
    EXPECT_EQ(cut.reason, ConnectionFailed + "unexpected eof while reading");

    const Fetched closed = get(url("localhost", server.port(), "/closed"), certificates.caFile());
    EXPECT_FALSE(closed.raised) << closed.reason.toStdString();
    EXPECT_TRUE(closed.body == body);
}

TEST(Https, HostilePeersEndTheRequestAndAbortFreesAStalledHandshake) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << certificates.errors().toStdString();
    RawSocket listener;
    ASSERT_TRUE(listener.listenOn("127.0.0.1", 0));
    const QString address = url("127.0.0.1", listener.localPort(), "/");

    // A plain HTTP server where TLS was expected: its answer is no handshake.
    std::thread plain([&] {
        HostilePeer peer(listener.fd());
        peer.receive(5);
        peer.send("HTTP/1.0 200 OK\r\n\r\n<html>not secure</html>");
        peer.clientClosed();
    });
    const Fetched garbage = get(address, certificates.caFile());
    plain.join();
    EXPECT_TRUE(garbage.raised);
    EXPECT_EQ(garbage.status, 404);
    EXPECT_TRUE(garbage.reason.startsWith(ConnectionFailed)) << garbage.reason.toStdString();
    EXPECT_TRUE(garbage.body.isEmpty());

    // A server that takes the client's hello and never answers: the client
    // waits on socket events alone, until an abort (as a time limit would
    // call it) ends the request and frees the half-made session.
    std::atomic<bool> helloArrived{false};
    std::atomic<bool> clientLeft{false};
    std::thread silent([&] {
        HostilePeer peer(listener.fd());
        helloArrived = peer.receive(5);
        clientLeft = peer.clientClosed();
    });
    int ticksAfterHello = 0;
    const Fetched stalled = get(address, certificates.caFile(), [&](THttpClient& http) {
        // Several ticks with the hello there and nothing back: no fixed
        // sleep, and the handshake had every chance to move on wrongly.
        if (helloArrived && ++ticksAfterHello == 5)
            http.Abort();
    });
    silent.join();
    EXPECT_TRUE(helloArrived);
    EXPECT_TRUE(stalled.raised);
    EXPECT_EQ(stalled.reason, "Connection aborted on request");
    EXPECT_EQ(stalled.socketState, asClosed);
    EXPECT_TRUE(clientLeft);

    // The socket's own Abort in the middle of the handshake, as its failure
    // handling calls it: closed once, never connected, and free to connect again.
    helloArrived = false;
    clientLeft = false;
    std::thread another([&] {
        HostilePeer peer(listener.fd());
        helloArrived = peer.receive(5);
        clientLeft = peer.clientClosed();
    });
    TAsyncSocket socket;
    QStringList events;
    socket.OnSessionConnected = [&](TAsyncSocket*, int error) {
        events << QStringLiteral("connected %1").arg(error);
    };
    socket.OnSessionClosed = [&](TAsyncSocket*, int error) {
        events << QStringLiteral("closed %1").arg(error);
    };
    socket.Tls = true;
    socket.TlsServerName = QStringLiteral("127.0.0.1");
    socket.Addr = QStringLiteral("127.0.0.1");
    socket.Port = QString::number(listener.localPort());
    socket.Connect();
    EXPECT_TRUE(waitFor([&] { return bool(helloArrived); }, 10000));
    EXPECT_EQ(socket.State(), asConnecting);
    socket.Abort();
    EXPECT_EQ(socket.State(), asClosed);
    EXPECT_TRUE(waitFor([&] { return bool(clientLeft); }, 10000));
    another.join();
    EXPECT_EQ(events, QStringList{"closed 0"});
}

TEST(Https, TheSocketHandsSmallReadsWhatTheSessionHoldsWithoutNewSocketData) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << certificates.errors().toStdString();
    // Three records, then silence: the rest of the last one waits inside the
    // session, and the socket has nothing more to announce.
    const QByteArray reply = pattern(40000);
    ScriptedHttpServer server(
        [&](const QByteArray&, int) {
            return Reply{reply, ScriptedHttpServer::Hold};
        },
        certificates.localhost().certificate, certificates.localhost().key);
    TAsyncSocket socket;
    socket.Tls = true;
    socket.TlsServerName = QStringLiteral("localhost");
    socket.TlsCaFile = certificates.caFile();
    socket.Addr = QStringLiteral("127.0.0.1");
    socket.Port = QString::number(server.port());
    QStringList events;
    QByteArray received;
    socket.OnSessionConnected = [&](TAsyncSocket* sender, int error) {
        events << QStringLiteral("connected %1").arg(error);
        sender->Send("GET / HTTP/1.0\r\n\r\n", 18);
    };
    socket.OnDataAvailable = [&](TAsyncSocket* sender, int) {
        char buffer[100];
        const int count = sender->Receive(buffer, sizeof buffer);
        if (count > 0)
            received.append(buffer, count);
        if (received.size() == reply.size())
            sender->Close();
    };
    socket.OnSessionClosed = [&](TAsyncSocket*, int error) {
        events << QStringLiteral("closed %1").arg(error);
    };
    socket.Connect();

    ASSERT_TRUE(waitFor([&] { return events.size() == 2; }, 10000))
        << received.size() << " bytes received";
    EXPECT_EQ(events, QStringList({"connected 0", "closed 0"}));
    EXPECT_TRUE(received == reply);
    EXPECT_EQ(socket.TlsFailure(), QString());
    EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 1; }));
}

TEST(Https, RefusesARelocationToPlainHttp) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << certificates.errors().toStdString();
    ScriptedHttpServer plain([](const QByteArray&, int) {
        return Reply{"HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nDATA"};
    });
    const QByteArray target = "http://127.0.0.1:" + QByteArray::number(plain.port()) + "/plain";
    ScriptedHttpServer secure(
        [&](const QByteArray& request, int) {
            if (request.startsWith("GET /same "))
                return Reply{"HTTP/1.0 302 Found\r\nLocation: /secure-too\r\n\r\n"};
            if (request.startsWith("GET /secure-too "))
                return Reply{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"};
            return Reply{"HTTP/1.0 302 Found\r\nLocation: " + target + "\r\n\r\n"};
        },
        certificates.localhost().certificate, certificates.localhost().key);

    const Fetched down = get(url("localhost", secure.port(), "/down"), certificates.caFile());
    EXPECT_TRUE(down.raised);
    EXPECT_EQ(down.reason, QStringLiteral("Refused a relocation from https to http"));
    // A relative relocation stays on https: the barrier that the plain
    // server would have been asked by now.
    const Fetched same = get(url("localhost", secure.port(), "/same"), certificates.caFile());
    EXPECT_EQ(same.body, "ok");
    EXPECT_EQ(plain.requests().size(), 0);
}

// A wildcard stands for a whole label only: a certificate for "w*.dunvex.test"
// is refused for www.dunvex.test as one for another name.
TEST(Https, APartialWildcardCertificateIsForNoName) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << certificates.errors().toStdString();
    ScriptedHttpServer server(
        [](const QByteArray&, int) { return Reply{"HTTP/1.0 200 OK\r\n\r\n"}; },
        certificates.partialWildcard().certificate, certificates.partialWildcard().key);
    RawSocket link;
    ASSERT_TRUE(link.connectTo("127.0.0.1", server.port()));
    ::fcntl(link.fd(), F_SETFL, ::fcntl(link.fd(), F_GETFL) | O_NONBLOCK);
    http::TlsSession session;
    ASSERT_EQ(session.start(link.fd(), QStringLiteral("www.dunvex.test"), certificates.caFile()),
              http::TlsSession::Done);
    http::TlsSession::Result step = session.handshake();
    for (int round = 0;
         round < 100 && (step == http::TlsSession::WantRead || step == http::TlsSession::WantWrite);
         ++round) {
        pollfd entry{link.fd(), short(step == http::TlsSession::WantRead ? POLLIN : POLLOUT), 0};
        ASSERT_EQ(::poll(&entry, 1, 5000), 1) << "the handshake stalled";
        step = session.handshake();
    }
    EXPECT_EQ(step, http::TlsSession::Failed);
    EXPECT_EQ(session.failure(), AnotherName);
    EXPECT_TRUE(server.requests().isEmpty());
}

// A server that resets the connection before the client's hello: the
// handshake fails on the refused write at once, instead of waiting to write
// again.
TEST(Https, AHandshakeOnAResetConnectionFailsAtOnce) {
    RawSocket listener;
    ASSERT_TRUE(listener.listenOn("127.0.0.1", 0));
    RawSocket link;
    ASSERT_TRUE(link.connectTo("127.0.0.1", listener.localPort()));
    listener.accept().reset();
    pollfd entry{link.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&entry, 1, 5000), 1) << "the reset did not arrive";
    ::fcntl(link.fd(), F_SETFL, ::fcntl(link.fd(), F_GETFL) | O_NONBLOCK);
    http::TlsSession session;
    ASSERT_EQ(session.start(link.fd(), QStringLiteral("localhost"), QString()),
              http::TlsSession::Done);
    EXPECT_EQ(session.handshake(), http::TlsSession::Failed);
    EXPECT_TRUE(session.failure().startsWith(ConnectionFailed)) << session.failure().toStdString();
}
