// The host's turn engine: a real host in this process, raw players over
// loopback, and dice chosen by the test.
#include "host/ServerForm.h"
#include "support/DiceHostTest.h"

#include <QElapsedTimer>
#include <deque>
#include <gtest/gtest.h>
#include <map>

using namespace testsupport;

namespace {

class TurnEngineTest : public DiceHostTest {
protected:
    void SetUp() override {
        speed = 1;
        startHost(20261208);
    }

    std::unique_ptr<ProtocolClient> player(const QString& name) {
        auto client = std::make_unique<ProtocolClient>();
        EXPECT_TRUE(client->connectTo(port));
        const int slot = client->waitForGreeting();
        client->login(slot, name);
        EXPECT_TRUE(client->waitFor("CMD_newplayerinfo+" + QByteArray::number(slot) + '+' +
                                    name.toLatin1()));
        return client;
    }

    static QByteArray slot(ProtocolClient& client) { return QByteArray::number(client.slot()); }

    // Sends a chat line and waits for its relay: whatever the client sent
    // before it has been handled by then.
    bool handled(ProtocolClient& client) {
        const QByteArray echo = " chats: ping " + QByteArray::number(++pings) + "|clRed";
        client.send("CMD_chat+" + slot(client) + "+ping " + QByteArray::number(pings) + "|clRed");
        return waitFor([&] {
            for (const QByteArray& message : client.messages())
                if (message.endsWith(echo))
                    return true;
            return false;
        });
    }

    void start(ProtocolClient& host, const QByteArray& flags = "f+false") {
        host.send("CMD_startgame+" + slot(host) + '+' + flags);
        ASSERT_TRUE(host.waitFor("CMD_nextplayer+1+1+0+0+"));
    }

    void roll(ProtocolClient& client, std::deque<int> dice) {
        faces = std::move(dice);
        client.send("CMD_rolldice+" + slot(client));
        ASSERT_TRUE(handled(client));
    }

    void post(ProtocolClient& client, int category) {
        client.send("CMD_setscore+" + slot(client) + '+' + QByteArray::number(category));
        ASSERT_TRUE(waitFor([&] { return server.turnPosted(); }));
    }

    // The fifteen card rows as "CMD_pscore" carries them.
    static QByteArray rows(const std::map<int, int>& scored) {
        QByteArray text;
        for (int row = 1; row <= 15; ++row)
            text += '+' + QByteArray::number(scored.contains(row) ? scored.at(row) : 1000);
        return text;
    }

    int pings = 0;
};

} // namespace

TEST_F(TurnEngineTest, RollsShowTheDiceOffTheTableAndThreeIsTheLimit) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    start(*ann);

    roll(*ann, {3, 1, 4, 1, 5});
    EXPECT_TRUE(bob->waitFor("CMD_thedice+1+y+1+1+3+2+1+3+4+4+1+5+5"));
    ann->send("CMD_setdice+1+2");
    ann->send("CMD_setdice+1+4");
    ann->send("CMD_setdice+1+2");   // already kept
    ann->send("CMD_unsetdice+1+1"); // on the table
    ann->send("CMD_setdice+1+6");
    ann->send("CMD_setdice+1+0");
    roll(*ann, {6, 6, 6});
    EXPECT_TRUE(bob->waitFor("CMD_thedice+1+y+2+1+6+3+6+5+6"));
    EXPECT_EQ(bob->count("CMD_setdice+"), 2);
    EXPECT_EQ(bob->count("CMD_unsetdice+"), 0);
    EXPECT_EQ(server.keptdice[2], 1);
    EXPECT_EQ(server.keptdice[4], 1);

    ann->send("CMD_unsetdice+1+4");
    EXPECT_TRUE(bob->waitFor("CMD_unsetdice+4"));
    EXPECT_EQ(server.livedice[4], 1);
    roll(*ann, {2, 5, 4, 2});
    EXPECT_TRUE(bob->waitFor("CMD_thedice+1+n+3+1+2+3+5+4+4+5+2"));

    roll(*ann, {4, 4, 4, 4, 4}); // a fourth roll
    EXPECT_EQ(server.rollcount, 3);
    EXPECT_EQ(faces.size(), 5u);
    EXPECT_EQ(bob->count("CMD_thedice+"), 3);
}

