// The real dunvex-server program, started as a child process, with raw
// clients on loopback.
#include "support/ProtocolClient.h"
#include "support/ScoreReferee.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <unistd.h>

using namespace testsupport;

namespace {

QByteArray message(const QByteArray& text) {
    return text + char(0xFF);
}

using Server = ServerProcess;

// Connects a raw client and checks the greeting for the slot it should get.
RawSocket arrive(Server& server, std::uint16_t port, int slot) {
    RawSocket client;
    EXPECT_TRUE(client.connectTo("127.0.0.1", port));
    const QByteArray greeting = message("CMD_sendlogininfo+" + QByteArray::number(slot));
    EXPECT_EQ(client.readExactly(greeting.size()), greeting);
    EXPECT_TRUE(server.waitForOut(QStringLiteral("127.0.0.1 slot %1: arrived").arg(slot)))
        << server.out().toStdString();
    return client;
}

} // namespace

TEST(DunvexServer, HelpBadOptionsAndGoodOptions) {
    Server help({"--help"});
    ASSERT_TRUE(help.waitForExit());
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.out().startsWith("Usage: dunvex-server [--port N]"))
        << help.out().toStdString();
    EXPECT_TRUE(help.out().contains("--bot-speed MS"));
    EXPECT_TRUE(help.err().isEmpty()) << help.err().toStdString();

    const QList<QStringList> refused = {
        {"--bogus"}, {"--bogus", "1"}, {"--port", "x"}, {"--bot-speed", "0"}, {"--seed", "-1"}};
    for (const QStringList& arguments : refused) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        Server server(arguments);
        ASSERT_TRUE(server.waitForExit()) << server.out().toStdString();
        EXPECT_EQ(server.exitCode(), 2);
        EXPECT_TRUE(server.err().startsWith("dunvex-server: ")) << server.err().toStdString();
        EXPECT_TRUE(server.err().contains(arguments.first())) << server.err().toStdString();
        EXPECT_FALSE(server.out().contains("listening"));
    }

    const std::uint16_t port = freeTcpPort();
    Server seeded({"--seed", "42", "--bot-speed", "1", "--port", QString::number(port)});
    ASSERT_TRUE(seeded.waitForOut(QStringLiteral("listening on port %1").arg(port)))
        << seeded.err().toStdString();
    RawSocket client;
    EXPECT_TRUE(client.connectTo("127.0.0.1", port));
}

TEST(DunvexServer, TakenPortExitsWithTheBindError) {
    const std::uint16_t port = freeTcpPort();
    RawSocket holder;
    ASSERT_TRUE(holder.listenOn("0.0.0.0", port));
    Server server({"--port", QString::number(port)});
    ASSERT_TRUE(server.waitForExit()) << server.out().toStdString();
    EXPECT_EQ(server.exitCode(), 1);
    EXPECT_TRUE(server.err().contains("Listen - Error Binding Socket"))
        << server.err().toStdString();
    EXPECT_FALSE(server.out().contains("listening"));
}

TEST(DunvexServer, ReportsArrivalsLoginsAndDepartures) {
    const std::uint16_t port = freeTcpPort();
    Server server({"--port", QString::number(port)});
    ASSERT_TRUE(server.waitForOut(QStringLiteral("listening on port %1\n").arg(port)))
        << server.err().toStdString();

    RawSocket ann = arrive(server, port, 1);
    // The login text carries a terminator of its own; the empty line after it is ignored.
    ASSERT_TRUE(ann.sendAll(message(message("CMD_logininfo+1+1.0.3+Ann"))));
    EXPECT_TRUE(server.waitForOut("127.0.0.1 slot 1: login as Ann")) << server.out().toStdString();
    const QByteArray annJoined = message("CMD_newplayerinfo+1+Ann");
    EXPECT_EQ(ann.readExactly(annJoined.size()), annJoined);

    RawSocket bob = arrive(server, port, 2);
    ASSERT_TRUE(bob.sendAll(message(message("CMD_logininfo+2+1.0.3+Bob"))));
    EXPECT_TRUE(server.waitForOut("127.0.0.1 slot 2: login as Bob")) << server.out().toStdString();
    const QByteArray bobJoined = message("CMD_newplayerinfo+2+Bob");
    const QByteArray bobSees = bobJoined + message("CMD_existingplayers+1+Ann");
    EXPECT_EQ(bob.readExactly(bobSees.size()), bobSees);
    EXPECT_EQ(ann.readExactly(bobJoined.size()), bobJoined);

    bob.close();
    EXPECT_TRUE(server.waitForOut("127.0.0.1 slot 2: departed (Bob)\n"))
        << server.out().toStdString();
    const QByteArray bobLeft = message("CMD_playerdisconnected+2+Bob");
    EXPECT_EQ(ann.readExactly(bobLeft.size()), bobLeft);

    // The freed slot goes to the next newcomer.
    RawSocket cid = arrive(server, port, 2);
    EXPECT_FALSE(server.out().contains("dropped:")) << server.out().toStdString();
}

