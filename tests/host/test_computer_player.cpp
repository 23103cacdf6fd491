// The computer player inside the real host: dice chosen by the test, its turn
// watched by a raw player in seat 1 the way any window sees it.
#include "game/ScoringRules.h"
#include "host/ServerForm.h"
#include "support/DiceHostTest.h"
#include "support/ScoreReferee.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace testsupport;

namespace {

class ComputerPlayerTest : public DiceHostTest {
protected:
    void SetUp() override {
        startHost(20261209);
        ASSERT_TRUE(ann.connectTo(port));
        ASSERT_EQ(ann.waitForGreeting(), 1);
        ann.login(1, QStringLiteral("Ann"));
        ASSERT_TRUE(ann.waitFor("CMD_newplayerinfo+1+Ann"));
    }

    void start(const QByteArray& flags = "f+false") {
        ann.send("CMD_startgame+1+" + flags);
        ASSERT_TRUE(ann.waitFor("CMD_nextplayer+1+1+0+0+"));
    }

    // Ends a computer's posted turn, lets seat 1 roll once and score its next
    // category downwards from Freebie, and begins seat 2's turn.
    bool toComputerTurn() {
        if (server.currentplayer == 2 && server.turnPosted())
            passThePause();
        ann.send("CMD_rolldice+1");
        ann.send("CMD_setscore+1+" + QByteArray::number(annNext--));
        if (!waitFor([&] { return server.turnPosted(); }))
            return false;
        passThePause();
        return server.currentplayer == 2 && server.Timer1.isActive();
    }

    // The computer's next roll shows these faces; its step runs inside the roll.
    void computerRolls(std::deque<int> dice) {
        faces = std::move(dice);
        server.Timer1Timer();
        EXPECT_TRUE(faces.empty());
    }

    int count(const QByteArray& prefix) { return ann.count(prefix); }

    // Waits for the posting of a category with these points, as every window
    // is told it.
    bool posted(int seat, int category, int points) {
        return waitFor([&] {
            for (const QByteArray& message : ann.messages()) {
                const QByteArrayList fields = message.split('+');
                if (fields.size() == 19 && fields[0] == "CMD_pscore" && fields[1].toInt() == seat &&
                    fields[3].toInt() == category)
                    return fields[3 + category].toInt() == points;
            }
            return false;
        });
    }

    // Sends a chat line and waits for its relay: what was sent before is handled.
    bool handled() {
        const QByteArray line = "ping " + QByteArray::number(++pings);
        ann.send("CMD_chat+1+" + line + "|clRed");
        return ann.waitFor("CMD_chat+Ann chats: " + line + "|clRed");
    }

    // Plays seat 1 by the simplest script (one roll, then a free category)
    // until the winner is announced.
    bool playToTheEnd(std::function<int()> nextCategory) {
        qsizetype read = 0;
        return waitFor(
            [&] {
                const QByteArrayList messages = ann.messages();
                for (; read < messages.size(); ++read) {
                    if (messages[read].startsWith("CMD_nextplayer+1+"))
                        ann.send("CMD_rolldice+1");
                    else if (messages[read].startsWith("CMD_thedice+1+"))
                        ann.send("CMD_setscore+1+" + QByteArray::number(nextCategory()));
                }
                return count("CMD_winner+") > 0;
            },
            30000);
    }

    // Every posting so far and the winner, worked out again from the dice
    // shown by the referee's own scoring.
    void expectScoredByTheRules(int postings) {
        ScoreReferee referee;
        referee.readAll(ann.messages());
        EXPECT_EQ(referee.faults(), QStringList());
        EXPECT_EQ(referee.postingsChecked(), postings);
        EXPECT_EQ(referee.winnersChecked(), 1);
    }

    ProtocolClient ann;
    int annNext = scoring::Freebie;
    int pings = 0;
};

} // namespace

