// The game socket over real loopback connections.
#include "net/GameSocket.h"
#include "net/HostCache.h"
#include "platform/StrToInt.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

using namespace testsupport;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

// Records a socket's events in order, as "kind:text" for infos.
struct EventLog {
    std::vector<QString> events;

    void attach(TGameSocket& socket) {
        socket.OnInfo = [this](TGameSocket*, TSocketInfo kind, const QString& text) {
            events.push_back(QString::number(int(kind)) + ':' + text);
        };
        socket.OnConnect = [this](TGameSocket*) { events.push_back(QStringLiteral("connect")); };
        socket.OnDisconnect = [this](TGameSocket*) {
            events.push_back(QStringLiteral("disconnect"));
        };
    }
    bool contains(const QString& event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    int count(const QString& event) const {
        return int(std::count(events.begin(), events.end(), event));
    }
    std::vector<QString> withoutLookups() const {
        std::vector<QString> result;
        for (const QString& event : events)
            if (!event.startsWith(QLatin1String("0:Lookup Of")))
                result.push_back(event);
        return result;
    }
};

QString portText(std::uint16_t port) {
    return QString::number(port);
}

// A game socket connected to a raw peer that the test drives by hand.
struct ClientAndPeer {
    EventLog log; // first: the sockets report into it until they are gone
    RawSocket listener;
    TGameSocket client;
    RawSocket peer;

    ClientAndPeer() {
        listener.listenOn("127.0.0.1", 0);
        log.attach(client);
        client.setHostName(QStringLiteral("127.0.0.1"));
        client.setPortName(portText(listener.localPort()));
        client.Open();
        peer = listener.accept();
    }
    bool waitConnected() {
        return waitFor([this] { return client.Connected(); });
    }
};

// A game socket accepted by a game listener from a raw client.
struct ListenerAndClient {
    TGameSocket listener;
    TGameSocket* accepted = nullptr;
    RawSocket raw;

    ListenerAndClient() {
        listener.setPortName(portText(freeTcpPort()));
        listener.OnAccept = [this](TGameSocket* sender) { sender->Accept(accepted); };
        listener.setListen(true);
        raw.connectTo("127.0.0.1", std::uint16_t(listener.PortName().toInt()));
        waitFor([this] { return accepted != nullptr; });
    }
};

// Proves that nothing more is on its way: once a byte sent now has been read
// by another game socket, the event loop has polled every socket since.
void eventLoopBarrier() {
    ClientAndPeer barrier;
    bool read = false;
    barrier.client.OnRead = [&](TGameSocket*, int) { read = true; };
    ASSERT_TRUE(barrier.waitConnected());
    ASSERT_TRUE(barrier.peer.sendAll("b"));
    ASSERT_TRUE(waitFor([&] { return read; }));
}

} // namespace

TEST(GameSocketConnect, ConnectsAndReportsInOrder) {
    ClientAndPeer pair;
    ASSERT_TRUE(pair.peer.isValid());
    ASSERT_TRUE(pair.waitConnected());
    const QString port = pair.client.PortName();
    EXPECT_THAT(pair.log.events,
                ElementsAre("0:Lookup Of Port " + port, "0:Lookup Of Host 127.0.0.1",
                            "1:Non-Blocking Socket Connected", "connect"));
}

TEST(GameSocketConnect, RefusedConnectReportsOnlyTheError) {
    EventLog log;
    TGameSocket client;
    log.attach(client);
    client.setHostName(QStringLiteral("127.0.0.1"));
    client.setPortName(portText(freeTcpPort()));
    client.Open();
    ASSERT_TRUE(waitFor([&] { return log.contains("7:Error #10061 (WSAECONNREFUSED)"); }));
    eventLoopBarrier();
    EXPECT_THAT(log.withoutLookups(), ElementsAre("7:Error #10061 (WSAECONNREFUSED)"));
    EXPECT_TRUE(client.isOpen());
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(client.Open() == false) << "a second Open keeps the failed socket";

    client.Close();
    EXPECT_EQ(log.events.back(), "2:Socket Closed");
    EXPECT_FALSE(client.isOpen());
}