TEST(DunvexServer, TermAndIntStopItCleanlyAndPromptly) {
    const std::vector<std::pair<const char*, std::function<void(Server&)>>> stops = {
        {"SIGTERM", [](Server& server) { server.terminate(); }},
        {"SIGINT", [](Server& server) { ::kill(pid_t(server.pid()), SIGINT); }},
    };
    for (const auto& [name, stop] : stops) {
        SCOPED_TRACE(name);
        const std::uint16_t port = freeTcpPort();
        Server server({"--port", QString::number(port)});
        ASSERT_TRUE(server.waitForOut("listening on port")) << server.err().toStdString();
        // A greeted client shows the event loop runs, and it must not hold the stop up.
        RawSocket client = arrive(server, port, 1);

        stop(server);
        ASSERT_TRUE(server.waitForExit(3000)) << server.out().toStdString();
        EXPECT_EQ(server.exitCode(), 0) << server.err().toStdString();
        EXPECT_TRUE(server.out().endsWith("stopped\n")) << server.out().toStdString();
        EXPECT_TRUE(client.peerClosed(3000));
    }
}

// Whole games against the computer, a regular one and a team game with bonus
// dice: every posting and the winner are worked out again from the dice the
// rolls show, by the referee's own scoring.
TEST(DunvexServer, GamesAgainstTheComputerPostAndCrownByTheRules) {
    const std::uint16_t port = freeTcpPort();
    Server server({"--bot-speed", "1", "--seed", "7", "--port", QString::number(port)});
    ASSERT_TRUE(server.waitForOut("listening on port")) << server.err().toStdString();
    ProtocolClient ann;
    ASSERT_TRUE(ann.connectTo(port));
    ASSERT_EQ(ann.waitForGreeting(), 1);
    ann.login(1, QStringLiteral("Ann"));
    ASSERT_TRUE(ann.waitFor("CMD_newplayerinfo+1+Ann"));

    // Seat 1 scores the category of the bonus face while it is free, rolling
    // up to three times for a die that shows it; else it rolls once and
    // scores its lowest free category. In the team game a category its
    // partner filled is refused, and the next one is asked for.
    const auto shows = [](const QByteArray& dice, int face) {
        const QByteArrayList fields = dice.split('+');
        for (qsizetype at = 5; at < fields.size(); at += 2)
            if (fields[at].toInt() == face)
                return true;
        return false;
    };
    qsizetype read = 0;
    const auto playToTheEnd = [&](const QByteArray& flags) {
        std::set<int> free = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        int bonusFace = 0;
        const auto score = [&](int wanted) {
            const int category = free.count(wanted) ? wanted : *free.begin();
            free.erase(category);
            ann.send("CMD_setscore+1+" + QByteArray::number(category));
        };
        ann.send("CMD_startgame+1+" + flags);
        return waitFor(
            [&] {
                const QByteArrayList messages = ann.messages();
                for (; read < messages.size(); ++read) {
                    const QByteArray& message = messages[read];
                    if (message.startsWith("CMD_setbonusdice+"))
                        bonusFace = message.mid(17).toInt();
                    else if (message.startsWith("CMD_nextplayer+1+"))
                        ann.send("CMD_rolldice+1");
                    else if (message.startsWith("CMD_thedice+1+y+") && free.count(bonusFace) &&
                             !shows(message, bonusFace))
                        ann.send("CMD_rolldice+1");
                    else if (message.startsWith("CMD_thedice+1+") || message == "CMD_chooseagain+")
                        score(bonusFace);
                    else if (message.startsWith("CMD_winner+"))
                        return ++read, true;
                }
                return false;
            },
            30000);
    };

    ASSERT_TRUE(playToTheEnd("f+false")) << server.out().toStdString();
    ScoreReferee regular;
    regular.readAll(ann.messages());
    EXPECT_EQ(regular.faults(), QStringList());
    EXPECT_EQ(regular.winnersChecked(), 1);
    EXPECT_EQ(regular.postingsChecked(), 24) << "the computer scores every turn";
    EXPECT_EQ(regular.filled(1), 12);
    EXPECT_EQ(regular.filled(2), 12);
    EXPECT_EQ(ann.count("CMD_nextplayer+2+"), 12);
    EXPECT_EQ(ann.count("CMD_nextplayer+3+") + ann.count("CMD_nextplayer+4+"), 0);

    const qsizetype secondGame = read;
    ASSERT_TRUE(playToTheEnd("t+true")) << server.out().toStdString();
    ScoreReferee team;
    team.readAll(ann.messages());
    EXPECT_EQ(team.faults(), QStringList());
    EXPECT_EQ(team.winnersChecked(), 2);
    EXPECT_EQ(team.postingsChecked(), 24 + 2 * 24) << "every posting and its partner's copy";
    EXPECT_EQ(team.filled(1), 12);
    EXPECT_EQ(team.filled(2), 12);
    const QByteArrayList teamGame = ann.messages().mid(secondGame);
    EXPECT_EQ(std::count_if(teamGame.begin(), teamGame.end(),
                            [](const QByteArray& m) { return m.startsWith("CMD_setbonusdice+"); }),
              24 + 1)
        << "a bonus face for every turn, and one drawn as the game ends";
    EXPECT_FALSE(server.out().contains("dropped")) << "the rate limit never cuts a game";
}