TEST_F(ComputerPlayerTest, SpecialCategoriesAreScoredTheMomentTheDiceShowThem) {
    using namespace scoring;
    const auto& card = server.players[2].card;
    start();

    ASSERT_TRUE(toComputerTurn());
    computerRolls({1, 2, 3, 4, 5});
    EXPECT_TRUE(ann.waitFor("CMD_thedice+2+y+1+1+1+2+2+3+3+4+4+5+5"));
    EXPECT_TRUE(posted(2, BigStraight, 40));
    EXPECT_EQ(server.rollcount, 1);
    EXPECT_FALSE(server.Timer1.isActive()) << "no roll after a posting";

    ASSERT_TRUE(toComputerTurn());
    computerRolls({2, 3, 4, 5, 5});
    EXPECT_TRUE(posted(2, SmStraight, 30));

    // Five equal with 5 of a Kind filled: 4 of a Kind comes before Full House.
    ASSERT_TRUE(toComputerTurn());
    server.players[2].card[FiveOfAKind] = 50;
    computerRolls({3, 3, 3, 3, 3});
    EXPECT_TRUE(posted(2, FourOfAKind, 15));
    EXPECT_EQ(card[FullHouse], Unscored);

    // A Full House counts on the second roll too; the pair of sixes was kept for it.
    ASSERT_TRUE(toComputerTurn());
    computerRolls({6, 2, 1, 3, 6});
    EXPECT_TRUE(ann.waitFor("CMD_setdice+5"));
    computerRolls({2, 6, 2});
    EXPECT_TRUE(ann.waitFor("CMD_thedice+2+y+2+2+2+3+6+4+2"));
    EXPECT_TRUE(posted(2, FullHouse, 25));
    EXPECT_EQ(count("CMD_setdice+"), 2);
    EXPECT_EQ(count("CMD_chooseagain+") + count("CMD_rollagain+"), 0);
}

TEST_F(ComputerPlayerTest, WorksTowardsOneTargetAndKeepsTheDiceThatServeIt) {
    using namespace scoring;
    auto& card = server.players[2].card;
    start();

    // Sm Straight filled: one each of 2..5, the first 5 in die order, and
    // the other 5 goes again.
    ASSERT_TRUE(toComputerTurn());
    card[SmStraight] = 30;
    computerRolls({5, 2, 5, 3, 4});
    EXPECT_EQ(server.players[2].worktarget, BigStraight);
    EXPECT_EQ(server.keptdice, (std::array<int, 6>{0, 5, 2, 0, 3, 4}));
    EXPECT_TRUE(server.Timer1.isActive());
    EXPECT_EQ(server.Timer1.interval(), Long);
    computerRolls({1});
    EXPECT_TRUE(ann.waitFor("CMD_thedice+2+y+2+3+1"));
    EXPECT_TRUE(posted(2, BigStraight, 40));
    for (const char* kept : {"CMD_setdice+1", "CMD_setdice+2", "CMD_setdice+4", "CMD_setdice+5"})
        EXPECT_TRUE(ann.has(kept)) << kept;
    EXPECT_FALSE(ann.has("CMD_setdice+3"));

    // Fours and Full House filled: the free pair of 1s beats the triple of
    // 4s, and the target stands for the turn even when Fives would pay more.
    ASSERT_TRUE(toComputerTurn());
    card[Fours] = 12;
    card[FullHouse] = 25;
    computerRolls({4, 1, 4, 1, 4});
    EXPECT_EQ(server.players[2].worktarget, Ones);
    EXPECT_EQ(server.keptdice, (std::array<int, 6>{0, 0, 1, 0, 1, 0}));
    computerRolls({2, 3, 6});
    computerRolls({5, 5, 5});
    EXPECT_TRUE(ann.waitFor("CMD_thedice+2+n+3+1+5+3+5+5+5"));
    EXPECT_TRUE(posted(2, Ones, 2));
    EXPECT_EQ(card[Fives], Unscored);
    EXPECT_EQ(server.players[2].worktarget, 0);

    // A triple beats a higher pair.
    ASSERT_TRUE(toComputerTurn());
    computerRolls({6, 3, 3, 6, 3});
    EXPECT_EQ(server.players[2].worktarget, Threes);
    EXPECT_EQ(server.keptdice, (std::array<int, 6>{0, 0, 3, 3, 0, 3}));
}

TEST_F(ComputerPlayerTest, WithoutATargetItRollsAllAgainAndScoresTheHighestFreeCategory) {
    using namespace scoring;
    start();
    ASSERT_TRUE(toComputerTurn());
    server.players[2].card[Freebie] = 20;

    computerRolls({1, 2, 3, 5, 6});
    EXPECT_EQ(server.keptdice, (std::array<int, 6>{}));
    EXPECT_EQ(server.players[2].worktarget, 0);
    EXPECT_TRUE(server.Timer1.isActive());
    computerRolls({6, 5, 3, 2, 1});
    EXPECT_TRUE(ann.waitFor("CMD_thedice+2+y+2+1+6+2+5+3+3+4+2+5+1"));
    computerRolls({1, 3, 2, 6, 5});
    EXPECT_TRUE(ann.waitFor("CMD_thedice+2+n+3+1+1+2+3+3+2+4+6+5+5"));
    EXPECT_TRUE(posted(2, FiveOfAKind, 0));
    EXPECT_EQ(count("CMD_setdice+"), 0);
}

