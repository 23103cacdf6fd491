// The real dunvex-server program, started as a child process, with raw
// clients on loopback.
#include "support/ProtocolClient.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <algorithm>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <map>

using namespace testsupport;

namespace {

QString serverProgram() {
    return QStringLiteral(DUNVEX_PROGRAM_DIR "/dunvex-server");
}

QByteArray message(const QByteArray& text) {
    return text + char(0xFF);
}

// dunvex-server with its standard output and error kept apart.
class Server {
public:
    explicit Server(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Without --port it must not fall back to the real game's port.
        environment.insert(QStringLiteral("DUNVEX_PORT"), QString::number(freeTcpPort()));
        m_process.setProcessEnvironment(environment);
        m_process.start(serverProgram(), arguments);
        m_process.waitForStarted();
    }
    ~Server() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString out() {
        m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return m_out;
    }
    QString err() {
        m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
        return m_err;
    }
    bool waitForOut(const QString& text, int milliseconds = 5000) {
        return waitFor([&] { return out().contains(text); }, milliseconds);
    }
    bool waitForExit(int milliseconds = 5000) {
        return waitFor([this] { return m_process.state() == QProcess::NotRunning; }, milliseconds);
    }
    // Exit code of a normal exit; -1 when it died of a signal.
    int exitCode() const {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    qint64 pid() const { return m_process.processId(); }
    void terminate() { m_process.terminate(); }

private:
    QProcess m_process;
    QString m_out;
    QString m_err;
};

// Connects a raw client and checks the greeting for the slot it should get.
RawSocket arrive(Server& server, std::uint16_t port, int slot) {
    RawSocket client;
    EXPECT_TRUE(client.connectTo("127.0.0.1", port));
    const QByteArray greeting = message("CMD_sendlogininfo+" + QByteArray::number(slot));
    EXPECT_EQ(client.readExactly(greeting.size()), greeting);
    EXPECT_TRUE(server.waitForOut(QStringLiteral("arrived: slot %1 from 127.0.0.1").arg(slot)))
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
    EXPECT_TRUE(server.waitForOut("login: slot 1 as Ann")) << server.out().toStdString();
    const QByteArray annJoined = message("CMD_newplayerinfo+1+Ann");
    EXPECT_EQ(ann.readExactly(annJoined.size()), annJoined);

    RawSocket bob = arrive(server, port, 2);
    ASSERT_TRUE(bob.sendAll(message(message("CMD_logininfo+2+1.0.3+Bob"))));
    EXPECT_TRUE(server.waitForOut("login: slot 2 as Bob")) << server.out().toStdString();
    const QByteArray bobJoined = message("CMD_newplayerinfo+2+Bob");
    const QByteArray bobSees = bobJoined + message("CMD_existingplayers+1+Ann");
    EXPECT_EQ(bob.readExactly(bobSees.size()), bobSees);
    EXPECT_EQ(ann.readExactly(bobJoined.size()), bobJoined);

    bob.close();
    EXPECT_TRUE(server.waitForOut("departed: slot 2 (Bob)\n")) << server.out().toStdString();
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

TEST(DunvexServer, ASoloGameAgainstTheComputerReachesTheWinner) {
    const std::uint16_t port = freeTcpPort();
    Server server({"--bot-speed", "1", "--seed", "7", "--port", QString::number(port)});
    ASSERT_TRUE(server.waitForOut("listening on port")) << server.err().toStdString();
    ProtocolClient ann;
    ASSERT_TRUE(ann.connectTo(port));
    ASSERT_EQ(ann.waitForGreeting(), 1);
    ann.login(1, QStringLiteral("Ann"));
    ASSERT_TRUE(ann.waitFor("CMD_newplayerinfo+1+Ann"));
    ann.send("CMD_startgame+1+f+false");

    // Seat 1 rolls once and scores its next category; seat 2 is the computer's.
    int next = 1;
    qsizetype read = 0;
    std::map<QByteArray, QByteArray> totals; // seat -> its last announced total
    const bool finished = waitFor(
        [&] {
            const QByteArrayList messages = ann.messages();
            for (; read < messages.size(); ++read) {
                const QByteArray& message = messages[read];
                if (message.startsWith("CMD_nextplayer+1+"))
                    ann.send("CMD_rolldice+1");
                else if (message.startsWith("CMD_thedice+1+"))
                    ann.send("CMD_setscore+1+" + QByteArray::number(next++));
                else if (message.startsWith("CMD_pscore+"))
                    totals[message.split('+')[1]] = message.split('+')[2];
                else if (message.startsWith("CMD_winner+"))
                    return true;
            }
            return false;
        },
        30000);
    ASSERT_TRUE(finished) << server.out().toStdString();

    EXPECT_EQ(next, 13);
    int computerTurns = 0;
    int computerPostings = 0;
    for (const QByteArray& message : ann.messages()) {
        computerTurns += message.startsWith("CMD_nextplayer+2+") ? 1 : 0;
        computerPostings += message.startsWith("CMD_pscore+2+") ? 1 : 0;
    }
    EXPECT_EQ(computerTurns, 12);
    EXPECT_EQ(computerPostings, 12) << "the computer scores every turn";
    const int annTotal = totals["1"].toInt();
    const int klotTotal = totals["2"].toInt();
    const QByteArray winners = annTotal == klotTotal  ? "Ann and Klot"
                               : annTotal > klotTotal ? "Ann"
                                                      : "Klot";
    EXPECT_TRUE(ann.has("CMD_winner+" + winners + '+' +
                        QByteArray::number(std::max(annTotal, klotTotal)) + '+'));
}