// ---------------------------------------------------------------- defences

namespace {

// A raw client that connected and was greeted with the slot it got, or with
// "CMD_full+" (slot 0).
struct Arrival {
    ProtocolClient client;
    int slot = 0;
};

std::unique_ptr<Arrival> connectFrom(std::uint16_t port, const char* from = "127.0.0.1") {
    auto arrival = std::make_unique<Arrival>();
    EXPECT_TRUE(arrival->client.socket().connectTo("127.0.0.1", port, 0, from));
    // Either greeted or refused: the first message says which.
    waitFor([&] { return !arrival->client.messages().isEmpty(); });
    arrival->slot = arrival->client.waitForGreeting(0);
    return arrival;
}

std::uint16_t startServer(Server& server, std::uint16_t port) {
    EXPECT_TRUE(server.waitForOut("listening on port")) << server.err().toStdString();
    return port;
}

} // namespace

TEST(DunvexServer, ConnectionsThatNeverLogInAreDroppedAfterTheLoginTimeout) {
    const std::uint16_t port = freeTcpPort();
    Server server({"--port", QString::number(port), "--login-timeout", "1"});
    startServer(server, port);
    auto ann = connectFrom(port);
    ann->client.login(ann->slot, "Ann");
    ASSERT_TRUE(ann->client.waitFor("CMD_newplayerinfo+1+Ann"));
    std::vector<std::unique_ptr<Arrival>> silent;
    for (int slot = 2; slot <= 9; ++slot) {
        silent.push_back(connectFrom(port));
        EXPECT_EQ(silent.back()->slot, slot);
    }
    auto tenth = connectFrom(port);
    EXPECT_TRUE(tenth->client.has("CMD_full+"));

    for (auto& arrival : silent)
        EXPECT_TRUE(arrival->client.closedByHost(5000));
    EXPECT_TRUE(server.out().contains("127.0.0.1 slot 9: dropped: no login in time"))
        << server.out().toStdString();
    auto newcomer = connectFrom(port);
    EXPECT_EQ(newcomer->slot, 2);
    newcomer->client.login(2, "Bob");
    // Ann, logged in all along, is still there to see Bob come.
    EXPECT_TRUE(ann->client.waitFor("CMD_newplayerinfo+2+Bob"));
}