TEST_F(ComputerPlayerTest, JustWatchAfterTwoRollsGetsExactlyOneMoreRoll) {
    start();
    faces = {1, 1, 2, 3, 6};
    ann.send("CMD_rolldice+1");
    ann.send("CMD_setdice+1+1");
    ann.send("CMD_setdice+1+2");
    ASSERT_TRUE(handled());
    faces = {2, 4, 6};
    ann.send("CMD_rolldice+1");
    ann.send("CMD_justwatch+1+1");
    ASSERT_TRUE(ann.waitFor("CMD_justwatching+1+1"));
    ASSERT_TRUE(server.Timer1.isActive());

    // The player's kept 1s stay; the computer rolls the rest once and,
    // finding no target, scores the highest free category.
    faces = {3, 4, 6};
    server.Timer1Timer();
    EXPECT_TRUE(ann.waitFor("CMD_thedice+1+n+3+3+3+4+4+5+6"));
    EXPECT_TRUE(posted(1, scoring::Freebie, 15));
    EXPECT_FALSE(server.Timer1.isActive());
    server.Timer1Timer();
    ASSERT_TRUE(handled());
    EXPECT_EQ(count("CMD_thedice+1+"), 3);
    EXPECT_EQ(count("CMD_pscore+1+"), 1);
}

TEST_F(ComputerPlayerTest, AWatchingSeatWithNothingFreeLosesItsTurnInsteadOfStalling) {
    start();
    for (int row = 1; row <= scoring::CategoryCount; ++row)
        server.players[1].card[row] = 0;
    ann.send("CMD_rolldice+1");
    ann.send("CMD_rolldice+1");
    ann.send("CMD_justwatch+1+1");
    ASSERT_TRUE(ann.waitFor("CMD_justwatching+1+1"));

    server.Timer1Timer(); // the third roll: nothing to score, so one more is asked for
    EXPECT_TRUE(server.Timer1.isActive());
    server.Timer1Timer();
    EXPECT_TRUE(ann.waitFor("CMD_nextplayer+2+1+0+0+"));
    EXPECT_EQ(count("CMD_thedice+1+"), 3);
    EXPECT_EQ(count("CMD_chooseagain+"), 0);
}

namespace {

using Faces = std::deque<int>;

// A computer turn without a pattern: two rolls with no pair keep nothing, and
// after the third the highest free category is scored with these dice.
Faces highestFreeTurn(const Faces& third) {
    Faces faces = {1, 2, 3, 5, 6, 1, 2, 3, 5, 6};
    faces.insert(faces.end(), third.begin(), third.end());
    return faces;
}

// Twelve computer turns on one card: five patterns scored on the first roll,
// then Freebie and Sixes down to Ones as the highest free categories. The
// card ends 3 6 6 16 15 24 | 25 25 30 40 50 28: upper 70, bonus 35, lower
// 198, total 303.
std::vector<Faces> twelveComputerTurns() {
    return {{6, 5, 4, 3, 2},                   // Big Straight 40
            {4, 4, 4, 4, 4},                   // 5 of a Kind 50
            {6, 6, 6, 6, 1},                   // 4 of a Kind 25
            {2, 2, 3, 3, 3},                   // Full House 25
            {1, 2, 3, 4, 6},                   // Sm Straight 30
            highestFreeTurn({6, 6, 6, 5, 5}),  // Freebie 28
            highestFreeTurn({6, 6, 6, 6, 2}),  // Sixes 24
            highestFreeTurn({5, 5, 5, 1, 2}),  // Fives 15
            highestFreeTurn({4, 4, 4, 4, 1}),  // Fours 16
            highestFreeTurn({3, 3, 1, 2, 6}),  // Threes 6
            highestFreeTurn({2, 2, 2, 1, 1}),  // Twos 6
            highestFreeTurn({1, 1, 1, 2, 3})}; // Ones 3
}

} // namespace