TEST(GameSocketSend, QueuedSendsKeepOrderAndDrainByThemselves) {
    ClientAndPeer pair;
    ASSERT_TRUE(pair.waitConnected());

    // Fill the network until it takes no more; the rest must wait in the queue.
    QByteArray expected;
    for (int block = 0; pair.client.sendQueueLength() == 0 && block < 4096; ++block) {
        const QByteArray bytes(65536, char('a' + block % 26));
        ASSERT_TRUE(pair.client.Send(bytes));
        expected += bytes;
    }
    ASSERT_GT(pair.client.sendQueueLength(), 0);
    const QByteArray first = QByteArray("first-") + QByteArray(1000, '1');
    const QByteArray second = QByteArray("second-") + QByteArray(1000, '2');
    ASSERT_TRUE(pair.client.Send(first));
    ASSERT_TRUE(pair.client.Send(second));
    expected += first + second;

    // Nobody calls Send again: the write notifications finish the queue.
    const QByteArray received = pair.peer.readExactly(expected.size(), 20000);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "bytes arrived out of order";
    EXPECT_TRUE(waitFor([&] { return pair.client.sendQueueLength() == 0; }));
}

TEST(GameSocketSend, EmptySendTransmitsNothing) {
    ClientAndPeer pair;
    ASSERT_TRUE(pair.waitConnected());
    const std::size_t before = pair.log.events.size();
    EXPECT_TRUE(pair.client.Send(QByteArray()));
    EXPECT_EQ(pair.log.events.size(), before)
        << "an empty send with an empty queue reports nothing";
    ASSERT_TRUE(pair.client.Send("x"));
    EXPECT_EQ(pair.peer.readExactly(1), "x");
}

TEST(GameSocketReceive, LargeArrivalIsReadInPiecesOfAtMost32768) {
    ListenerAndClient pair;
    ASSERT_NE(pair.accepted, nullptr);
    std::vector<int> counts;
    pair.accepted->OnRead = [&](TGameSocket*, int count) { counts.push_back(count); };
    QByteArray payload(40000, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7);
    ASSERT_TRUE(pair.raw.sendAll(payload));

    ASSERT_TRUE(waitFor([&] { return !counts.empty() && counts.back() == 40000; }));
    EXPECT_EQ(counts.front(), 32768);
    EXPECT_TRUE(pair.accepted->Receive() == payload);
    EXPECT_EQ(pair.accepted->receiveBufferLength(), 0);
}

TEST(GameSocketReceive, ZeroBytesAndHighBytesArriveIntact) {
    ListenerAndClient pair;
    ASSERT_NE(pair.accepted, nullptr);
    const QByteArray payload("a\0b\0\0\xFF\xFE z", 10);
    QByteArray received;
    pair.accepted->OnRead = [&](TGameSocket* s, int) { received += s->Receive(); };
    ASSERT_TRUE(pair.raw.sendAll(payload));
    ASSERT_TRUE(waitFor([&] { return received.size() >= payload.size(); }));
    EXPECT_TRUE(received == payload);
}

TEST(GameSocketReceive, CountLimitsWhatIsHandedOut) {
    ListenerAndClient pair;
    ASSERT_NE(pair.accepted, nullptr);
    ASSERT_TRUE(pair.raw.sendAll("abcdef"));
    ASSERT_TRUE(waitFor([&] { return pair.accepted->receiveBufferLength() == 6; }));
    EXPECT_EQ(pair.accepted->Receive(0), "") << "a count of 0 hands out nothing";
    EXPECT_EQ(pair.accepted->Receive(2), "ab");
    EXPECT_EQ(pair.accepted->Receive(10), "cdef");
}

