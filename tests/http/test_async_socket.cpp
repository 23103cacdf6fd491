// TAsyncSocket against plain BSD sockets on loopback.
#include "http/AsyncSocket.h"
#include "support/TestSupport.h"

#include <QTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

using namespace testsupport;

namespace {

// Runs the event loop until everything posted before this call has run.
bool drainPostedEvents() {
    bool reached = false;
    QTimer::singleShot(0, [&] { reached = true; });
    return waitFor([&] { return reached; });
}

// A socket connected to a listener of the test, with its events written down.
struct Connection {
    RawSocket listener;
    RawSocket peer;
    TAsyncSocket socket;
    QStringList events;
    QByteArray received;

    Connection() {
        listener.listenOn("127.0.0.1", 0);
        socket.OnChangeState = [this](TAsyncSocket*, TSocketState, TSocketState state) {
            events << QStringLiteral("state %1").arg(state);
        };
        socket.OnSessionConnected = [this](TAsyncSocket*, int error) {
            events << QStringLiteral("connected %1").arg(error);
        };
        socket.OnDataSent = [this](TAsyncSocket*, int) { events << "sent"; };
        socket.OnSessionClosed = [this](TAsyncSocket*, int error) {
            events << QStringLiteral("closed %1").arg(error);
        };
        socket.OnDataAvailable = [this](TAsyncSocket* sender, int) {
            char buffer[100];
            const int count = sender->Receive(buffer, sizeof buffer);
            if (count > 0)
                received.append(buffer, count);
        };
    }
    bool open() {
        socket.Addr = QStringLiteral("127.0.0.1");
        socket.Port = QString::number(listener.localPort());
        socket.Connect();
        peer = listener.accept();
        return peer.isValid() && waitFor([this] { return socket.State() == asConnected; });
    }
};

} // namespace

TEST(AsyncSocket, DottedAddressesResolveAtOnceAndNamesLater) {
    TAsyncSocket socket;
    QList<int> results;
    QStringList reports;
    socket.OnDnsLookupDone = [&](TAsyncSocket*, int error) { results << error; };
    socket.OnError = [&](TAsyncSocket*, const QString& message, int) {
        reports << message;
        results << -1;
    };

    socket.DnsLookup(QStringLiteral(" 127.000.0.1 "));
    EXPECT_EQ(results, QList<int>{0});
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");

    socket.DnsLookup(QStringLiteral("localhost"));
    EXPECT_EQ(results.size(), 1); // answered through the event loop
    ASSERT_TRUE(waitFor([&] { return results.size() == 2; }));
    EXPECT_EQ(results[1], 0);
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
    EXPECT_TRUE(socket.DnsResultList().contains("127.0.0.1"));

    socket.DnsLookup(QString());
    EXPECT_EQ(reports, QStringList{"DNS lookup: invalid host name."});
    EXPECT_EQ(results.mid(2), QList<int>({-1, 10022}));
}

TEST(AsyncSocket, CancelledLookupNeverAnswers) {
    TAsyncSocket socket;
    int answers = 0;
    socket.OnDnsLookupDone = [&](TAsyncSocket*, int) { ++answers; };

    socket.DnsLookup(QStringLiteral("localhost"));
    socket.CancelDnsLookup();

    ASSERT_TRUE(TAsyncSocket::waitForLookups(5000)); // the answer has been posted
    ASSERT_TRUE(drainPostedEvents());                // and handled
    EXPECT_EQ(answers, 0);
}

TEST(AsyncSocket, SendsQueuedDataAndReportsItSentFromTheEventLoop) {
    Connection connection;
    ASSERT_TRUE(connection.open());
    EXPECT_EQ(connection.socket.Send("hello", 5), 5); // taken at once, reported later
    EXPECT_FALSE(connection.events.contains("sent"));
    ASSERT_TRUE(waitFor([&] { return connection.events.contains("sent"); }));
    EXPECT_EQ(connection.peer.readExactly(5), "hello");
    connection.events.removeAll("sent");
    // More than the loopback's buffers hold, so part of it has to wait.
    QByteArray data(32 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 4096);

    EXPECT_EQ(connection.socket.Send(data.constData(), int(data.size())), data.size());
    EXPECT_FALSE(connection.events.contains("sent"));
    EXPECT_GT(connection.socket.BufferedByteCount(), 0);

    EXPECT_EQ(connection.peer.readExactly(data.size(), 20000), data);
    ASSERT_TRUE(waitFor([&] { return connection.events.contains("sent"); }));
    EXPECT_EQ(connection.socket.BufferedByteCount(), 0);
    EXPECT_EQ(connection.events,
              QStringList({"state 1", "state 3", "state 5", "connected 0", "sent"}));
}

