// Host texts, name lookups off the event loop's thread, and IPv6, with the
// game socket over real loopback connections.
#include "net/GameSocket.h"
#include "net/HostAddress.h"
#include "net/HostResolver.h"
#include "platform/ExceptionHandler.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QTimer>
#include <arpa/inet.h>
#include <condition_variable>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace testsupport;
using testing::ElementsAre;

namespace {

#define SKIP_WITHOUT_IPV6()                                                                        \
    if (!ipv6LoopbackWorks())                                                                      \
    GTEST_SKIP() << "IPv6 is not available on this machine (cannot listen on ::1)"

QString keyOf(const char* address) {
    return net::addressKey(QString::fromLatin1(address));
}

// A resolver scripted by the test: names and their addresses, and the names
// it was asked for. A name it does not know is unknown.
struct ScriptedResolver {
    struct State {
        std::mutex lock;
        std::map<QString, std::vector<QString>> hosts;
        QStringList asked;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    ScriptedResolver() {
        net::setResolver([state = state](const QString& name) {
            std::lock_guard guard(state->lock);
            state->asked.append(name);
            net::Resolution answer;
            for (const QString& address : state->hosts[name])
                answer.addresses.push_back(*net::parseAddress(address));
            answer.error = answer.addresses.empty() ? 11001 : 0;
            return answer;
        });
    }
    ~ScriptedResolver() { net::setResolver(nullptr); }
    void add(const QString& name, std::vector<QString> addresses) {
        std::lock_guard guard(state->lock);
        state->hosts[name] = std::move(addresses);
    }
    QStringList asked() const {
        std::lock_guard guard(state->lock);
        return state->asked;
    }
};

// A resolver that answers only when released, or after the time given.
struct SlowResolver {
    struct State {
        std::mutex lock;
        std::condition_variable released;
        bool open = false;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    explicit SlowResolver(int milliseconds) {
        net::setResolver([state = state, milliseconds](const QString&) {
            std::unique_lock guard(state->lock);
            state->released.wait_for(guard, std::chrono::milliseconds(milliseconds),
                                     [&] { return state->open; });
            return net::Resolution{{*net::parseAddress(QStringLiteral("127.0.0.1"))}, 0};
        });
    }
    ~SlowResolver() {
        release();
        net::setResolver(nullptr);
    }
    void release() {
        std::lock_guard guard(state->lock);
        state->open = true;
        state->released.notify_all();
    }
};

// Records a socket's events in order, as "kind:text" for infos.
struct EventLog {
    std::vector<QString> events;

    void attach(TGameSocket& socket) {
        socket.OnInfo = [this](TGameSocket*, TSocketInfo kind, const QString& text) {
            events.push_back(QString::number(int(kind)) + ':' + text);
        };
        socket.OnConnect = [this](TGameSocket*) { events.push_back(QStringLiteral("connect")); };
    }
};

// A game listener on loopback that keeps what it accepts, in order.
struct GameListener {
    TGameSocket listener;
    std::vector<TGameSocket*> accepted;

    GameListener() {
        listener.setPortName(QString::number(freeTcpPort()));
        listener.OnAccept = [this](TGameSocket* sender) {
            TGameSocket* connection = nullptr;
            if (sender->Accept(connection))
                accepted.push_back(connection);
        };
        listener.setListen(true);
    }
    std::uint16_t port() const { return std::uint16_t(listener.PortName().toInt()); }
    bool waitForAccepted(std::size_t count) {
        return waitFor([&] { return accepted.size() >= count; });
    }
};

QString portLookup(std::uint16_t port) {
    return "0:Lookup Of Port " + QString::number(port);
}

// Connects a game socket to host at port and waits for the connect.
bool joins(TGameSocket& client, const QString& host, std::uint16_t port) {
    client.setHostName(host);
    client.setPortName(QString::number(port));
    client.Open();
    return waitFor([&] { return client.Connected(); });
}

// Once the event loop has run, a connection made now is the first the host
// accepts: proof that nothing connected before it.
void expectNoConnectionBeforeANewOne(GameListener& host) {
    QCoreApplication::processEvents();
    TGameSocket barrier;
    ASSERT_TRUE(joins(barrier, QStringLiteral("127.0.0.1"), host.port()));
    barrier.Send("b");
    ASSERT_TRUE(waitFor([&] {
        return std::any_of(host.accepted.begin(), host.accepted.end(),
                           [](TGameSocket* s) { return s->receiveBufferLength() > 0; });
    }));
    EXPECT_EQ(host.accepted.size(), 1u);
}

} // namespace

TEST(HostAddress, AnAddressIsATextThatParsesWholeAsOne) {
    for (const char* address : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "010.1.1.1", "::1",
                                "[::1]", "2001:db8::1", "[2001:db8::1]", "::ffff:127.0.0.1"})
        EXPECT_TRUE(net::parseAddress(QString::fromLatin1(address))) << address;
    for (const char* name :
         {"1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "1.2.3.0004", "3com.example", "1e1.2.3.4",
          "0x7f.0.0.1", "[::1", "::1]", ":::1", "[127.0.0.1]", "localhost", ""})
        EXPECT_FALSE(net::parseAddress(QString::fromLatin1(name))) << name;