TEST(GameSocketClose, PeerCloseReportsDisconnectThenClosedAndKeepsBufferedBytes) {
    ClientAndPeer pair;
    ASSERT_TRUE(pair.waitConnected());
    ASSERT_TRUE(pair.peer.sendAll("left behind"));
    pair.peer.close();
    ASSERT_TRUE(waitFor([&] { return pair.log.contains("2:Socket Closed"); }));
    const auto events = pair.log.withoutLookups();
    const auto disconnect = std::find(events.begin(), events.end(), "disconnect");
    const auto closed = std::find(events.begin(), events.end(), "2:Socket Closed");
    ASSERT_NE(disconnect, events.end());
    EXPECT_LT(disconnect, closed);
    EXPECT_EQ(pair.log.count("2:Socket Closed"), 1);
    EXPECT_FALSE(pair.client.Connected());
    EXPECT_EQ(pair.client.Receive(), "left behind");
    EXPECT_THROW(pair.client.Receive(), EGameSocketException);
}

TEST(GameSocketClose, CloseInsideDisconnectHandlerReportsClosedTwice) {
    ClientAndPeer pair;
    ASSERT_TRUE(pair.waitConnected());
    pair.client.OnDisconnect = [&](TGameSocket* s) {
        pair.log.events.push_back("disconnect");
        s->Close();
    };
    pair.peer.close();
    ASSERT_TRUE(waitFor([&] { return pair.log.count("2:Socket Closed") == 2; }));
    const auto events = pair.log.withoutLookups();
    EXPECT_EQ(events.front(), "1:Non-Blocking Socket Connected");
    EXPECT_THAT(std::vector<QString>(events.end() - 3, events.end()),
                ElementsAre("disconnect", "2:Socket Closed", "2:Socket Closed"));
}

TEST(GameSocketClose, ResetByPeerIsReportedAndClosed) {
    ClientAndPeer pair;
    ASSERT_TRUE(pair.waitConnected());
    ASSERT_TRUE(pair.client.Send("unread by the peer"));
    ASSERT_EQ(pair.peer.readExactly(18), "unread by the peer");
    pair.peer.reset();
    ASSERT_TRUE(waitFor([&] { return pair.log.contains("2:Socket Closed"); }));
    const auto events = pair.log.withoutLookups();
    const auto error = std::find(events.begin(), events.end(), "7:Error #10054 (WSAECONNRESET)");
    const auto disconnect = std::find(events.begin(), events.end(), "disconnect");
    const auto closed = std::find(events.begin(), events.end(), "2:Socket Closed");
    EXPECT_LT(error, disconnect);
    EXPECT_LT(disconnect, closed);
}

TEST(GameSocketClose, CloseWithoutSocketStillReportsClosed) {
    EventLog log;
    TGameSocket socket;
    log.attach(socket);
    EXPECT_FALSE(socket.Close());
    EXPECT_THAT(log.events, ElementsAre("2:Socket Closed"));
}

TEST(GameSocketListen, ListenTwiceAndStopReportAsDesigned) {
    EventLog log;
    TGameSocket listener;
    log.attach(listener);
    listener.setPortName(portText(freeTcpPort()));
    listener.setListen(true);
    listener.setListen(true);
    listener.setListen(false);
    EXPECT_THAT(log.withoutLookups(),
                ElementsAre("3:Listening Started", "3:Listening Already Running", "2:Socket Closed",
                            "3:Listening Stopped"));
    EXPECT_FALSE(listener.Listen());
}

TEST(GameSocketListen, CloseOnListenerReportsNothing) {
    EventLog log;
    TGameSocket listener;
    listener.setPortName(portText(freeTcpPort()));
    listener.setListen(true);
    log.attach(listener);
    EXPECT_TRUE(listener.Close());
    EXPECT_TRUE(log.events.empty());
    EXPECT_FALSE(listener.Listen());
}