TEST(AsyncSocket, ReceivesUntilThePeerClosesThenClosesOnce) {
    Connection connection;
    ASSERT_TRUE(connection.open());
    const QByteArray text = QByteArray(1000, 'r') + "end";

    connection.peer.sendAll(text);
    connection.peer.close();

    ASSERT_TRUE(waitFor([&] { return connection.socket.State() == asClosed; }));
    EXPECT_EQ(connection.received, text);
    EXPECT_EQ(connection.socket.ReadCount(), text.size());
    connection.socket.Close(); // closing again does nothing
    ASSERT_TRUE(drainPostedEvents());
    EXPECT_EQ(connection.events.filter("closed"), QStringList{"closed 0"});
    EXPECT_EQ(connection.events.last(), "closed 0");
}

TEST(AsyncSocket, ResetByThePeerClosesOnceWith10054) {
    Connection connection;
    QStringList reports;
    connection.socket.OnError = [&](TAsyncSocket*, const QString& message, int) {
        reports << message;
    };
    ASSERT_TRUE(connection.open());

    connection.peer.reset();

    ASSERT_TRUE(waitFor([&] { return connection.socket.State() == asClosed; }));
    ASSERT_TRUE(drainPostedEvents());
    EXPECT_EQ(connection.events.filter("closed"), QStringList{"closed 10054"});
    EXPECT_EQ(reports, QStringList{"Error 10054 in function recv\r\nConnection reset by peer"});
}

TEST(AsyncSocket, RefusedConnectReportsTheErrorWithoutASession) {
    TAsyncSocket socket;
    QList<int> connected;
    int closed = 0;
    socket.OnSessionConnected = [&](TAsyncSocket*, int error) { connected << error; };
    socket.OnSessionClosed = [&](TAsyncSocket*, int) { ++closed; };
    socket.Addr = QStringLiteral("127.0.0.1");
    socket.Port = QString::number(freeTcpPort());

    socket.Connect();

    ASSERT_TRUE(waitFor([&] { return !connected.isEmpty(); }));
    EXPECT_EQ(connected, QList<int>{10061});
    EXPECT_EQ(socket.State(), asClosed);
    ASSERT_TRUE(drainPostedEvents());
    EXPECT_EQ(closed, 0);
}

// What Connect is given comes from an address a person typed: every bad
// setting is reported and connects nowhere; a local address given is the
// one the peer sees.
TEST(AsyncSocket, ConnectReportsBadSettingsAndBindsTheLocalAddressGiven) {
    RawSocket listener;
    ASSERT_TRUE(listener.listenOn("127.0.0.1", 0));
    const QString port = QString::number(listener.localPort());
    struct Setting {
        QString addr, port, proto, localAddr, localPort, report;
    };
    const QString tooLong(257, QLatin1Char('a'));
    const QList<Setting> refused = {
        {"127.0.0.1", "", "tcp", "", "", "Connect: No Port Specified"},
        {"", port, "tcp", "", "", "Connect: No IP Address Specified"},
        {"127.0.0.1", port, "", "", "", "Connect: No Protocol Specified"},
        {"127.0.0.1", port, "udp", "", "", "connect: AsyncSocketResolveProto: Invalid Protocol."},
        {"127.0.0.1", "65536", "tcp", "", "",
         "connect: AsyncSocketResolvePort: Cannot convert port '65536', Error #11004"},
        {"127.0.0.1", "123456", "tcp", "", "",
         "connect: AsyncSocketResolvePort: Cannot convert port '123456', Error #11004"},
        {"127.0.0.1", "8o", "tcp", "", "",
         "connect: AsyncSocketResolvePort: Cannot convert port '8o', Error #11004"},
        // A service name is a port; the address then fails.
        {"256.0.0.1", "http", "tcp", "", "",
         "connect: AsyncSocketResolveHost: '256.0.0.1' Invalid IP address."},
        {"1.2.3", port, "tcp", "", "",
         "connect: AsyncSocketResolveHost: '1.2.3' Invalid IP address."},
        {"1a.2.3.4", port, "tcp", "", "",
         "connect: AsyncSocketResolveHost: '1a.2.3.4' Invalid IP address."},
        {"1.2.3.1234", port, "tcp", "", "",
         "connect: AsyncSocketResolveHost: '1.2.3.1234' Invalid IP address."},
        {"example.invalid", port, "tcp", "", "",
         "connect: AsyncSocketResolveHost: Cannot convert host address 'example.invalid', Error "
         "#10022"},
        {tooLong, port, "tcp", "", "",
         "connect: AsyncSocketResolveHost: '" + tooLong + "' Invalid Hostname."},
        {"127.0.0.1", port, "tcp", "nowhere.invalid", "",
         "connect: AsyncSocketResolveHost: Cannot convert host address 'nowhere.invalid', Error "
         "#10022"},
        // The listener holds this address and port already.
        {"127.0.0.1", port, "tcp", "127.0.0.1", port,
         "Error 10048 in function bind\r\nAddress already in use"},
    };
    for (const Setting& setting : refused) {
        SCOPED_TRACE(setting.report.left(80).toStdString());
        TAsyncSocket socket;
        QStringList reports;
        socket.OnError = [&](TAsyncSocket*, const QString& message, int) { reports << message; };
        socket.Addr = setting.addr;
        socket.Port = setting.port;
        socket.Proto = setting.proto;
        socket.LocalAddr = setting.localAddr;
        socket.LocalPort = setting.localPort;
        socket.Connect();
        EXPECT_EQ(reports, QStringList{setting.report});
        EXPECT_NE(socket.LastError(), 0) << "a failure must not read as no error";
        EXPECT_TRUE(socket.State() == asInvalidState || socket.State() == asClosed)
            << socket.State();
        EXPECT_FALSE(listener.accept(0).isValid()) << "it connected all the same";
    }

    TAsyncSocket socket;
    QStringList reports;
    socket.OnError = [&](TAsyncSocket*, const QString& message, int) { reports << message; };
    socket.Addr = QStringLiteral("127.0.0.1");
    socket.Port = port;
    socket.LocalAddr = QStringLiteral("127.0.0.2");
    socket.Connect();
    const RawSocket peer = listener.accept();
    ASSERT_TRUE(peer.isValid());
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ASSERT_EQ(::getpeername(peer.fd(), reinterpret_cast<sockaddr*>(&from), &length), 0);
    EXPECT_EQ(ntohl(from.sin_addr.s_addr), 0x7F000002u);
    ASSERT_TRUE(waitFor([&] { return socket.State() == asConnected; }));
    socket.Connect();
    EXPECT_EQ(reports, QStringList{"Connect: Socket already in use"});
    EXPECT_EQ(socket.State(), asConnected);
}

