// The game socket's blocking, datagram and automatic-accept modes and its
// stream, over real loopback sockets.
#include "net/GameSocket.h"
#include "net/GameSocketStream.h"
#include "net/GameSocketThread.h"
#include "platform/ExceptionHandler.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <arpa/inet.h>
#include <atomic>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;
using testing::ElementsAre;

namespace {

// A socket's events in order, as "kind:text" for infos; safe to feed from a
// worker thread.
struct EventLog {
    mutable std::mutex lock;
    std::vector<QString> events;

    void add(const QString& event) {
        std::lock_guard guard(lock);
        events.push_back(event);
    }
    void attach(TGameSocket& socket) {
        socket.OnInfo = [this](TGameSocket*, TSocketInfo kind, const QString& text) {
            if (!text.startsWith(QLatin1String("Lookup Of")))
                add(QString::number(int(kind)) + ':' + text);
        };
        socket.OnConnect = [this](TGameSocket*) { add(QStringLiteral("connect")); };
        socket.OnDisconnect = [this](TGameSocket*) { add(QStringLiteral("disconnect")); };
    }
    std::vector<QString> since(std::size_t first) const {
        std::lock_guard guard(lock);
        return {events.begin() + qsizetype(first), events.end()};
    }
    std::size_t size() const {
        std::lock_guard guard(lock);
        return events.size();
    }
};

void expectThrow(const std::function<void()>& call, const char* text) {
    try {
        call();
        ADD_FAILURE() << "no exception for " << text;
    } catch (const EGameSocketException& e) {
        EXPECT_STREQ(e.what(), text);
    }
}

// A TCP connection made from a chosen loopback address, so the peer's
// address is not simply the default one.
RawSocket connectFrom(const char* local, std::uint16_t port) {
    RawSocket socket;
    socket.connectTo("127.0.0.1", port, 0, local);
    return socket;
}

// A plain UDP socket, the way a foreign peer sends datagrams.
struct RawDatagram {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);

    explicit RawDatagram(const char* local) {
        const sockaddr_in from = addressOf(local, 0);
        ::bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from);
    }
    ~RawDatagram() { ::close(fd); }
    std::uint16_t port() const {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
        return ntohs(local.sin_port);
    }
    void sendTo(std::uint16_t port, const QByteArray& bytes) const {
        const sockaddr_in to = addressOf("127.0.0.1", port);
        ::sendto(fd, bytes.constData(), size_t(bytes.size()), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
};

std::uint16_t freeUdpPort() {
    return RawDatagram("127.0.0.1").port();
}

// A game socket connected to a raw peer; blocking once the test says so.
struct ClientAndPeer {
    EventLog log;
    RawSocket listener;
    TGameSocket client;
    RawSocket peer;

    explicit ClientAndPeer(bool blocking, int peerReceiveBuffer = 0) {
        listener.listenOn("127.0.0.1", 0);
        if (peerReceiveBuffer > 0)
            listener.setReceiveBuffer(peerReceiveBuffer);
        log.attach(client);
        client.setBlocking(blocking);
        client.setHostName(QStringLiteral("127.0.0.1"));
        client.setPortName(QString::number(listener.localPort()));
        client.Open();
        peer = listener.accept();
        waitFor([this] { return client.Connected(); });
    }
    // Lets bytes from the peer land in the receive buffer, then blocks.
    void bufferThenBlock(const QByteArray& bytes, int timeout) {
        peer.sendAll(bytes);
        waitFor([&] { return client.receiveBufferLength() == bytes.size(); });
        client.setBlockingTimeout(timeout);
        client.setBlocking(true);
    }
};

QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(i * 131 + i / 251);
    return bytes;
}

} // namespace

TEST(GameSocketBlocking, ConnectReportsConnectedOrCantConnect) {
    ClientAndPeer pair(true);
    EXPECT_TRUE(pair.client.Connected());
    EXPECT_THAT(pair.log.events, ElementsAre("1:Blocking Socket Connected", "connect"));

    EventLog log;
    TGameSocket refused;
    log.attach(refused);
    refused.setBlocking(true);
    refused.setHostName(QStringLiteral("127.0.0.1"));
    refused.setPortName(QString::number(freeTcpPort()));
    EXPECT_FALSE(refused.Open());
    EXPECT_THAT(log.events, ElementsAre("2:Blocking Socket Can't Connect", "2:Socket Closed"));
    EXPECT_FALSE(refused.isOpen());
}