TEST(DunvexServer, MaxPerAddressRefusesOneMoreFromThatAddressOnly) {
    const std::uint16_t port = freeTcpPort();
    Server capped({"--port", QString::number(port), "--max-per-address", "4"});
    startServer(capped, port);
    std::vector<std::unique_ptr<Arrival>> kept;
    for (int slot = 1; slot <= 4; ++slot) {
        kept.push_back(connectFrom(port));
        EXPECT_EQ(kept.back()->slot, slot);
    }
    auto fifth = connectFrom(port);
    EXPECT_EQ(fifth->slot, 0);
    EXPECT_TRUE(fifth->client.has("CMD_full+"));
    EXPECT_TRUE(fifth->client.closedByHost());
    auto other = connectFrom(port, "127.0.0.2");
    EXPECT_EQ(other->slot, 5);

    const std::uint16_t openPort = freeTcpPort();
    Server open({"--port", QString::number(openPort)});
    startServer(open, openPort);
    std::vector<std::unique_ptr<Arrival>> all;
    for (int slot = 1; slot <= 9; ++slot) {
        all.push_back(connectFrom(openPort));
        EXPECT_EQ(all.back()->slot, slot);
    }
}

TEST(DunvexServer, TheRateLimitPassesABurstOf256AndNotOneMore) {
    const std::uint16_t port = freeTcpPort();
    Server server({"--port", QString::number(port), "--max-rate", "1"});
    startServer(server, port);
    const auto burst = [](int slot, int count) {
        QByteArray bytes;
        for (int n = 0; n < count; ++n)
            bytes += message("CMD_chat+" + QByteArray::number(slot) + "+x|clBlack");
        return bytes;
    };
    // The login is the first message of each bucket.
    auto ann = connectFrom(port);
    ann->client.login(1, "Ann");
    ASSERT_TRUE(ann->client.waitFor("CMD_newplayerinfo+1+Ann"));
    auto bob = connectFrom(port);
    bob->client.login(2, "Bob");
    ASSERT_TRUE(bob->client.waitFor("CMD_newplayerinfo+2+Bob"));
    auto cid = connectFrom(port);
    cid->client.login(3, "Cid");
    ASSERT_TRUE(ann->client.waitFor("CMD_newplayerinfo+3+Cid"));
    ASSERT_TRUE(ann->client.sendRaw(burst(1, 255)));
    ASSERT_TRUE(bob->client.sendRaw(burst(2, 256)));

    EXPECT_TRUE(bob->client.closedByHost());
    EXPECT_TRUE(server.waitForOut("127.0.0.1 slot 2: dropped: more messages than the rate limit"))
        << server.out().toStdString();
    // Cid's line comes after all of Ann's: Ann, still connected, gets it last.
    ASSERT_TRUE(cid->client.send("CMD_chat+3+barrier|clBlack"));
    ASSERT_TRUE(ann->client.waitFor("CMD_chat+Cid chats: barrier|clBlack", 10000));
    EXPECT_EQ(ann->client.messages().count("CMD_chat+Ann chats: x|clBlack"), 255);
    EXPECT_FALSE(server.out().contains("slot 1: dropped")) << server.out().toStdString();
}

TEST(DunvexServer, AFlooderIsDroppedWhileOthersChatPromptlyAndInOrder) {
    const std::uint16_t port = freeTcpPort();
    Server server({"--port", QString::number(port)});
    startServer(server, port);
    auto ann = connectFrom(port);
    ann->client.login(1, "Ann");
    auto flooder = connectFrom(port);
    flooder->client.login(2, "Zed");
    ASSERT_TRUE(ann->client.waitFor("CMD_newplayerinfo+2+Zed"));

    // Zed chats 60 times a second, Ann 5 times; Zed must go within seconds
    // while Ann's lines come back in order and quickly.
    QElapsedTimer clock;
    clock.start();
    int zedSent = 0;
    std::vector<qint64> annSentAt;
    qint64 worstDelay = 0;
    int annSeen = 0;
    const auto watchAnn = [&] {
        for (const QByteArray& line : ann->client.messages().mid(0)) {
            if (!line.startsWith("CMD_chat+Ann chats: a"))
                continue;
            if (line == "CMD_chat+Ann chats: a" + QByteArray::number(annSeen) + "|clBlack") {
                worstDelay = std::max(worstDelay, clock.elapsed() - annSentAt[annSeen]);
                ++annSeen;
            }
        }
        ann->client.clear();
    };
    const bool dropped = waitFor(
        [&] {
            while (zedSent < clock.elapsed() * 60 / 1000)
                flooder->client.send("CMD_chat+2+z" + QByteArray::number(zedSent++) + "|clBlack");
            if (qint64(annSentAt.size()) < clock.elapsed() * 5 / 1000) {
                ann->client.send("CMD_chat+1+a" + QByteArray::number(annSentAt.size()) +
                                 "|clBlack");
                annSentAt.push_back(clock.elapsed());
            }
            watchAnn();
            return flooder->client.closedByHost(0);
        },
        15000);
    ASSERT_TRUE(dropped) << server.out().toStdString();
    EXPECT_GT(zedSent, 256);
    EXPECT_TRUE(waitFor([&] {
        watchAnn();
        return annSeen == int(annSentAt.size());
    })) << "Ann's lines in order: "
        << annSeen << " of " << annSentAt.size();
    EXPECT_LT(worstDelay, 1000) << "the flood held Ann's chat up";
    EXPECT_TRUE(server.out().contains("slot 2: dropped: more messages than the rate limit"));
}