TEST(AsyncSocket, SendWithoutConnectionIsReported) {
    TAsyncSocket socket;
    EXPECT_THROW(socket.Send("x", 1), ESocketException);

    QStringList reports;
    socket.OnError = [&](TAsyncSocket*, const QString& message, int error) {
        reports << QStringLiteral("%1|%2").arg(error).arg(message);
    };
    EXPECT_EQ(socket.Send("x", 1), -1);
    EXPECT_EQ(reports,
              QStringList{"10057|Error 10057 in function Send\r\nSocket is not connected"});
    EXPECT_EQ(socket.LastError(), 10057);
}

TEST(AsyncSocket, FailureInAHandlerAbortsTheSocketUnlessKept) {
    for (const bool keep : {false, true}) {
        Connection connection;
        QStringList failures;
        connection.socket.OnDataAvailable = [&](TAsyncSocket* sender, int) {
            char buffer[16];
            const int count = sender->Receive(buffer, sizeof buffer);
            connection.received.append(buffer, std::max(count, 0));
            if (connection.received.contains("boom"))
                throw std::runtime_error("handler failed");
        };
        connection.socket.OnBackgroundException = [&](TAsyncSocket*, const std::exception& error,
                                                      bool& canClose) {
            failures << QString::fromLatin1(error.what());
            canClose = !keep;
        };
        ASSERT_TRUE(connection.open());

        connection.peer.sendAll("boom");

        ASSERT_TRUE(waitFor([&] { return !failures.isEmpty(); }));
        EXPECT_EQ(failures, QStringList{"handler failed"});
        if (keep) {
            connection.received.clear();
            connection.peer.sendAll("more");
            EXPECT_TRUE(waitFor([&] { return connection.received == "more"; }));
            EXPECT_EQ(connection.socket.State(), asConnected);
        } else {
            EXPECT_EQ(connection.socket.State(), asClosed);
            EXPECT_TRUE(connection.peer.peerClosed());
        }
    }
}

TEST(AsyncSocket, AbortDropsTheQueueAndResetsTheConnection) {
    Connection connection;
    ASSERT_TRUE(connection.open());
    const QByteArray data(32 * 1024 * 1024, 'q');
    connection.socket.Send(data.constData(), int(data.size()));
    ASSERT_GT(connection.socket.BufferedByteCount(), 0);

    connection.socket.Abort();

    EXPECT_EQ(connection.socket.BufferedByteCount(), 0);
    EXPECT_EQ(connection.socket.State(), asClosed);
    // A reset arrives before all the data could: the peer gets less.
    EXPECT_LT(connection.peer.readExactly(data.size(), 10000).size(), data.size());
    EXPECT_EQ(connection.events.filter("closed"), QStringList{"closed 0"});
}