TEST(GameSocketBlocking, ReadWaitsAtMostTheTimeout) {
    ClientAndPeer pair(false);
    ASSERT_TRUE(pair.client.Connected());
    pair.bufferThenBlock("abc", 0);

    // Timeout 0 only looks: nothing waits, so what was buffered comes at once.
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(pair.client.Receive(), "abc");
    EXPECT_EQ(pair.client.Receive(), "");
    EXPECT_LT(clock.elapsed(), 500);

    pair.client.setBlockingTimeout(1);
    clock.restart();
    EXPECT_EQ(pair.client.Receive(), "");
    EXPECT_GE(clock.elapsed(), 1000) << "the timeout is in whole seconds";

    // Asking for nothing reads nothing, and the connection stays.
    ASSERT_TRUE(pair.peer.sendAll("xyz"));
    pair.client.setBlockingTimeout(5);
    EXPECT_EQ(pair.client.Receive(0), "");
    EXPECT_TRUE(pair.client.Connected());
    EXPECT_EQ(pair.client.Receive(2), "xy");
    EXPECT_EQ(pair.client.Receive(), "z");
}

TEST(GameSocketBlocking, ReadFindingThePeerGoneClosesAndKeepsBufferedBytes) {
    ClientAndPeer pair(false);
    ASSERT_TRUE(pair.client.Connected());
    pair.bufferThenBlock("tail", 5);
    const std::size_t before = pair.log.size();
    pair.peer.close();

    EXPECT_EQ(pair.client.Receive(), "tail");
    EXPECT_THAT(pair.log.since(before),
                ElementsAre("4:Blocking Incoming Data", "2:Socket Disconnected On Receive",
                            "2:Socket Closed", "disconnect"));
    EXPECT_FALSE(pair.client.isOpen());
    expectThrow([&] { pair.client.Receive(); }, "Receive - Socket Not Connected");
}

TEST(GameSocketBlocking, SendIsTakenInPiecesReportingEach) {
    ClientAndPeer pair(true, 4096);
    ASSERT_TRUE(pair.client.Connected());
    // Far more than the kernel buffers of both sides hold at once.
    const QByteArray payload = pattern(8 * 1024 * 1024);
    std::vector<qsizetype> leftAfterEachPiece;
    pair.client.OnInfo = [&](TGameSocket* s, TSocketInfo kind, const QString& text) {
        if (kind == siSend && text == "Blocking Outgoing Data")
            leftAfterEachPiece.push_back(s->sendQueueLength());
    };

    QByteArray received;
    std::thread reader([&, fd = pair.peer.fd()] {
        std::vector<char> chunk(65536);
        while (received.size() < payload.size()) {
            const ssize_t n = ::recv(fd, chunk.data(), chunk.size(), 0);
            if (n <= 0)
                break;
            received.append(chunk.data(), n);
        }
    });
    EXPECT_TRUE(pair.client.Send(payload));
    reader.join();

    EXPECT_TRUE(received == payload);
    EXPECT_EQ(pair.client.sendQueueLength(), 0);
    ASSERT_GE(leftAfterEachPiece.size(), 2u);
    EXPECT_LT(leftAfterEachPiece.front(), payload.size());
    EXPECT_EQ(leftAfterEachPiece.back(), 0);
    EXPECT_EQ(std::adjacent_find(leftAfterEachPiece.begin(), leftAfterEachPiece.end(),
                                 std::less_equal<>()),
              leftAfterEachPiece.end())
        << "every piece takes something off the queue";
}

TEST(GameSocketDatagram, DatagramsCarryTheSendersAddressAndAreCutToTheReceiveArea) {
    EventLog log;
    TGameSocket socket;
    log.attach(socket);
    socket.setSocketType(stDatagram);
    socket.setBlockingTimeout(5);
    socket.setPortName(QString::number(freeUdpPort()));
    ASSERT_TRUE(socket.Open());
    EXPECT_THAT(log.events, ElementsAre("1:Datagram Socket Connected", "connect"));
    const std::uint16_t port = std::uint16_t(socket.PortName().toInt());

    const RawDatagram other("127.0.0.5");
    QString host;
    other.sendTo(port, QByteArray("hello\0world", 11));
    EXPECT_EQ(socket.ReceiveDatagram(host), QByteArray("hello\0world", 11));
    EXPECT_EQ(host, "127.0.0.5");

    const QByteArray big = pattern(32769);
    other.sendTo(port, big.left(32768));
    EXPECT_TRUE(socket.ReceiveDatagram(host) == big.left(32768)) << "at the limit, kept whole";
    other.sendTo(port, big);
    EXPECT_TRUE(socket.ReceiveDatagram(host) == big.left(32768)) << "one past it, cut";

    // The socket's own port is also the destination port: on one machine,
    // what it sends comes back to itself.
    ASSERT_TRUE(socket.SendDatagram("to myself", QStringLiteral("127.0.0.1")));
    EXPECT_EQ(socket.ReceiveDatagram(host), "to myself");
    EXPECT_EQ(host, "127.0.0.1");
    ASSERT_TRUE(socket.Send("through Send"));
    EXPECT_EQ(socket.Receive(), "through Send");

    // The largest datagram IPv4 carries goes; one byte more is reported lost.
    const std::size_t before = log.size();
    EXPECT_TRUE(socket.SendDatagram(pattern(65507), QStringLiteral("127.0.0.1")));
    EXPECT_EQ(socket.ReceiveDatagram(host).size(), 32768);
    EXPECT_TRUE(socket.SendDatagram(pattern(65508), QStringLiteral("127.0.0.1")));
    EXPECT_THAT(log.since(before), ElementsAre("7:Socket Error On Send"));

    socket.setBlockingTimeout(0);
    EXPECT_EQ(socket.ReceiveDatagram(host), "");
    EXPECT_EQ(host, "");
}

