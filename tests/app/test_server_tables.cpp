// dunvex-server --tables N: several games in one process, started as a child
// process and played by raw clients on loopback.
#include "support/ProtocolClient.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;

namespace {

// dunvex-server with its tables' log lines shown.
class Server : public ServerProcess {
public:
    explicit Server(const QStringList& arguments, const QString& port = QString())
        : ServerProcess(arguments, launch(port)) {}

private:
    static ServerLaunch launch(const QString& port) {
        ServerLaunch launch;
        launch.port = port;
        launch.loggingRules = QStringLiteral("dunvex.*.info=true");
        return launch;
    }
};

// The first of `count` consecutive TCP ports that nothing listened on a moment ago.
std::uint16_t freePortRange(int count) {
    static std::mt19937 random(std::random_device{}() ^ std::uint32_t(::getpid()));
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto first = std::uint16_t(20000 + random() % (12000 - count));
        bool free = true;
        for (int port = first; free && port < first + count; ++port) {
            RawSocket probe;
            free = probe.listenOn("0.0.0.0", std::uint16_t(port));
        }
        if (free)
            return first;
    }
    return 0;
}

QString number(int value) {
    return QString::number(value);
}

// A computer-only game watched from slot 1: Ann logs in, hands her seat to
// the computer and starts; the host's messages up to the winner are the
// transcript.
class WatchedGame {
public:
    bool begin(std::uint16_t port, const QByteArray& flags) {
        if (!m_client.connectTo(port) || m_client.waitForGreeting() != 1)
            return false;
        m_client.login(1, QStringLiteral("Ann"));
        m_client.send("CMD_justwatch+1+1");
        m_client.send("CMD_startgame+1+" + flags);
        return true;
    }
    bool over() { return m_client.count("CMD_winner+") > 0; }
    QByteArrayList transcript() { return m_client.messages(); }

private:
    ProtocolClient m_client;
};

QByteArrayList playAlone(std::uint32_t seed, const QByteArray& flags) {
    const std::uint16_t port = freeTcpPort();
    Server lone({"--port", number(port), "--seed", QString::number(seed), "--bot-speed", "1"});
    if (!lone.waitForOut("listening on port"))
        return {};
    WatchedGame game;
    if (!game.begin(port, flags) || !waitFor([&] { return game.over(); }, 60000))
        return {};
    return game.transcript();
}