// ---------------------------------------------------------------- descriptors

namespace {

// The descriptor numbers a process holds.
std::set<int> openDescriptors(qint64 pid) {
    std::set<int> numbers;
    for (const QString& entry :
         QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::System))
        if (entry != "." && entry != "..")
            numbers.insert(entry.toInt());
    return numbers;
}

// The CPU time a process has used, user and system, in clock ticks.
long cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // After the command's closing parenthesis: field 3 (state) onwards.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLong() + fields.value(12).toLong(); // utime, stime
}

// "Max open files" soft and hard, as the process has them.
QString descriptorLimits(qint64 pid) {
    QFile limits(QStringLiteral("/proc/%1/limits").arg(pid));
    if (!limits.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : limits.readAll().split('\n'))
        if (line.startsWith("Max open files"))
            return QString::fromLatin1(line.mid(26).simplified());
    return {};
}

} // namespace

// dunvex-server raises its soft descriptor limit to the hard one. With no
// descriptor left to accept with, a waiting connection stays in the backlog:
// the host stops watching the listener for a back-off (100 ms up to 1 s),
// idles meanwhile, keeps serving its players, and takes the newcomer as soon
// as a descriptor is free again.
TEST(DunvexServer, WithoutDescriptorsItBacksOffAndServesItsPlayers) {
    const std::uint16_t port = freeTcpPort();
    ServerLaunch launch;
    launch.limit = {64, 1024};
    Server server({"--port", QString::number(port)}, launch);
    ASSERT_TRUE(server.waitForOut("listening on port")) << server.err().toStdString();
    EXPECT_EQ(descriptorLimits(server.pid()), "1024 1024 files") << "soft raised to hard";

    ProtocolClient ann;
    ASSERT_TRUE(ann.connectTo(port));
    ASSERT_EQ(ann.waitForGreeting(), 1);
    ann.login(1, "Ann");
    ProtocolClient bob;
    ASSERT_TRUE(bob.connectTo(port));
    ASSERT_EQ(bob.waitForGreeting(), 2);
    bob.login(2, "Bob");
    ASSERT_TRUE(ann.waitFor("CMD_newplayerinfo+2+Bob"));
    {
        // A visitor comes and goes first. (Under the sanitizers this also
        // readies their type checks, which need a descriptor of their own.)
        ProtocolClient visitor;
        ASSERT_TRUE(visitor.connectTo(port));
        ASSERT_EQ(visitor.waitForGreeting(), 3);
    }
    ASSERT_TRUE(server.waitForOut("slot 3: departed"));
    // No descriptor number from the highest held on: accepts fill any gap
    // below it, then one finds none.
    // The hard limit too, so raising the soft one cannot help.
    const int highest = *openDescriptors(server.pid()).rbegin();
    const struct rlimit limit { rlim_t(highest + 1), rlim_t(highest + 1) };
    ASSERT_EQ(::prlimit(pid_t(server.pid()), RLIMIT_NOFILE, &limit, nullptr), 0);
    std::vector<std::unique_ptr<ProtocolClient>> fillers;
    auto cid = std::make_unique<ProtocolClient>();
    for (;;) {
        ASSERT_TRUE(cid->socket().connectTo("127.0.0.1", port));
        ASSERT_TRUE(waitFor([&] {
            return !cid->messages().isEmpty() || server.out().contains("cannot accept");
        })) << server.out().toStdString();
        if (server.out().contains("cannot accept"))
            break; // cid waits in the backlog
        ASSERT_LT(fillers.size(), 6u) << "the server kept accepting";
        fillers.push_back(std::exchange(cid, std::make_unique<ProtocolClient>()));
    }

    // Over the window Ann chats four times a second and Bob hears every line.
    constexpr int Window = 4000;
    const long before = cpuTicks(server.pid());
    QElapsedTimer clock;
    clock.start();
    int sent = 0;
    waitFor(
        [&] {
            if (clock.elapsed() >= sent * 250)
                ann.send("CMD_chat+1+a" + QByteArray::number(sent++) + "|clBlack");
            return clock.elapsed() >= Window;
        },
        Window + 5000);
    const long used = cpuTicks(server.pid()) - before;
    const double share = 100.0 * used / ::sysconf(_SC_CLK_TCK) / (clock.elapsed() / 1000.0);
    std::printf(
        "[ INFO     ] CPU while unable to accept: %ld ticks in %lld ms (%.2f %% of a core)\n", used,
        clock.elapsed(), share);
    EXPECT_LT(share, 5.0);
    ASSERT_TRUE(bob.waitFor("CMD_chat+Ann chats: a" + QByteArray::number(sent - 1) + "|clBlack"));
    EXPECT_EQ(bob.count("CMD_chat+Ann chats: a"), sent) << "every line, while the newcomer waited";
    EXPECT_TRUE(cid->messages().isEmpty());
    const int backoffs = int(server.out().count("cannot accept a connection"));
    EXPECT_GE(backoffs, Window / 1000);
    EXPECT_LE(backoffs, Window / 1000 + 5) << "one line per back-off";
    EXPECT_TRUE(server.out().contains(
        "warning cannot accept a connection (Too many open files); trying again in 100 ms\n"));
    EXPECT_TRUE(server.out().contains("trying again in 1000 ms\n"));
    // The waits double from 100 ms and stop growing at a second.
    QList<int> waits;
    auto found =
        QRegularExpression(QStringLiteral("trying again in (\\d+) ms")).globalMatch(server.out());
    while (found.hasNext())
        waits.append(found.next().captured(1).toInt());
    EXPECT_EQ(waits.mid(0, 5), (QList<int>{100, 200, 400, 800, 1000}));

    // Bob leaves; his descriptor goes to the newcomer, in his slot.
    bob.socket().close();
    ASSERT_TRUE(ann.waitFor("CMD_playerdisconnected+2+Bob"));
    EXPECT_EQ(cid->waitForGreeting(3000), 2);
    cid->login(2, "Cid");
    EXPECT_TRUE(ann.waitFor("CMD_newplayerinfo+2+Cid"));
}