TEST_F(TurnEngineTest, AllFiveKeptGivesAnEmptyAnnouncementBack) {
    auto ann = player("Ann");
    start(*ann);
    roll(*ann, {1, 2, 3, 4, 5});
    for (int die = 1; die <= 5; ++die)
        ann->send("CMD_setdice+1+" + QByteArray::number(die));
    roll(*ann, {6});
    EXPECT_TRUE(ann->has("CMD_thedice+1+y+2"));
    EXPECT_EQ(faces.size(), 1u);
}

TEST_F(TurnEngineTest, ScoringOutOfOrderIsRefusedToThatPlayerOnly) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    start(*ann);
    ann->send("CMD_setscore+1+12");
    EXPECT_TRUE(ann->waitFor("CMD_rollagain+"));

    roll(*ann, {1, 2, 3, 4, 5});
    server.players[1].card[3] = 9;
    for (const char* category : {"3", "13", "0", "-1"})
        ann->send(QByteArray("CMD_setscore+1+") + category);
    ASSERT_TRUE(handled(*ann));
    EXPECT_EQ(ann->count("CMD_chooseagain+"), 4);
    EXPECT_FALSE(server.turnPosted());
    EXPECT_EQ(server.players[1].card[13], 1000);

    ASSERT_TRUE(handled(*bob));
    EXPECT_EQ(bob->count("CMD_rollagain+") + bob->count("CMD_chooseagain+"), 0);
    EXPECT_EQ(bob->count("CMD_pscore+"), 0);
}

TEST_F(TurnEngineTest, RequestsFromOffTurnOrForeignSeatsAreIgnored) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    start(*ann);
    bob->send("CMD_rolldice+1");         // not Bob's slot
    bob->send("CMD_rolldice+2");         // not Bob's turn
    bob->send("CMD_startgame+1+t+true"); // a start carries the sender's own slot
    ASSERT_TRUE(handled(*bob));
    EXPECT_EQ(server.rollcount, 0);
    EXPECT_FALSE(server.teamgame);

    roll(*ann, {1, 2, 3, 4, 5});
    bob->send("CMD_setdice+1+1");
    bob->send("CMD_setscore+1+12");
    bob->send("CMD_setscore+2+12");
    ASSERT_TRUE(handled(*bob));
    EXPECT_EQ(bob->count("CMD_setdice+"), 0);
    EXPECT_EQ(bob->count("CMD_startgame+"), 1);
    EXPECT_FALSE(server.turnPosted());
}

TEST_F(TurnEngineTest, PostingAnnouncesTheCardAndThreeTicksLaterTheNextTurn) {
    speed = Long;
    auto ann = player("Ann");
    auto bob = player("Bob");
    start(*ann);
    roll(*ann, {2, 3, 2, 3, 3});
    post(*ann, 8);
    const QByteArray card = "CMD_pscore+1+25+8" + rows({{8, 25}, {13, 0}, {14, 0}, {15, 25}});
    EXPECT_TRUE(ann->waitFor(card));
    EXPECT_TRUE(bob->waitFor(card));
    EXPECT_TRUE(server.timer_pauser.isActive());
    EXPECT_EQ(server.timer_pauser.interval(), Long);

    // The scored turn only waits for the next one.
    ann->send("CMD_setscore+1+12");
    ann->send("CMD_rolldice+1");
    ASSERT_TRUE(handled(*ann));
    EXPECT_EQ(server.players[1].card[12], 1000);
    EXPECT_EQ(server.rollcount, 1);

    server.timer_pauserTimer();
    server.timer_pauserTimer();
    EXPECT_EQ(server.currentplayer, 1);
    server.timer_pauserTimer();
    EXPECT_TRUE(bob->waitFor("CMD_nextplayer+2+1+0+0+"));
    EXPECT_FALSE(server.timer_pauser.isActive());

    // And on the real timer: three intervals after the posting.
    speed = 60;
    roll(*bob, {6, 6, 6, 6, 1});
    QElapsedTimer clock;
    clock.start();
    post(*bob, 6);
    EXPECT_TRUE(ann->waitFor("CMD_pscore+2+24+6" + rows({{6, 24}, {13, 24}, {14, 0}, {15, 0}})));
    EXPECT_TRUE(ann->waitFor("CMD_nextplayer+1+2+25+0+"));
    EXPECT_GE(clock.elapsed(), 3 * 60 * 95 / 100); // coarse timers may fire 5 % early
}