// A bad number, then long chat lines as fast as the host takes them, from a
// connection that never reads; dropped, it comes back.
class Flood {
public:
    explicit Flood(std::uint16_t port)
        : m_thread([this, port] { run(port); }) {}
    ~Flood() { stop(); }
    // Stops the flood; how many connections it made.
    int stop() {
        m_stop = true;
        ::shutdown(m_fd.load(), SHUT_RDWR); // a send that waits ends now
        if (m_thread.joinable())
            m_thread.join();
        return m_connections;
    }

private:
    void run(std::uint16_t port) {
        const QByteArray line = "CMD_chat+2+" + QByteArray(60000, 'z') + char(0xFF);
        while (!m_stop) {
            RawSocket zed;
            if (!zed.connectTo("127.0.0.1", port))
                continue;
            m_fd = zed.fd();
            zed.readExactly(QByteArray("CMD_sendlogininfo+2\xFF").size());
            // The bad number is dealt with before the flood: the line after
            // it has come back.
            zed.sendAll("CMD_logininfo+2+1.0.3+Zed\xFF"
                        "CMD_rolldice+oops\xFF"
                        "CMD_chat+2+ready\xFF");
            QByteArray received;
            QElapsedTimer clock;
            clock.start();
            while (!received.contains("chats: ready") && clock.elapsed() < 5000 && !m_stop)
                received += zed.readExactly(1, 100);
            ++m_connections;
            while (!m_stop && zed.sendAll(line)) {
            }
            m_fd = -1;
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<int> m_fd{-1};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

} // namespace

TEST(ServerTables, TableCountIsCheckedAndEveryTableListens) {
    for (const char* bad : {"0", "1001", "-1", "2x", ""}) {
        Server server({"--tables", bad});
        ASSERT_TRUE(server.waitForExit());
        EXPECT_EQ(server.exitCode(), 2) << bad;
        EXPECT_TRUE(server.err().contains(QStringLiteral("bad value '%1' for --tables").arg(bad)))
            << server.err().toStdString();
    }
    Server pastTheEnd({"--port", "65534", "--tables", "3"});
    ASSERT_TRUE(pastTheEnd.waitForExit());
    EXPECT_EQ(pastTheEnd.exitCode(), 2);
    EXPECT_TRUE(pastTheEnd.err().contains("3 tables from port 65534 would go past port 65535"));
    // A lone table may take a service name from DUNVEX_PORT; tables count up from a number.
    Server named({"--tables", "2"}, "http");
    ASSERT_TRUE(named.waitForExit());
    EXPECT_EQ(named.exitCode(), 2);
    EXPECT_TRUE(named.err().contains("--tables needs a port number, not 'http'"));

    // The most there may be: a thousand tables, each greeting on its own port.
    const std::uint16_t first = freePortRange(1000);
    ASSERT_NE(first, 0);
    Server thousand({"--port", number(first), "--tables", "1000"});
    ASSERT_TRUE(thousand.waitForOut(
        QStringLiteral("listening on ports %1 to %2 (1000 tables)").arg(first).arg(first + 999),
        30000))
        << thousand.err().toStdString();
    for (const int port : {int(first), first + 1, first + 999}) {
        ProtocolClient client;
        ASSERT_TRUE(client.connectTo(std::uint16_t(port)));
        EXPECT_EQ(client.waitForGreeting(), 1) << port;
    }
}

// Two games at once in one process play exactly as each would alone: table 0
// with the seed given, table 1 with the seed plus 2654435769.
TEST(ServerTables, TwoTablesPlayTheGamesTheyWouldPlayAlone) {
    const std::uint32_t seed = 4000000000u;
    const std::uint32_t secondSeed =
        std::uint32_t((std::uint64_t(seed) + 2654435769u) % 4294967296u);
    const QByteArray regular = "f+false";
    const QByteArray bonusTeam = "t+true";

    const std::uint16_t first = freePortRange(2);
    ASSERT_NE(first, 0);
    Server server({"--port", number(first), "--tables", "2", "--seed", QString::number(seed),
                   "--bot-speed", "1"});
    ASSERT_TRUE(server.waitForOut("listening on ports")) << server.err().toStdString();
    EXPECT_TRUE(server.out().contains(
        QStringLiteral("port %1: listening, dice seed %2").arg(first + 1).arg(secondSeed)));
    WatchedGame one;
    WatchedGame two;
    ASSERT_TRUE(one.begin(first, regular));
    ASSERT_TRUE(two.begin(std::uint16_t(first + 1), bonusTeam));
    ASSERT_TRUE(waitFor([&] { return one.over() && two.over(); }, 60000));

    const QByteArrayList aloneOne = playAlone(seed, regular);
    const QByteArrayList aloneTwo = playAlone(secondSeed, bonusTeam);
    ASSERT_FALSE(aloneOne.isEmpty());
    ASSERT_FALSE(aloneTwo.isEmpty());
    EXPECT_GT(aloneOne.size(), 100); // a whole game, dice and all
    EXPECT_EQ(one.transcript(), aloneOne);
    EXPECT_EQ(two.transcript(), aloneTwo);
}

// A flood, a bad number and a reader that never reads at one table cost that table's
// offenders their connections; at the other table every chat line comes
// through promptly, and nothing of the first table reaches it. Every line
// of the log names its table's port.
TEST(ServerTables, TroubleAtOneTableLeavesTheOtherPrompt) {
    const std::uint16_t first = freePortRange(2);
    ASSERT_NE(first, 0);
    const auto quiet = std::uint16_t(first + 1);
    Server server({"--port", number(first), "--tables", "2", "--max-rate", "0"});
    ASSERT_TRUE(server.waitForOut("listening on ports")) << server.err().toStdString();

    ProtocolClient bea;
    ProtocolClient bob;
    ASSERT_TRUE(bea.connectTo(quiet));
    ASSERT_EQ(bea.waitForGreeting(), 1);
    bea.login(1, QStringLiteral("Bea"));
    ASSERT_TRUE(bob.connectTo(quiet));
    ASSERT_EQ(bob.waitForGreeting(), 2);
    bob.login(2, QStringLiteral("Bob"));
    ASSERT_TRUE(bob.waitFor("CMD_existingplayers+1+Bea"));

    // At the busy table: a reader that never reads, then a flood of long
    // chat lines, which comes back again whenever it is dropped.
    ProtocolClient sid;
    ASSERT_TRUE(sid.connectTo(first, "127.0.0.1", 4096));
    ASSERT_EQ(sid.waitForGreeting(), 1);
    sid.login(1, QStringLiteral("Sid"));
    ASSERT_TRUE(
        server.waitForOut(QStringLiteral("port %1: 127.0.0.1 slot 1: login as Sid").arg(first)));
    Flood flood(first);

    // Bea's lines reach Bob within a second each, all through the flood,
    // until both offenders have been dropped at least once.
    const QString dropped = QStringLiteral("port %1: 127.0.0.1 slot %2: dropped: ");
    const QString sidDropped =
        dropped.arg(first).arg(1) + "more than 1 MiB unsent: the peer does not read";
    const QString zedDropped = dropped.arg(first).arg(2);
    int slowest = 0;
    int line = 0;
    while (++line <= 40 || !server.out().contains(sidDropped) ||
           !server.out().contains(zedDropped)) {
        ASSERT_LE(line, 2000) << server.out().toStdString();
        const QByteArray text = "line " + QByteArray::number(line);
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(bea.send("CMD_chat+1+" + text));
        ASSERT_TRUE(bob.waitFor("CMD_chat+Bea chats: " + text, 5000)) << line;
        slowest = std::max(slowest, int(clock.elapsed()));
    }
    EXPECT_GE(flood.stop(), 2) << "the flood came back after it was dropped";
    EXPECT_LT(slowest, 1000);

    // A barrier: once Bob has Bea's last line, nothing else came to the quiet table.
    ASSERT_TRUE(bea.send("CMD_chat+1+barrier"));
    ASSERT_TRUE(bob.waitFor("CMD_chat+Bea chats: barrier"));
    for (const QByteArray& message : bob.messages())
        EXPECT_FALSE(message.contains("Zed") || message.contains("Sid")) << message.toStdString();
    EXPECT_FALSE(server.out().contains(
        QRegularExpression(QStringLiteral("port %1: .* dropped: ").arg(quiet))));

    // The tables' own lines name their port, on both streams; the process's
    // lines none.
    EXPECT_TRUE(server.out().contains(
        QStringLiteral("info port %1: 127.0.0.1 slot 2: login as Bob").arg(quiet)));
    EXPECT_TRUE(server.err().contains(
        QStringLiteral("warning dunvex.host: port %1: dropping slot 1 - more than 1 MiB unsent")
            .arg(first)))
        << server.err().toStdString();
    EXPECT_TRUE(server.err().contains(
        QStringLiteral("info dunvex.host: port %1: slot 2 logged in as Bob").arg(quiet)));
    EXPECT_TRUE(server.err().contains(
        QStringLiteral("warning dunvex.host: port %1: message from slot 2 abandoned: ")
            .arg(first)));
    const QRegularExpression tagged(
        QStringLiteral("^\\S+ (info|warning) (port %1: |port %2: )").arg(first).arg(quiet));
    const QRegularExpression traced(
        QStringLiteral("^\\S+ (info|warning) dunvex.host: (port %1: |port %2: )")
            .arg(first)
            .arg(quiet));
    for (const QString& line : server.out().split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.contains(" listening on ports ") || tagged.match(line).hasMatch())
            << line.toStdString();
    for (const QString& line : server.err().split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(traced.match(line).hasMatch()) << line.toStdString();
}