TEST(GameSocketListen, TakenPortFailsToBindAndBlocksFurtherTriesUntilClosed) {
    RawSocket holder;
    ASSERT_TRUE(holder.listenOn("0.0.0.0", 0));
    TGameSocket listener;
    listener.setPortName(portText(holder.localPort()));
    try {
        listener.setListen(true);
        FAIL() << "bind on a taken port succeeded";
    } catch (const EGameSocketException& e) {
        EXPECT_STREQ(e.what(), "Listen - Error Binding Socket");
    }
    EXPECT_FALSE(listener.Listen());
    try {
        listener.setListen(true);
        FAIL() << "second try did not fail";
    } catch (const EGameSocketException& e) {
        EXPECT_STREQ(e.what(), "Listen - Socket Already In Use");
    }
    listener.Close();
    holder.close();
    listener.setListen(true);
    EXPECT_TRUE(listener.Listen());
}

TEST(GameSocketListen, AcceptedSocketInheritsHandlersAndKnowsItsPeer) {
    EventLog log;
    TGameSocket listener;
    log.attach(listener);
    listener.setPortName(portText(freeTcpPort()));
    TGameSocket* accepted = nullptr;
    listener.OnAccept = [&](TGameSocket* sender) { sender->Accept(accepted); };
    listener.setListen(true);
    RawSocket raw;
    ASSERT_TRUE(raw.connectTo("127.0.0.1", std::uint16_t(listener.PortName().toInt())));
    ASSERT_TRUE(waitFor([&] { return accepted != nullptr; }));

    EXPECT_EQ(accepted->parent(), &listener);
    EXPECT_TRUE(accepted->Connected());
    EXPECT_EQ(accepted->HostName(), "127.0.0.1");
    EXPECT_EQ(accepted->PortName(), listener.PortName());
    EXPECT_THAT(log.withoutLookups(),
                ElementsAre("3:Listening Started",
                            "0:Setting PortName While Connected Has No Effect",
                            "0:Setting HostName While Connected Has No Effect",
                            "6:Created New Socket Structure"));

    // The accepted socket reports through the listener's handlers.
    raw.close();
    EXPECT_TRUE(waitFor([&] { return log.contains("2:Socket Closed"); }));
    EXPECT_TRUE(log.contains("disconnect"));
}

TEST(GameSocketListen, UnansweredConnectionIsAnnouncedOnce) {
    TGameSocket listener;
    int announcements = 0;
    listener.OnAccept = [&](TGameSocket*) { ++announcements; };
    listener.setPortName(portText(freeTcpPort()));
    listener.setListen(true);
    RawSocket raw;
    ASSERT_TRUE(raw.connectTo("127.0.0.1", std::uint16_t(listener.PortName().toInt())));
    ASSERT_TRUE(waitFor([&] { return announcements == 1; }));
    eventLoopBarrier();
    EXPECT_EQ(announcements, 1);
    TGameSocket* accepted = nullptr;
    EXPECT_TRUE(listener.Accept(accepted));
    ASSERT_NE(accepted, nullptr);
}

TEST(GameSocketErrors, CallerMistakesRaiseTheirTexts) {
    auto expectThrow = [](auto&& call, const char* text) {
        try {
            call();
            ADD_FAILURE() << "no exception for " << text;
        } catch (const EGameSocketException& e) {
            EXPECT_STREQ(e.what(), text);
        }
    };
    TGameSocket idle;
    expectThrow([&] { idle.Send("x"); }, "Send - Socket Not Connected");
    expectThrow([&] { idle.Receive(); }, "Receive - Socket Not Connected");
    TGameSocket* none = nullptr;
    expectThrow([&] { idle.Accept(none); }, "Accept - Socket Not In Listening Mode");

    TGameSocket listener;
    listener.setPortName(portText(freeTcpPort()));
    listener.setListen(true);
    expectThrow([&] { listener.Send("x"); }, "Send - Cannot Send On A Listener Socket");
    expectThrow([&] { listener.Receive(); }, "Receive - Cannot Receive On A Listener Socket");
    expectThrow([&] { listener.setSocketType(stDatagram); },
                "SocketType - Can't Assign Socket Type While Listening");

    TGameSocket datagram;
    datagram.setSocketType(stDatagram);
    expectThrow([&] { datagram.setListen(true); }, "Listen - Cannot Listen On A Datagram Socket");

    ClientAndPeer pair;
    ASSERT_TRUE(pair.waitConnected());
    expectThrow([&] { pair.client.setListen(true); }, "Listen - Socket Already In Use");
    expectThrow([&] { pair.client.setSocketType(stDatagram); },
                "SocketType - Can't Assign Socket Type While Connected");

    TGameSocket throwing;
    throwing.OnInfo = [](TGameSocket*, TSocketInfo, const QString&) {
        throw std::runtime_error("handler failed");
    };
    expectThrow([&] { throwing.LookupPort(QStringLiteral("1")); }, "Error here");
    EXPECT_FALSE(throwing.Close()) << "Close swallows the handler's failure";
}