TEST_F(ComputerPlayerTest, SoloGameWithChosenDiceEndsWithTheStatedCardsAndWinner) {
    // Ann's roll of every round and the category she gives it.
    const std::vector<std::pair<Faces, int>> annTurns = {
        {{1, 1, 1, 2, 2}, 1}, {{2, 2, 2, 3, 3}, 2},  {{3, 3, 3, 1, 2}, 3},  {{4, 4, 4, 1, 1}, 4},
        {{5, 5, 5, 2, 2}, 5}, {{6, 6, 6, 1, 1}, 6},  {{5, 5, 5, 5, 2}, 7},  {{3, 3, 2, 2, 2}, 8},
        {{1, 2, 3, 4, 1}, 9}, {{2, 3, 4, 5, 6}, 10}, {{6, 6, 6, 6, 6}, 11}, {{6, 5, 4, 4, 1}, 12}};
    const std::vector<Faces> klotTurns = twelveComputerTurns();
    for (int round = 0; round < 12; ++round) {
        faces.insert(faces.end(), annTurns[round].first.begin(), annTurns[round].first.end());
        faces.insert(faces.end(), klotTurns[round].begin(), klotTurns[round].end());
    }
    speed = 1;
    start();
    int turn = 0;
    ASSERT_TRUE(playToTheEnd([&] { return annTurns[turn++].second; }));

    expectScoredByTheRules(24);
    // Worked out by hand: upper 63 falls one short of the bonus; lower
    // 22 + 25 + 30 + 40 + 50 + 20 = 187.
    EXPECT_TRUE(ann.has("CMD_pscore+1+250+12+3+6+9+12+15+18+22+25+30+40+50+20+63+0+187"));
    EXPECT_TRUE(ann.has("CMD_pscore+2+303+1+3+6+6+16+15+24+25+25+30+40+50+28+70+35+198"));
    EXPECT_EQ(ann.messages().last(), "CMD_winner+Klot+303+");
    EXPECT_TRUE(faces.empty()) << "the computer rolled once for a pattern, else three times";
    EXPECT_EQ(count("CMD_setdice+"), 0);
    EXPECT_EQ(count("CMD_nextplayer+2+"), 12);
    EXPECT_EQ(count("CMD_nextplayer+3+") + count("CMD_nextplayer+4+"), 0);
    EXPECT_EQ(count("CMD_setbonusdice+"), 0) << "no bonus face without bonus dice";
}

TEST_F(ComputerPlayerTest, TeamGameWithChosenDiceEndsWithTheStatedCardsAndWinner) {
    // Ann fills the upper half of the card she shares with Kling (seat 3):
    // 3 8 9 12 20 12, upper 64, just enough for the bonus.
    const std::vector<Faces> annRolls = {{1, 1, 1, 2, 3}, {2, 2, 2, 2, 5}, {3, 3, 3, 1, 1},
                                         {4, 4, 4, 1, 1}, {5, 5, 5, 5, 1}, {6, 6, 1, 2, 2}};
    // Kling fills the lower half: 40 50 25 25 30, and Freebie 23 as the last free row.
    std::vector<Faces> klingTurns = twelveComputerTurns();
    klingTurns.resize(5);
    klingTurns.push_back(highestFreeTurn({6, 6, 5, 5, 1}));
    // Klot and Klick (seats 2 and 4) take turns on their own shared card.
    const std::vector<Faces> otherTurns = twelveComputerTurns();
    for (int round = 0; round < 6; ++round)
        for (const Faces& turn :
             {annRolls[round], otherTurns[2 * round], klingTurns[round], otherTurns[2 * round + 1]})
            faces.insert(faces.end(), turn.begin(), turn.end());
    speed = 1;
    start("f+true");
    int next = 1;
    ASSERT_TRUE(playToTheEnd([&] { return next++; }));

    expectScoredByTheRules(2 * 24);
    const QByteArray ours = "+3+8+9+12+20+12+25+25+30+40+50+23+64+35+193";
    const QByteArray theirs = "+3+6+6+16+15+24+25+25+30+40+50+28+70+35+198";
    EXPECT_TRUE(ann.has("CMD_pscore+3+292+12" + ours));
    EXPECT_TRUE(ann.has("CMD_pscore+1+292+*12" + ours));
    EXPECT_TRUE(ann.has("CMD_pscore+4+303+1" + theirs));
    EXPECT_TRUE(ann.has("CMD_pscore+2+303+*1" + theirs));
    EXPECT_EQ(ann.messages().last(), "CMD_winner+Klot and Klick+303+");
    EXPECT_TRUE(faces.empty());
    for (int seat = 1; seat <= 4; ++seat)
        EXPECT_EQ(count("CMD_nextplayer+" + QByteArray::number(seat) + '+'), 6) << seat;
    EXPECT_EQ(count("CMD_setbonusdice+"), 0);
}