    const auto v4 = net::parseAddress(QStringLiteral("192.0.2.255"));
    ASSERT_TRUE(v4);
    EXPECT_EQ(v4->family(), AF_INET);
    EXPECT_EQ(reinterpret_cast<const sockaddr_in*>(v4->address())->sin_addr.s_addr,
              inet_addr("192.0.2.255"));
    EXPECT_EQ(net::parseAddress(QStringLiteral("[::1]"))->family(), AF_INET6);

    // Peers are shown as they connected; an IPv4 peer of a dual-stack socket
    // in dotted form.
    sockaddr_in6 mapped{};
    mapped.sin6_family = AF_INET6;
    ::inet_pton(AF_INET6, "::ffff:192.0.2.7", &mapped.sin6_addr);
    EXPECT_EQ(net::addressText(reinterpret_cast<const sockaddr*>(&mapped)), "192.0.2.7");
    ::inet_pton(AF_INET6, "2001:db8:0:0:0:0:0:1", &mapped.sin6_addr);
    EXPECT_EQ(net::addressText(reinterpret_cast<const sockaddr*>(&mapped)), "2001:db8::1");
}

TEST(HostAddress, OneIpv6Slash64IsOneKeyAndMappedIpv4IsPlainIpv4) {
    EXPECT_EQ(keyOf("2001:db8:1:2::1"), keyOf("2001:db8:1:2:ffff:ffff:ffff:ffff"));
    EXPECT_EQ(keyOf("2001:db8:1:2::1"), keyOf("[2001:db8:1:2:8000::]"));
    // The last bit of the prefix makes another network.
    EXPECT_NE(keyOf("2001:db8:1:2::1"), keyOf("2001:db8:1:3::1"));
    EXPECT_NE(keyOf("2001:db8:1:2::1"), keyOf("2001:db9:1:2::1"));
    EXPECT_EQ(keyOf("::ffff:192.0.2.7"), keyOf("192.0.2.7"));
    EXPECT_EQ(keyOf("192.0.2.7"), "192.0.2.7");
    EXPECT_NE(keyOf("192.0.2.7"), keyOf("192.0.2.8"));
    EXPECT_NE(keyOf("::1"), keyOf("127.0.0.1"));
}

TEST(GameSocketHostLookup, JoinsLocalhostByNameWithEventsInTheirOrder) {
    GameListener host;
    EventLog log;
    TGameSocket client;
    log.attach(client);
    client.setHostName(QStringLiteral("localhost"));
    client.setPortName(QString::number(host.port()));
    EXPECT_FALSE(client.Open());
    EXPECT_TRUE(client.isLookingUp()) << "the name is looked up while the loop goes on";
    EXPECT_FALSE(client.Open()) << "a second Open waits for the same lookup";
    ASSERT_TRUE(waitFor([&] { return client.Connected(); }));
    EXPECT_FALSE(client.isLookingUp());
    const QString port = client.PortName();
    EXPECT_THAT(log.events, ElementsAre("0:Lookup Of Port " + port, "0:Lookup Of Host localhost",
                                        "1:Non-Blocking Socket Connected", "connect"));
    ASSERT_TRUE(host.waitForAccepted(1));
    EXPECT_EQ(host.accepted[0]->HostName(), "127.0.0.1") << "an IPv4 peer is shown dotted";
}

TEST(GameSocketHostLookup, NamesThatBeginWithADigitAreLookedUp) {
    ScriptedResolver resolver;
    resolver.add(QStringLiteral("3com.example"), {QStringLiteral("127.0.0.1")});
    resolver.add(QStringLiteral("1.2.3"), {QStringLiteral("127.0.0.1")});
    RawSocket host;
    ASSERT_TRUE(host.listenOn("127.0.0.1", 0));
    for (const QString& name : {QStringLiteral("3com.example"), QStringLiteral("1.2.3")}) {
        SCOPED_TRACE(name.toStdString());
        TGameSocket client;
        EXPECT_TRUE(joins(client, name, host.localPort()));
        EXPECT_TRUE(host.accept().isValid());
    }
    EXPECT_EQ(resolver.asked(), QStringList({"3com.example", "1.2.3"}));

    // The waiting lookup of the blocking and datagram modes follows the same rule.
    TGameSocket socket;
    EXPECT_EQ(socket.LookupHost(QStringLiteral("3com.example")), inet_addr("127.0.0.1"))
        << "answered from the cache";
    EXPECT_EQ(socket.LookupHost(QStringLiteral("127.0.0.255")), inet_addr("127.0.0.255"));
    EXPECT_THROW(socket.LookupHost(QStringLiteral("1.2.3.4.5")), EGameSocketException);
    EXPECT_EQ(resolver.asked().size(), 3);
}

TEST(GameSocketHostLookup, TheSystemResolverTakesNoShorthandForAnAddress) {
    for (const char* shorthand : {"1.2.3", "127.1", "0x7f.0.0.1"}) {
        const net::Resolution answer = net::systemResolve(QString::fromLatin1(shorthand));
        EXPECT_TRUE(answer.addresses.empty()) << shorthand;
        EXPECT_EQ(answer.error, 11001) << shorthand;
    }
    const net::Resolution local = net::systemResolve(QStringLiteral("localhost"));
    ASSERT_FALSE(local.addresses.empty());
    QStringList texts;
    for (const net::Endpoint& address : local.addresses)
        texts.append(net::addressText(address.address()));
    EXPECT_TRUE(texts.contains("127.0.0.1") || texts.contains("::1"))
        << texts.join(' ').toStdString();
}

TEST(GameSocketHostLookup, AnUnknownNameReachesTheErrorBox) {
    ScriptedResolver resolver;
    QStringList errors;
    platform::setExceptionHandler(
        [&](const std::exception& error) { errors.append(QString::fromUtf8(error.what())); });
    EventLog log;
    TGameSocket client;
    log.attach(client);
    client.setHostName(QStringLiteral("nowhere.example"));
    client.setPortName(QStringLiteral("1"));
    client.Open();
    EXPECT_TRUE(waitFor([&] { return !errors.isEmpty(); }));
    platform::setExceptionHandler(nullptr);
    EXPECT_EQ(errors, QStringList({"Host Lookup - Could Not Find Host Entry"}));
    EXPECT_FALSE(client.isOpen());
    EXPECT_FALSE(client.isLookingUp());
}

TEST(GameSocketHostLookup, TheHostsAddressesAreTriedInOrderUntilOneConnects) {
    ScriptedResolver resolver;
    RawSocket host;
    ASSERT_TRUE(host.listenOn("127.0.0.1", 0));
    // Nothing listens on 127.0.0.2 at that port: refused, then the next one.
    resolver.add(QStringLiteral("two.example"),
                 {QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.1")});
    EventLog log;
    TGameSocket client;
    log.attach(client);
    ASSERT_TRUE(joins(client, QStringLiteral("two.example"), host.localPort()));
    EXPECT_TRUE(host.accept().isValid());
    EXPECT_THAT(log.events,
                ElementsAre(portLookup(host.localPort()), "0:Lookup Of Host two.example",
                            "1:Non-Blocking Socket Connected", "connect"));

    // When none takes it, the last refusal alone is reported.
    resolver.add(QStringLiteral("none.example"),
                 {QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3")});
    EventLog refusedLog;
    TGameSocket refused;
    refusedLog.attach(refused);
    refused.setHostName(QStringLiteral("none.example"));
    refused.setPortName(QString::number(host.localPort()));
    refused.Open();
    ASSERT_TRUE(waitFor([&] { return refusedLog.events.size() >= 3; }));
    EXPECT_THAT(refusedLog.events,
                ElementsAre(portLookup(host.localPort()), "0:Lookup Of Host none.example",
                            "7:Error #10061 (WSAECONNREFUSED)"));
}

TEST(GameSocketHostLookup, AtMostSixteenOfAHostsAddressesAreTried) {
    ScriptedResolver resolver;
    RawSocket host;
    ASSERT_TRUE(host.listenOn("127.0.0.1", 0));
    // 127.0.0.2 and up refuse; 127.0.0.1 comes 16th in one answer, 17th in the other.
    std::vector<QString> sixteenth;
    for (int last = 2; last <= 16; ++last)
        sixteenth.push_back(QStringLiteral("127.0.0.%1").arg(last));
    std::vector<QString> seventeenth = sixteenth;
    seventeenth.push_back(QStringLiteral("127.0.0.17"));
    sixteenth.push_back(QStringLiteral("127.0.0.1"));
    seventeenth.push_back(QStringLiteral("127.0.0.1"));
    resolver.add(QStringLiteral("sixteen.example"), sixteenth);
    resolver.add(QStringLiteral("seventeen.example"), seventeenth);

    TGameSocket reached;
    EXPECT_TRUE(joins(reached, QStringLiteral("sixteen.example"), host.localPort()));
    EXPECT_TRUE(host.accept().isValid());

    EventLog log;
    TGameSocket missed;
    log.attach(missed);
    missed.setHostName(QStringLiteral("seventeen.example"));
    missed.setPortName(QString::number(host.localPort()));
    missed.Open();
    ASSERT_TRUE(waitFor([&] { return log.events.size() >= 3; }));
    EXPECT_EQ(log.events.back(), "7:Error #10061 (WSAECONNREFUSED)");
    EXPECT_FALSE(missed.Connected());
}

TEST(GameSocketIpv6, JoinsIpv6AddressesAndNamesAndTheListenerTakesBothFamilies) {
    SKIP_WITHOUT_IPV6();
    ScriptedResolver resolver;
    resolver.add(QStringLiteral("six.example"), {QStringLiteral("::1")});
    GameListener host;
    std::size_t expected = 0;
    for (const QString& address :
         {QStringLiteral("::1"), QStringLiteral("[::1]"), QStringLiteral("six.example")}) {
        SCOPED_TRACE(address.toStdString());
        TGameSocket client;
        EXPECT_TRUE(joins(client, address, host.port()));
        ASSERT_TRUE(host.waitForAccepted(++expected));
        EXPECT_EQ(host.accepted.back()->HostName(), "::1");
    }
    TGameSocket v4;
    EXPECT_TRUE(joins(v4, QStringLiteral("127.0.0.1"), host.port()));
    ASSERT_TRUE(host.waitForAccepted(++expected));
    EXPECT_EQ(host.accepted.back()->HostName(), "127.0.0.1");
    EXPECT_EQ(resolver.asked(), QStringList({"six.example"}));
}

TEST(GameSocketHostLookup, ASlowLookupLeavesTheLoopRunningAndCloseCancelsIt) {
    SlowResolver resolver(2000);
    GameListener host;
    EventLog log;
    TGameSocket closed;
    log.attach(closed);
    closed.setHostName(QStringLiteral("slow.example"));
    closed.setPortName(QString::number(host.port()));
    auto* destroyed = new TGameSocket;
    destroyed->OnConnect = [](TGameSocket*) { ADD_FAILURE() << "connected after its end"; };
    destroyed->setHostName(QStringLiteral("slow.example"));
    destroyed->setPortName(QString::number(host.port()));

    QElapsedTimer clock;
    clock.start();
    closed.Open();
    destroyed->Open();
    EXPECT_LT(clock.elapsed(), 500) << "Open does not wait for the resolver";
    bool fired = false;
    QTimer::singleShot(100, [&] { fired = true; });
    ASSERT_TRUE(waitFor([&] { return fired; }, 1000));
    EXPECT_LT(clock.elapsed(), 1000) << "the timer fired on time during the lookup";
    EXPECT_TRUE(closed.isLookingUp());

    closed.Close();
    delete destroyed;
    EXPECT_FALSE(closed.isLookingUp());
    resolver.release();
    // Both lookups end and deliver nothing: the first connection the host
    // sees is one made afterwards.
    ASSERT_TRUE(waitFor([] { return net::HostLookup::running() == 0; }));
    expectNoConnectionBeforeANewOne(host);
    EXPECT_THAT(log.events, ElementsAre(portLookup(host.port()), "0:Lookup Of Host slow.example",
                                        "2:Socket Closed"));
    EXPECT_FALSE(closed.isOpen());
}

TEST(GameSocketHostLookup, ACloseAfterTheAnswerWasPostedStillCancelsIt) {
    ScriptedResolver resolver;
    resolver.add(QStringLiteral("late.example"), {QStringLiteral("127.0.0.1")});
    GameListener host;
    EventLog log;
    TGameSocket late;
    log.attach(late);
    late.setHostName(QStringLiteral("late.example"));
    late.setPortName(QString::number(host.port()));
    late.Open();
    // The lookup's thread ends only after it has posted the answer; the event
    // loop does not run meanwhile, so the answer waits in its queue.
    QElapsedTimer clock;
    clock.start();
    while (net::HostLookup::running() > 0 && clock.elapsed() < 5000)
        std::this_thread::yield();
    ASSERT_EQ(net::HostLookup::running(), 0);
    late.Close();
    expectNoConnectionBeforeANewOne(host);
    EXPECT_THAT(log.events, ElementsAre(portLookup(host.port()), "0:Lookup Of Host late.example",
                                        "2:Socket Closed"));
}