TEST(GameSocketLookup, PortNamesAreNumbersOrServices) {
    TGameSocket socket;
    EXPECT_EQ(socket.LookupPort(QStringLiteral("7772")), htons(7772));
    EXPECT_EQ(socket.LookupPort(QStringLiteral("http")), htons(80));
    EXPECT_THROW(socket.LookupPort(QStringLiteral("7x")), platform::EConvertError);
    EXPECT_THROW(socket.LookupPort(QStringLiteral("70000")), platform::EConvertError);
    EXPECT_THROW(socket.LookupPort(QString()), EGameSocketException);
    try {
        socket.LookupPort(QStringLiteral("no-such-service-here"));
        FAIL();
    } catch (const EGameSocketException& e) {
        EXPECT_STREQ(e.what(), "Port Lookup - Could Not Find Service Entry");
    }
}

TEST(GameSocketLookup, HostNamesAreCachedWithoutRegardToCase) {
    EventLog log;
    TGameSocket socket;
    log.attach(socket);
    const int before = net::HostCache::size();
    EXPECT_EQ(socket.LookupHost(QStringLiteral("127.0.0.1")), inet_addr("127.0.0.1"));
    EXPECT_EQ(net::HostCache::size(), before) << "dotted addresses are converted, not cached";
    EXPECT_EQ(socket.LookupHost(QStringLiteral("255.255.255.255")), INADDR_NONE);
    EXPECT_EQ(socket.LookupHost(QString()), htonl(INADDR_ANY));

    const std::uint32_t local = socket.LookupHost(QStringLiteral("localhost"));
    EXPECT_EQ(ntohl(local) >> 24, 127u);
    const int afterFirst = net::HostCache::size();
    EXPECT_EQ(afterFirst, before + 1);
    EXPECT_EQ(socket.LookupHost(QStringLiteral("LocalHost")), local);
    EXPECT_EQ(net::HostCache::size(), afterFirst);
    EXPECT_TRUE(log.contains("0:Lookup Of Host LocalHost"));

    // An entry in the cache is answered from it, whatever the resolver says.
    net::HostCache::add(QStringLiteral("dunvex-test-host.invalid"), inet_addr("127.0.0.9"));
    EXPECT_EQ(socket.LookupHost(QStringLiteral("DUNVEX-Test-Host.invalid")),
              inet_addr("127.0.0.9"));
    try {
        socket.LookupHost(QStringLiteral("no-such-host.invalid"));
        FAIL();
    } catch (const EGameSocketException& e) {
        EXPECT_STREQ(e.what(), "Host Lookup - Could Not Find Host Entry");
    }
}

TEST(GameSocketProperties, SettersFollowTheirRules) {
    TGameSocket socket;
    EventLog log;
    log.attach(socket);
    socket.setHostName(QStringLiteral("example"));
    socket.setPortName(QStringLiteral("1"));
    EXPECT_TRUE(log.events.empty()) << "setting names on a closed socket reports nothing";
    socket.setSocketType(stDatagram);
    EXPECT_EQ(socket.SocketType(), stDatagram);
}
