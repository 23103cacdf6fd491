// How the board shows the game: dice out of reach still look like dice, the
// scorecard marks the own column and the seat on turn, and the winner's
// banner leaves every die in view. Against a scripted host, offscreen.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "controls/SkinArt.h"
#include "game/RandomGenerator.h"
#include "support/GameWindowTest.h"

#include <QFrame>
#include <QLabel>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

class BoardLookTest : public GameWindowTest {
protected:
    // Ann sits in seat 2 of a game the scripted host has started.
    std::unique_ptr<GameApplication> seatAnn(RawSocket& link) {
        auto game = joinFakeHost(link);
        EXPECT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T +
                                 "CMD_existingplayers+1+Host" + T + "CMD_startgame+1+f+false" + T));
        EXPECT_TRUE(waitFor([&] { return game->chat().model.inProgress(); }));
        return game;
    }

    static bool sameFace(const QLabel* die, int face) {
        return die->pixmap().toImage() == controls::SkinArt::dieFace(face, false, die).toImage();
    }

    // The column of `seat` is the one whose cells lie inside `mark`.
    static bool marksColumn(Tchat& chat, const QWidget* mark, int seat) {
        for (int other = 1; other <= 4; ++other)
            if (mark->geometry().contains(chat.panel_scorecard->score[other][1]->geometry()) !=
                (other == seat))
                return false;
        return true;
    }
};

} // namespace

TEST_F(BoardLookTest, DiceOutOfReachLookLikeDice) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    ASSERT_TRUE(
        link.sendAll("CMD_nextplayer+1+1+0+0+" + T + "CMD_thedice+1+y+1+1+4+2+1+3+2+4+3+5+6" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model.die(5).face == 6; }));
    const int faces[] = {0, 4, 1, 2, 3, 6};
    for (int die = 1; die <= 5; ++die) {
        EXPECT_TRUE(chat.dice[die]->isEnabled()) << "a disabled label greys its picture";
        EXPECT_TRUE(sameFace(chat.dice[die], faces[die])) << die;
        EXPECT_EQ(chat.dice[die]->cursor().shape(), Qt::ArrowCursor) << die;
    }

    ASSERT_TRUE(
        link.sendAll("CMD_nextplayer+2+1+0+0+" + T + "CMD_thedice+2+y+1+1+5+2+5+3+1+4+1+5+2" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model.die(5).face == 2 && chat.canact; }));
    for (int die = 1; die <= 5; ++die)
        EXPECT_EQ(chat.dice[die]->cursor().shape(), Qt::PointingHandCursor) << die;
}

TEST_F(BoardLookTest, TheScorecardMarksTheOwnColumnAndTheSeatOnTurn) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    for (int seat : {1, 3, 2}) {
        ASSERT_TRUE(link.sendAll("CMD_nextplayer+" + QByteArray::number(seat) + "+1+0+0+" + T));
        ASSERT_TRUE(waitFor([&] { return chat.model.currentSeat() == seat; }));
        EXPECT_TRUE(marksColumn(chat, chat.panel_scorecard->column_own, 2))
            << "on the turn of seat " << seat;
        ASSERT_TRUE(chat.panel_scorecard->column_turn->isVisible());
        EXPECT_TRUE(marksColumn(chat, chat.panel_scorecard->column_turn, seat)) << seat;
        const QRect arrow = chat.panel_scorecard->image_turn->geometry();
        EXPECT_TRUE(chat.panel_scorecard->image_turn->isVisible());
        // Over its column, on the left: the right part is the just-watching eyes'.
        const QRect cell = chat.panel_scorecard->score[seat][1]->geometry();
        EXPECT_TRUE(arrow.left() >= cell.left() && arrow.right() < cell.center().x()) << seat;
    }
}

TEST_F(BoardLookTest, TheWinnerBannerLeavesEveryDieInView) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    // Dice fall where the generator puts them: this seed lays some under the
    // middle of the table, where the banner goes.
    TRandomGenerator::shared().seed(7);
    ASSERT_TRUE(link.sendAll("CMD_nextplayer+2+12+0+0+" + T +
                             "CMD_thedice+2+y+1+1+4+2+1+3+2+4+3+5+6" + T + "CMD_setdice+2" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model.die(2).kept(); }));
    ASSERT_TRUE(link.sendAll("CMD_winner+Ann+0+" + T));
    ASSERT_TRUE(waitFor([&] { return chat.label_winner->isVisible(); }));
    for (int die = 1; die <= 5; ++die) {
        const QRect place = chat.dice[die]->geometry();
        EXPECT_TRUE(chat.dice[die]->isVisible());
        EXPECT_FALSE(place.intersects(chat.image_winner->geometry())) << die;
        EXPECT_FALSE(place.intersects(chat.label_winner->geometry())) << die;
        EXPECT_TRUE(chat.panel_board->rect().contains(place)) << die;
    }
    EXPECT_EQ(chat.dice[2]->x(), 438) << "a kept die stays in the tray";
    for (int seat = 1; seat <= 4; ++seat)
        EXPECT_EQ(chat.panel_scorecard->image_crown[seat]->isVisible(), seat == 2) << seat;
    EXPECT_FALSE(chat.panel_scorecard->column_turn->isVisible())
        << "nobody is on turn after the end";
}