TEST_F(TurnEngineTest, TeamBonusGameSharesEveryPostingWithThePartner) {
    auto ann = player("Ann");
    start(*ann, "t+true");
    const int bonus = server.bonusface;
    const QByteArrayList& seen = ann->messages();
    EXPECT_EQ(seen.indexOf("CMD_setbonusdice+" + QByteArray::number(bonus)) + 1,
              seen.indexOf("CMD_nextplayer+1+1+0+0+"));

    roll(*ann, {bonus, bonus, bonus, bonus, bonus % 6 + 1});
    speed = Long;
    post(*ann, bonus);
    const int points = 8 * bonus; // bonus dice count twice
    const QByteArray shared = rows({{bonus, points}, {13, points}, {14, 0}, {15, 0}});
    const QByteArray total = QByteArray::number(points);
    const QByteArray category = QByteArray::number(bonus);
    EXPECT_TRUE(ann->waitFor("CMD_pscore+1+" + total + '+' + category + shared));
    EXPECT_TRUE(ann->waitFor("CMD_pscore+3+" + total + "+*" + category + shared));
    EXPECT_EQ(server.players[3].card, server.players[1].card);

    // In a team game the empty seats all take turns, played by the computer.
    passThePause();
    EXPECT_TRUE(ann->waitFor("CMD_nextplayer+2+1+0+0+"));
    faces = {1, 2, 3, 5, 6}; // nothing the computer scores or keeps at once
    server.setscore("2+12"); // before its roll: the computer is made to roll
    EXPECT_TRUE(ann->waitFor("CMD_thedice+2+y+1+1+1+2+2+3+3+4+5+5+6"));
    server.setscore("2+12");
    EXPECT_TRUE(ann->waitFor("CMD_pscore+4+17+*12" + rows({{12, 17}, {13, 0}, {14, 0}, {15, 17}})));
    passThePause();
    EXPECT_TRUE(ann->waitFor("CMD_nextplayer+3+1+" + total + "+0+"));
}

TEST_F(TurnEngineTest, SoloGameAlternatesWithTheComputerInSeatTwo) {
    speed = Long;
    auto ann = player("Ann");
    start(*ann);
    roll(*ann, {1, 1, 1, 1, 1});
    post(*ann, 12);
    passThePause();
    EXPECT_TRUE(ann->waitFor("CMD_nextplayer+2+1+0+0+"));
    EXPECT_TRUE(server.Timer1.isActive());
    EXPECT_EQ(server.Timer1.interval(), Long);

    // The computer keeps its pair through the entry point a player's message reaches.
    faces = {4, 4, 1, 2, 6};
    server.Timer1Timer();
    EXPECT_TRUE(ann->waitFor("CMD_thedice+2+y+1+1+4+2+4+3+1+4+2+5+6"));
    EXPECT_TRUE(ann->waitFor("CMD_setdice+2"));
    server.setscore("2+10");
    EXPECT_TRUE(ann->waitFor("CMD_pscore+2+0+10" + rows({{10, 0}, {13, 0}, {14, 0}, {15, 0}})));
    passThePause();
    EXPECT_TRUE(ann->waitFor("CMD_nextplayer+1+2+5+0+"));
    EXPECT_EQ(server.players[3].turns, 1); // skipped seats count their turns
    EXPECT_EQ(server.players[4].turns, 1);
    EXPECT_EQ(ann->count("CMD_nextplayer+3+") + ann->count("CMD_nextplayer+4+"), 0);

    // A computer seat that asks for a fourth roll loses the rest of its turn;
    // only one with nothing left to score asks for it.
    roll(*ann, {1, 1, 1, 1, 1});
    post(*ann, 1);
    passThePause();
    for (int row = 1; row <= 12; ++row)
        server.players[2].card[row] = 0;
    for (int tick = 0; tick < 4; ++tick)
        server.Timer1Timer();
    EXPECT_TRUE(ann->waitFor("CMD_nextplayer+1+3+10+0+"));
    EXPECT_EQ(ann->count("CMD_pscore+2+"), 1);
}

TEST_F(TurnEngineTest, DepartureOfTheSeatOnTurnStartsTheNextTurnAtOnce) {
    speed = Long;
    auto ann = player("Ann");
    auto bob = player("Bob");
    auto cat = player("Cat");
    start(*ann);
    roll(*ann, {1, 2, 3, 4, 5});
    post(*ann, 12);
    passThePause();
    ASSERT_TRUE(cat->waitFor("CMD_nextplayer+2+1+0+0+"));
    bob->socket().close();
    EXPECT_TRUE(cat->waitFor("CMD_nextplayer+3+1+0+0+"));
    EXPECT_EQ(server.currentplayer, 3);
}