// ---------------------------------------------------------------- log lines

// Peer text reaches both streams, at every level, only escaped and cut: an
// ESC, CR or LF never reaches the terminal or starts a line of its own, and a
// 20,000-character name does not make a 20 KB line.
TEST(DunvexServer, LogLinesShowPeerTextEscapedAndCut) {
    const std::uint16_t port = freeTcpPort();
    ServerLaunch launch;
    launch.loggingRules = QStringLiteral("dunvex.*.info=true");
    Server server({"--port", QString::number(port)}, launch);
    ASSERT_TRUE(server.waitForOut("listening on port")) << server.err().toStdString();

    ProtocolClient evil;
    ASSERT_TRUE(evil.connectTo(port));
    ASSERT_EQ(evil.waitForGreeting(), 1);
    evil.login(1, "Ev\x1b[2Jil\r\n2026-01-01T00:00:00.000Z info 127.0.0.1 slot 9: login as \\x");
    const QString shown =
        "Ev\\x1b[2Jil\\r\\n2026-01-01T00:00:00.000Z info 127.0.0.1 slot 9: login as \\\\x";
    EXPECT_TRUE(server.waitForOut("127.0.0.1 slot 1: login as " + shown + "\n"))
        << server.out().toStdString();
    ASSERT_TRUE(evil.send("CMD_rolldice+\x1b]0;owned\x07\r\n"));
    EXPECT_TRUE(waitFor([&] {
        return server.err().contains("warning dunvex.host: message from slot 1 abandoned: "
                                     "'\\x1b]0;owned\\x07\\r\\n' is not a valid integer value\n");
    })) << server.err().toStdString();
    EXPECT_TRUE(server.err().contains("info dunvex.host: slot 1 logged in as " + shown + "\n"))
        << server.err().toStdString();

    // At the limit of 200 characters a message is whole; one more and it is cut.
    const QString prefix = QStringLiteral("127.0.0.1 slot 2: login as ");
    ProtocolClient fits;
    ASSERT_TRUE(fits.connectTo(port));
    ASSERT_EQ(fits.waitForGreeting(), 2);
    const QString fitting(200 - prefix.size(), QLatin1Char('F'));
    fits.login(2, fitting);
    EXPECT_TRUE(server.waitForOut(prefix + fitting + "\n")) << server.out().toStdString();
    fits.socket().close();
    const QString departed = QStringLiteral("127.0.0.1 slot 2: departed (");
    EXPECT_TRUE(server.waitForOut(departed + fitting.left(200 - departed.size()) + "\u2026\n"))
        << server.out().toStdString();

    ProtocolClient longName;
    ASSERT_TRUE(longName.connectTo(port));
    ASSERT_EQ(longName.waitForGreeting(), 2);
    longName.login(2, QString(20000, QLatin1Char('N')));
    const QString cut = prefix + QString(200 - prefix.size(), QLatin1Char('N')) + "\u2026\n";
    EXPECT_TRUE(server.waitForOut(cut)) << server.out().left(2000).toStdString();
    ASSERT_TRUE(longName.send("CMD_rolldice+" + QByteArray(20000, '7')));
    EXPECT_TRUE(waitFor([&] { return server.err().contains("message from slot 2 abandoned"); }));

    // A barrier: the departure of the first player is the last line.
    evil.socket().close();
    ASSERT_TRUE(server.waitForOut("slot 1: departed")) << server.out().toStdString();
    const QRegularExpression line(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z (info|warning) "
                       "([^\\x00-\\x1f\\x7f]{0,200}\u2026?)$"));
    for (const QString& stream : {server.out(), server.err()}) {
        const QStringList lines = stream.split('\n', Qt::SkipEmptyParts);
        EXPECT_GE(lines.size(), 4);
        for (const QString& text : lines)
            EXPECT_TRUE(line.match(text).hasMatch()) << text.left(300).toStdString();
    }
}