TEST(GameSocketDatagram, UnreceivedDatagramIsAnnouncedOnce) {
    TGameSocket socket;
    socket.setSocketType(stDatagram);
    socket.setPortName(QString::number(freeUdpPort()));
    int announced = 0;
    socket.OnRead = [&](TGameSocket*, int count) {
        EXPECT_EQ(count, 0);
        ++announced;
    };
    ASSERT_TRUE(socket.Open());
    TGameSocket barrier;
    barrier.setSocketType(stDatagram);
    barrier.setPortName(QString::number(freeUdpPort()));
    bool barrierArrived = false;
    barrier.OnRead = [&](TGameSocket*, int) { barrierArrived = true; };
    ASSERT_TRUE(barrier.Open());

    const RawDatagram other("127.0.0.1");
    other.sendTo(std::uint16_t(socket.PortName().toInt()), "first");
    ASSERT_TRUE(waitFor([&] { return announced == 1; }));
    other.sendTo(std::uint16_t(barrier.PortName().toInt()), "barrier");
    ASSERT_TRUE(waitFor([&] { return barrierArrived; }));
    EXPECT_EQ(announced, 1) << "a waiting datagram must not be announced over and over";

    QString host;
    EXPECT_EQ(socket.ReceiveDatagram(host), "first");
}

TEST(GameSocketDatagram, DatagramCallsAreRefusedOnStreamAndClosedSockets) {
    TGameSocket closed;
    QString host;
    expectThrow([&] { closed.SendDatagram("x", QStringLiteral("127.0.0.1")); },
                "SendDatagram - Socket Not Connected");
    expectThrow([&] { closed.ReceiveDatagram(host); }, "ReceiveDatagram - Socket Not Connected");

    ClientAndPeer pair(false);
    ASSERT_TRUE(pair.client.Connected());
    expectThrow([&] { pair.client.SendDatagram("x", QStringLiteral("127.0.0.1")); },
                "SendDatagram - Datagram Send Not Supported On Stream Sockets");
    expectThrow([&] { pair.client.ReceiveDatagram(host); },
                "ReceiveDatagram - Datagram Receive Not Supported On Stream Sockets");
}

TEST(GameSocketAutoAccept, NonBlockingListenerHandsOverAtOnce) {
    TGameSocket listener;
    listener.setAutoAccept(true);
    listener.setPortName(QString::number(freeTcpPort()));
    bool offered = false;
    listener.OnAccept = [&](TGameSocket*) { offered = true; };
    TGameSocket* accepted = nullptr;
    QString hostWhenHandedOver;
    QThread* handlerThread = nullptr;
    listener.OnAutoAccept = [&](TGameSocket* sender, TGameSocket* newSock) {
        EXPECT_EQ(sender, &listener);
        accepted = newSock;
        hostWhenHandedOver = newSock->HostName();
        handlerThread = QThread::currentThread();
    };
    listener.setListen(true);

    RawSocket raw = connectFrom("127.0.0.3", std::uint16_t(listener.PortName().toInt()));
    ASSERT_TRUE(waitFor([&] { return accepted != nullptr; }));
    EXPECT_EQ(handlerThread, QThread::currentThread());
    EXPECT_EQ(hostWhenHandedOver, "127.0.0.3");
    EXPECT_EQ(accepted->PortName(), listener.PortName());
    EXPECT_EQ(accepted->parent(), &listener);
    EXPECT_TRUE(accepted->Connected());
    EXPECT_FALSE(offered) << "an automatically accepted connection is not offered to OnAccept";
    ASSERT_TRUE(accepted->Send("welcome"));
    EXPECT_EQ(raw.readExactly(7), "welcome");
}

