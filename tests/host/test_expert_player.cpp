// Both kinds of computer player inside the real host, watched by a raw player
// in seat 1 the way any window sees them.
#include "game/ScoringRules.h"
#include "game/StrategyStore.h"
#include "host/ServerForm.h"
#include "support/DiceHostTest.h"
#include "support/ScoreReferee.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class ComputerSkillTest : public DiceHostTest {
protected:
    void SetUp() override {
        startHost(4242);
        ASSERT_TRUE(ann.connectTo(port));
        ASSERT_EQ(ann.waitForGreeting(), 1);
        ann.login(1, QStringLiteral("Ann"));
        ASSERT_TRUE(ann.waitFor("CMD_newplayerinfo+1+Ann"));
        ann.clear();
    }

    // A regular game in which Ann just watches: the computer plays seats 1
    // and 2, stepped by calling the timer handlers as the timers would.
    bool playWatchedGame(std::uint32_t seed) {
        TRandomGenerator::shared().seed(seed);
        server.startgame(QStringLiteral("1+f+false"));
        server.justwatch(1, QStringLiteral("1+1"));
        while (server.gameinprogress) {
            if (server.Timer1.isActive())
                server.Timer1Timer();
            else if (server.timer_pauser.isActive())
                server.timer_pauserTimer();
            else
                return false;
        }
        return ann.waitForPrefix("CMD_winner+").size() > 0;
    }

    // Seat 1's card with every category filled (with 0) but these.
    void leaveFree(std::initializer_list<int> categories) {
        server.players[1].card = scoring::freshCard();
        for (int category = 1; category <= scoring::CategoryCount; ++category)
            if (std::find(categories.begin(), categories.end(), category) == categories.end())
                scoring::post(server.players[1].card, category, 0);
    }

    // An Expert game with the tables ready, Ann's seat handed to the computer.
    void startExpertGame(std::initializer_list<int> freeCategories) {
        game::StrategyStore::shared().waitFor(false);
        server.setBotSkillSource([] { return TServer::BotSkill::Expert; });
        server.startgame(QStringLiteral("1+f+false"));
        leaveFree(freeCategories);
        server.justwatch(1, QStringLiteral("1+1"));
        ASSERT_TRUE(server.Timer1.isActive());
    }

    // The computer's next roll shows these faces; its step runs inside the roll.
    void computerRolls(std::deque<int> dice) {
        faces = std::move(dice);
        server.Timer1Timer();
        EXPECT_TRUE(faces.empty());
    }

    // What Ann was told after `from`, up to a chat line relayed behind it.
    QByteArrayList toldAfter(const QByteArray& from) {
        ann.send("CMD_chat+1+barrier|clRed");
        EXPECT_TRUE(ann.waitFor("CMD_chat+Ann chats: barrier|clRed"));
        const QByteArrayList all = ann.messages();
        const qsizetype first = all.indexOf(from);
        EXPECT_GE(first, 0) << from.constData();
        return all.mid(first + 1, all.size() - first - 2);
    }

    // Every posting of the watched game and its winner, worked out again from
    // the dice shown by the referee's own scoring; both cards end full.
    void expectScoredByTheRules() {
        ScoreReferee referee;
        referee.read("CMD_newplayerinfo+1+Ann");
        referee.readAll(ann.messages());
        EXPECT_EQ(referee.faults(), QStringList());
        EXPECT_EQ(referee.winnersChecked(), 1);
        EXPECT_EQ(referee.filled(1), 12);
        EXPECT_EQ(referee.filled(2), 12);
    }

    ProtocolClient ann;
};

} // namespace

TEST_F(ComputerSkillTest, ExpertScoresBigStraightWhenItIsTheLastFreeCategoryAndShowing) {
    startExpertGame({scoring::BigStraight});
    computerRolls({2, 3, 4, 5, 6});
    EXPECT_EQ(toldAfter("CMD_thedice+1+y+1+1+2+2+3+3+4+4+5+5+6"),
              QByteArrayList{"CMD_pscore+1+40+10+0+0+0+0+0+0+0+0+0+40+0+0+0+0+40"});
}

TEST_F(ComputerSkillTest, ExpertKeepsFourSixesForFiveOfAKindAndTakesIt) {
    startExpertGame({scoring::FiveOfAKind, scoring::Freebie});
    computerRolls({6, 1, 6, 6, 6});
    EXPECT_EQ(toldAfter("CMD_thedice+1+y+1+1+6+2+1+3+6+4+6+5+6"),
              (QByteArrayList{"CMD_setdice+1", "CMD_setdice+3", "CMD_setdice+4", "CMD_setdice+5"}));
    EXPECT_TRUE(server.Timer1.isActive()) << "it rolls the 1 again";

    computerRolls({6});
    EXPECT_EQ(server.players[1].card[scoring::FiveOfAKind], 50);
    EXPECT_EQ(server.players[1].card[scoring::Freebie], scoring::Unscored);
}

// Taking over a turn, it puts back a die the player kept that it does not want.
TEST_F(ComputerSkillTest, ExpertTakingOverReleasesTheDiceItDoesNotWant) {
    game::StrategyStore::shared().waitFor(false);
    server.setBotSkillSource([] { return TServer::BotSkill::Expert; });
    ann.send("CMD_startgame+1+f+false");
    ASSERT_TRUE(ann.waitFor("CMD_nextplayer+1+1+0+0+"));
    leaveFree({scoring::FiveOfAKind, scoring::Freebie});
    faces = {2, 6, 6, 6, 6};
    ann.send("CMD_rolldice+1");
    ann.send("CMD_setdice+1+1");
    ann.send("CMD_justwatch+1+1");
    ASSERT_TRUE(ann.waitFor("CMD_justwatching+1+1"));

    computerRolls({6, 6, 6, 6});
    EXPECT_EQ(toldAfter("CMD_thedice+1+y+2+2+6+3+6+4+6+5+6"),
              (QByteArrayList{"CMD_unsetdice+1", "CMD_setdice+2", "CMD_setdice+3", "CMD_setdice+4",
                              "CMD_setdice+5"}));
}

TEST_F(ComputerSkillTest, ExpertPlaysWholeGamesIntoFreeCategoriesOnly) {
    game::StrategyStore::shared().waitFor(false);
    server.setBotSkillSource([] { return TServer::BotSkill::Expert; });
    ASSERT_TRUE(playWatchedGame(777));
    expectScoredByTheRules();
    EXPECT_EQ(ann.count("CMD_chooseagain"), 0);
}

// The transcript was recorded from the Classic player before the Expert
// existed; the Classic player must still say exactly the same.
TEST_F(ComputerSkillTest, ClassicPlayerSaysTheSameMessageForMessage) {
    ASSERT_TRUE(playWatchedGame(777));
    const QByteArray transcript = ann.messages().join('\n') + '\n';
    QFile fixture(QStringLiteral(DUNVEX_TEST_DATA_DIR "/classic_solo_transcript.txt"));
    if (qEnvironmentVariableIsSet("DUNVEX_RECORD")) {
        ASSERT_TRUE(fixture.open(QIODevice::WriteOnly));
        fixture.write(transcript);
        return;
    }
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    EXPECT_EQ(transcript, fixture.readAll());
    expectScoredByTheRules();
}
