// TAsyncSocket against plain BSD sockets on loopback.
#include "http/AsyncSocket.h"
#include "support/TestSupport.h"

#include <QTimer>
#include <gtest/gtest.h>

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
