// dunvex-server with Expert computer players, started as a child process and
// watched by a raw player who hands its seat to the computer.
#include "support/ProtocolClient.h"
#include "support/ScoreReferee.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// A whole game of two computer seats at 1 ms a step; the transcript.
QByteArrayList playWatchedGame(const QString& skill) {
    const std::uint16_t port = freeTcpPort();
    QProcess server;
    server.start(QStringLiteral(DUNVEX_PROGRAM_DIR "/dunvex-server"),
                 {"--port", QString::number(port), "--bot-speed", "1", "--bot-skill", skill,
                  "--seed", "99"});
    EXPECT_TRUE(server.waitForStarted());
    EXPECT_TRUE(waitFor([&] { return server.readAllStandardOutput().contains("listening"); }));
    ProtocolClient ann;
    EXPECT_TRUE(ann.connectTo(port));
    ann.login(ann.waitForGreeting(), QStringLiteral("Ann"));
    ann.send("CMD_startgame+1+f+false");
    ann.send("CMD_justwatch+1+1");
    EXPECT_FALSE(ann.waitForPrefix("CMD_winner+", 60000).isEmpty());
    server.terminate();
    server.waitForFinished(5000);
    return ann.messages();
}

// Every posting and the winner, worked out again by the referee's own scoring
// from the dice the rolls show; both seats fill their cards.
void expectScoredByTheRules(const QByteArrayList& transcript) {
    ScoreReferee referee;
    referee.readAll(transcript);
    EXPECT_EQ(referee.faults(), QStringList());
    EXPECT_EQ(referee.winnersChecked(), 1);
    EXPECT_EQ(referee.filled(1), 12);
    EXPECT_EQ(referee.filled(2), 12);
}

} // namespace

TEST(ExpertServer, BotSkillExpertPlaysAWholeGameItsOwnWay) {
    const QByteArrayList expert = playWatchedGame(QStringLiteral("expert"));
    expectScoredByTheRules(expert);
    // The same seed with the Classic player plays differently.
    const QByteArrayList classic = playWatchedGame(QStringLiteral("classic"));
    expectScoredByTheRules(classic);
    EXPECT_NE(expert, classic);
}

TEST(ExpertServer, UnknownBotSkillIsRefused) {
    QProcess server;
    server.start(QStringLiteral(DUNVEX_PROGRAM_DIR "/dunvex-server"),
                 {"--port", QString::number(freeTcpPort()), "--bot-skill", "Expert"});
    ASSERT_TRUE(server.waitForFinished(5000));
    EXPECT_EQ(server.exitCode(), 2);
    EXPECT_TRUE(server.readAllStandardError().contains("bad value 'Expert' for --bot-skill"));
}