TEST(DunvexServer, Ipv6AndIpv4PlayersShareOneGameAndIpv4IsLoggedDotted) {
    if (!ipv6LoopbackWorks())
        GTEST_SKIP() << "IPv6 is not available on this machine (cannot listen on ::1)";
    const std::uint16_t port = freeTcpPort();
    Server server({"--port", QString::number(port), "--max-per-address", "1"});
    startServer(server, port);

    ProtocolClient ann;
    ASSERT_TRUE(ann.connectTo(port, "::1"));
    EXPECT_EQ(ann.waitForGreeting(), 1);
    EXPECT_TRUE(server.waitForOut("::1 slot 1: arrived")) << server.out().toStdString();
    ann.login(1, "Ann");
    auto bob = connectFrom(port);
    EXPECT_EQ(bob->slot, 2) << "::1 and 127.0.0.1 are two addresses";
    // Dotted, as before the host listened on IPv6, not "::ffff:127.0.0.1".
    EXPECT_TRUE(server.waitForOut(" 127.0.0.1 slot 2: arrived")) << server.out().toStdString();
    bob->client.login(2, "Bob");
    EXPECT_TRUE(ann.waitFor("CMD_newplayerinfo+2+Bob"));
    EXPECT_TRUE(bob->client.waitFor("CMD_existingplayers+1+Ann"));
    ASSERT_TRUE(ann.send("CMD_chat+1+hello from six"));
    EXPECT_TRUE(bob->client.waitFor("CMD_chat+Ann chats: hello from six"));

    ProtocolClient again;
    ASSERT_TRUE(again.connectTo(port, "::1"));
    EXPECT_EQ(again.waitForPrefix("CMD_"), "CMD_full+");
    EXPECT_TRUE(server.waitForOut("::1: refused: too many connections from there"))
        << server.out().toStdString();
}