TEST_F(TurnEngineTest, DepartureDuringThePauseStartsExactlyOneTurn) {
    speed = Long;
    auto ann = player("Ann");
    auto bob = player("Bob");
    auto cat = player("Cat");
    start(*ann);
    roll(*ann, {1, 2, 3, 4, 5});
    post(*ann, 12);
    passThePause();
    roll(*bob, {1, 2, 3, 4, 5});
    post(*bob, 12);
    ASSERT_TRUE(server.timer_pauser.isActive());
    bob->socket().close();
    EXPECT_TRUE(cat->waitFor("CMD_nextplayer+3+1+0+0+"));
    EXPECT_FALSE(server.timer_pauser.isActive()) << "the old pause would start a second turn";
    roll(*cat, {6, 6, 6, 6, 6});
    EXPECT_TRUE(cat->has("CMD_thedice+3+y+1+1+6+2+6+3+6+4+6+5+6"));
}

TEST_F(TurnEngineTest, SeatOneLeavingDuringItsTurnPassesTheTurn) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    start(*ann);
    roll(*ann, {1, 2, 3, 4, 5});
    ann->socket().close();
    EXPECT_TRUE(bob->waitFor("CMD_nextplayer+2+1+0+0+"));
    EXPECT_EQ(server.players[1].card[12], 1000);
}

TEST_F(TurnEngineTest, JustWatchArmsTheComputerOnlyForATurnNotYetScored) {
    speed = Long;
    auto ann = player("Ann");
    auto bob = player("Bob");
    start(*ann);
    roll(*ann, {1, 2, 3, 4, 5});
    post(*ann, 12);
    ann->send("CMD_justwatch+1+1");
    EXPECT_TRUE(bob->waitFor("CMD_justwatching+1+1"));
    EXPECT_FALSE(server.Timer1.isActive());

    passThePause();
    ASSERT_TRUE(bob->waitFor("CMD_nextplayer+2+1+0+0+"));
    bob->send("CMD_justwatch+2+1");
    EXPECT_TRUE(bob->waitFor("CMD_justwatching+2+1"));
    EXPECT_TRUE(server.Timer1.isActive());
}

TEST_F(TurnEngineTest, StartDuringAGameBeginsAfreshWithSeatOne) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    start(*ann);
    roll(*ann, {1, 2, 3, 4, 5});
    post(*ann, 12);
    ASSERT_TRUE(bob->waitFor("CMD_nextplayer+2+1+0+0+"));
    roll(*bob, {6, 6, 6, 6, 6});
    server.players[2].justwatch = true;
    ann->messages();
    ann->clear();
    ann->send("CMD_startgame+1+f+false");
    EXPECT_TRUE(ann->waitFor("CMD_nextplayer+1+1+0+0+"));
    EXPECT_EQ(ann->messages().first(), "CMD_startgame+1+f+false");
    for (int seat = 1; seat <= 4; ++seat) {
        for (int row = 1; row <= 15; ++row)
            EXPECT_EQ(server.players[seat].card[row], 1000) << seat << ' ' << row;
        EXPECT_EQ(server.players[seat].total, 0);
        EXPECT_EQ(server.players[seat].turns, seat == 1 ? 1 : 0);
    }
    EXPECT_TRUE(server.players[2].justwatch) << "Just Watch lasts until bob plays again";
    EXPECT_EQ(server.livedice[1], -1);
    EXPECT_EQ(server.rollcount, 0);
}

TEST_F(TurnEngineTest, WinnersAreJoinedAndNoOneWinsWithoutPoints) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    server.gameinprogress = true;
    server.currentplayer = 2;
    server.players[1].total = 200;
    server.players[2].total = 200;
    server.players[3].total = 150;
    server.checkforwin();
    EXPECT_TRUE(ann->waitFor("CMD_winner+Ann and Bob+200+"));
    EXPECT_FALSE(server.gameinprogress);
    EXPECT_EQ(server.currentplayer, 0);
    EXPECT_EQ(server.players[3].name, "Kling");
    EXPECT_EQ(server.players[4].name, "Klick");

    bob->socket().close();
    ASSERT_TRUE(ann->waitFor("CMD_playerdisconnected+2+Bob"));
    for (int seat = 1; seat <= 4; ++seat)
        server.players[seat].total = 0;
    server.checkforwin();
    EXPECT_TRUE(ann->waitFor("CMD_winner+No One and Ann and Klot and Kling and Klick+0+"));
}