TEST(GameSocketAutoAccept, BlockingListenerServesEachConnectionOnItsOwnThread) {
    struct Served {
        QPointer<QThread> thread;
        QString host;
        QByteArray request;
    };
    std::mutex lock;
    std::vector<Served> served;

    auto listener = std::make_unique<TGameSocket>();
    listener->setAutoAccept(true);
    listener->setBlocking(true);
    listener->setBlockingTimeout(5);
    listener->setPortName(QString::number(freeTcpPort()));
    listener->OnAutoAccept = [&](TGameSocket*, TGameSocket* newSock) {
        const QByteArray request = newSock->Receive();
        newSock->Send(request.toUpper());
        std::lock_guard guard(lock);
        served.push_back({QThread::currentThread(), newSock->HostName(), request});
    };
    listener->setListen(true);
    const auto port = std::uint16_t(listener->PortName().toInt());

    RawSocket first = connectFrom("127.0.0.3", port);
    RawSocket second = connectFrom("127.0.0.4", port);
    ASSERT_TRUE(first.sendAll("one"));
    ASSERT_TRUE(second.sendAll("two"));
    EXPECT_EQ(first.readExactly(3), "ONE");
    EXPECT_EQ(second.readExactly(3), "TWO");

    std::lock_guard guard(lock);
    ASSERT_EQ(served.size(), 2u);
    std::sort(served.begin(), served.end(),
              [](const Served& a, const Served& b) { return a.host < b.host; });
    EXPECT_EQ(served[0].host, "127.0.0.3");
    EXPECT_EQ(served[0].request, "one");
    EXPECT_EQ(served[1].host, "127.0.0.4");
    EXPECT_EQ(served[1].request, "two");
    for (const Served& each : served) {
        EXPECT_NE(each.thread, QThread::currentThread());
        // The thread object goes away once its connection has been served.
        EXPECT_TRUE(waitFor([&] { return each.thread.isNull(); }));
    }
}

TEST(GameSocketAutoAccept, ListenerWaitsForItsWorkersBeforeGoing) {
    std::atomic<bool> started = false;
    std::atomic<bool> finished = false;
    auto listener = std::make_unique<TGameSocket>();
    listener->setAutoAccept(true);
    listener->setBlocking(true);
    listener->setBlockingTimeout(1);
    listener->setPortName(QString::number(freeTcpPort()));
    listener->OnAutoAccept = [&](TGameSocket*, TGameSocket* newSock) {
        started = true;
        newSock->Receive(); // nothing comes: this waits out the timeout
        newSock->Send("still here");
        finished = true;
    };
    listener->setListen(true);
    RawSocket raw = connectFrom("127.0.0.1", std::uint16_t(listener->PortName().toInt()));
    ASSERT_TRUE(waitFor([&] { return started.load(); }));

    listener.reset();
    EXPECT_TRUE(finished) << "the socket in use went away under its worker";
    EXPECT_EQ(raw.readExactly(10), "still here");
}

TEST(GameSocketAutoAccept, WorkerFailureReachesTheErrorHandlerOnTheGuiThread) {
    QString reported;
    QThread* reportedOn = nullptr;
    platform::setExceptionHandler([&](const std::exception& error) {
        reported = QString::fromUtf8(error.what());
        reportedOn = QThread::currentThread();
    });
    TGameSocket listener;
    listener.setAutoAccept(true);
    listener.setBlocking(true);
    listener.setPortName(QString::number(freeTcpPort()));
    listener.OnAutoAccept = [](TGameSocket*, TGameSocket*) {
        throw EGameSocketException("handler failed");
    };
    listener.setListen(true);
    RawSocket raw = connectFrom("127.0.0.1", std::uint16_t(listener.PortName().toInt()));
    EXPECT_TRUE(waitFor([&] { return !reported.isEmpty(); }));
    platform::setExceptionHandler(nullptr);
    EXPECT_EQ(reported, "handler failed");
    EXPECT_EQ(reportedOn, QThread::currentThread());
}

TEST(GameSocketStream, ReadsWritesAndNeverSeeks) {
    ClientAndPeer pair(false);
    ASSERT_TRUE(pair.client.Connected());
    TGameSocketStream& stream = pair.client.Stream();
    EXPECT_EQ(stream.Write("hello", 0), 0) << "nothing asked, nothing written";
    EXPECT_EQ(stream.Write("hello", 5), 5);
    EXPECT_EQ(pair.peer.readExactly(5), "hello");

    pair.bufferThenBlock("abcdef", 0);
    char buffer[5] = {'-', '-', '-', '-', '#'};
    EXPECT_EQ(stream.Read(buffer, 4), 4);
    EXPECT_EQ(QByteArray(buffer, 5), "abcd#") << "never past the count asked for";
    EXPECT_EQ(stream.Read(buffer, 4), 2);
    EXPECT_EQ(QByteArray(buffer, 2), "ef");
    EXPECT_EQ(stream.Read(buffer, 4), 0);

    ASSERT_TRUE(pair.peer.sendAll("gh"));
    EXPECT_EQ(stream.Seek(1, 0), 0);
    pair.client.setBlockingTimeout(5);
    EXPECT_EQ(stream.Read(buffer, 4), 2);
    EXPECT_EQ(QByteArray(buffer, 2), "gh");
}
