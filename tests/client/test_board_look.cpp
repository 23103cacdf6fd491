// How the board shows the game: dice out of reach still look like dice, the
// scorecard marks the own column and the seat on turn, and the winner's
// banner leaves every die in view. Against a scripted host, offscreen.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "client/DiceTumble.h"
#include "controls/SkinArt.h"
#include "game/RandomGenerator.h"
#include "support/GameWindowTest.h"

#include <QFrame>
#include <QImage>
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
        EXPECT_TRUE(waitFor([&] { return game->chat().model().inProgress(); }));
        return game;
    }

    static bool sameFace(const QLabel* die, int face) {
        return die->pixmap().toImage() == controls::SkinArt::dieFace(face, false, die).toImage();
    }

    // The column of `seat` is the one whose cells lie inside `mark`.
    static bool marksColumn(Tchat& chat, const QWidget* mark, int seat) {
        for (int other = 1; other <= 4; ++other)
            if (mark->geometry().contains(ui(chat).panel_scorecard->score[other][1]->geometry()) !=
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
    ASSERT_TRUE(waitFor([&] { return chat.model().die(5).face == 6; }));
    const int faces[] = {0, 4, 1, 2, 3, 6};
    // The dice tumble a moment, then settle as thrown, and the tumble's timer stops.
    ASSERT_TRUE(waitFor([&] {
        if (ui(chat).tumble->running())
            return false;
        for (int die = 1; die <= 5; ++die)
            if (!sameFace(ui(chat).dice[die], faces[die]))
                return false;
        return true;
    }));
    for (int die = 1; die <= 5; ++die) {
        EXPECT_TRUE(ui(chat).dice[die]->isEnabled()) << "a disabled label greys its picture";
        EXPECT_EQ(ui(chat).dice[die]->cursor().shape(), Qt::ArrowCursor) << die;
    }

    ASSERT_TRUE(
        link.sendAll("CMD_nextplayer+2+1+0+0+" + T + "CMD_thedice+2+y+1+1+5+2+5+3+1+4+1+5+2" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model().die(5).face == 2 && chat.session().canAct(); }));
    for (int die = 1; die <= 5; ++die)
        EXPECT_EQ(ui(chat).dice[die]->cursor().shape(), Qt::PointingHandCursor) << die;
}

TEST_F(BoardLookTest, TheScorecardMarksTheOwnColumnAndTheSeatOnTurn) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    for (int seat : {1, 3, 2}) {
        ASSERT_TRUE(link.sendAll("CMD_nextplayer+" + QByteArray::number(seat) + "+1+0+0+" + T));
        ASSERT_TRUE(waitFor([&] { return chat.model().currentSeat() == seat; }));
        EXPECT_TRUE(marksColumn(chat, ui(chat).panel_scorecard->column_own, 2))
            << "on the turn of seat " << seat;
        ASSERT_TRUE(ui(chat).panel_scorecard->column_turn->isVisible());
        EXPECT_TRUE(marksColumn(chat, ui(chat).panel_scorecard->column_turn, seat)) << seat;
        const QRect arrow = ui(chat).panel_scorecard->image_turn->geometry();
        EXPECT_TRUE(ui(chat).panel_scorecard->image_turn->isVisible());
        // Over its column, on the left: the right part is the just-watching eyes'.
        const QRect cell = ui(chat).panel_scorecard->score[seat][1]->geometry();
        EXPECT_TRUE(arrow.left() >= cell.left() && arrow.right() < cell.center().x()) << seat;
    }
}

// Every seat's column is ruled off alike: just left of its cells a line that
// is not the card's ground. (Seats 1 and 4: no one is on turn yet, and Ann's
// tint on seat 2 reaches over the rule of seat 3.)
TEST_F(BoardLookTest, TheLastColumnsAreRuledOffLikeTheOthers) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    const QImage card = ui(chat).panel_scorecard->grab().toImage();
    const auto ruleLeftOf = [&](int seat) {
        const QRect cell = ui(chat).panel_scorecard->score[seat][1]->geometry();
        return card.pixel(cell.left() - 2, cell.center().y());
    };
    const auto groundOf = [&](int seat) {
        const QRect cell = ui(chat).panel_scorecard->score[seat][1]->geometry();
        return card.pixel(cell.center());
    };
    EXPECT_NE(ruleLeftOf(1), groundOf(1));
    EXPECT_EQ(ruleLeftOf(4), ruleLeftOf(1));
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
    ASSERT_TRUE(waitFor([&] { return chat.model().die(2).kept(); }));
    ASSERT_TRUE(link.sendAll("CMD_winner+Ann+0+" + T));
    ASSERT_TRUE(waitFor([&] { return ui(chat).label_winner->isVisible(); }));
    for (int die = 1; die <= 5; ++die) {
        const QRect place = ui(chat).dice[die]->geometry();
        EXPECT_TRUE(ui(chat).dice[die]->isVisible());
        EXPECT_FALSE(place.intersects(ui(chat).image_winner->geometry())) << die;
        EXPECT_FALSE(place.intersects(ui(chat).label_winner->geometry())) << die;
        EXPECT_TRUE(ui(chat).panel_board->rect().contains(place)) << die;
    }
    EXPECT_EQ(ui(chat).dice[2]->x(), 438) << "a kept die stays in the tray";
    for (int seat = 1; seat <= 4; ++seat)
        EXPECT_EQ(ui(chat).panel_scorecard->image_crown[seat]->isVisible(), seat == 2) << seat;
    EXPECT_FALSE(ui(chat).panel_scorecard->column_turn->isVisible())
        << "nobody is on turn after the end";
}

// In the own turn after a roll every free category of the own column shows,
// pale, what the dice would score there; the values below are worked out by
// hand from the categories' rules.
TEST_F(BoardLookTest, TheOwnFreeCategoriesPreviewTheDiceAfterEachRoll) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    const auto column = [&](int seat) {
        QStringList texts;
        for (int row = 1; row <= 12; ++row)
            texts << ui(chat).panel_scorecard->score[seat][row]->text();
        return texts;
    };
    const QStringList blank(12, QString());
    // Ann has Twos (4) and Full House (25); the Host rolls 2-2-2-5-5 first.
    ASSERT_TRUE(link.sendAll(
        "CMD_pscore+2+29+*+1000+4+1000+1000+1000+1000+1000+25+1000+1000+1000+1000+4+0+25" + T +
        "CMD_nextplayer+1+1+0+0+" + T + "CMD_thedice+1+y+1+1+2+2+2+3+2+4+5+5+5" + T));
    const auto rolled = [&](int seat, int rolls) {
        return waitFor([&, seat, rolls] {
            return chat.model().currentSeat() == seat && chat.model().rollsMade() == rolls &&
                   (seat != 2 || chat.session().canAct());
        });
    };
    ASSERT_TRUE(rolled(1, 1));
    for (int seat = 1; seat <= 4; ++seat)
        EXPECT_EQ(column(seat),
                  seat == 2 ? QStringList({"", "4", "", "", "", "", "", "25", "", "", "", ""})
                            : blank)
            << "another seat's roll previews nothing, seat " << seat;

    ASSERT_TRUE(
        link.sendAll("CMD_nextplayer+2+1+0+0+" + T + "CMD_thedice+2+y+1+1+2+2+2+3+2+4+5+5+5" + T));
    ASSERT_TRUE(rolled(2, 1));
    EXPECT_EQ(column(2),
              QStringList({"0", "4", "0", "0", "10", "0", "0", "25", "0", "0", "0", "16"}));
    for (int seat : {1, 3, 4})
        EXPECT_EQ(column(seat), blank) << seat;
    QLabel* fives = ui(chat).panel_scorecard->score[2][5];
    fives->ensurePolished();
    EXPECT_LT(fives->palette().color(QPalette::WindowText).alpha(), 255) << "pale";
    EXPECT_FALSE(fives->font().bold());
    EXPECT_EQ(fives->accessibleName(), "Ann, Fives, not scored, 10 if scored now");

    // 3-4-5-6-2: a big straight.
    ASSERT_TRUE(link.sendAll("CMD_thedice+2+y+2+1+3+2+4+3+5+4+6+5+2" + T));
    ASSERT_TRUE(rolled(2, 2));
    EXPECT_EQ(column(2),
              QStringList({"0", "4", "3", "4", "5", "6", "0", "25", "30", "40", "0", "20"}));

    invoke(chat, "score1_1Click", 6);
    // The choice is the first thing the window sends after its login: the
    // previews sent nothing.
    const QByteArray sent = "CMD_logininfo+2+1.0.3+Ann" + T + T + "CMD_setscore+2+6" + T;
    EXPECT_EQ(link.readExactly(sent.size()), sent);
    EXPECT_EQ(column(2), QStringList({"", "4", "", "", "", "", "", "25", "", "", "", ""}))
        << "chosen: the preview goes at once";
    ASSERT_TRUE(link.sendAll(
        "CMD_pscore+2+35+6+1000+4+1000+1000+1000+6+1000+25+1000+1000+1000+1000+10+0+25" + T));
    ASSERT_TRUE(waitFor([&] { return !chat.model().ownCategoryFree(6); }));
    EXPECT_EQ(column(2), QStringList({"", "4", "", "", "", "6", "", "25", "", "", "", ""}));

    // A bonus-dice game with the bonus face 4: 4-4-4-2-1 makes 24 in Fours.
    ASSERT_TRUE(link.sendAll("CMD_startgame+1+t+false" + T + "CMD_setbonusdice+4" + T +
                             "CMD_nextplayer+2+1+0+0+" + T +
                             "CMD_thedice+2+y+1+1+4+2+4+3+4+4+2+5+1" + T));
    ASSERT_TRUE(rolled(2, 1));
    EXPECT_EQ(column(2),
              QStringList({"1", "2", "0", "24", "0", "0", "0", "0", "0", "0", "0", "15"}));
    ASSERT_TRUE(link.sendAll("CMD_nextplayer+3+1+0+0+" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model().currentSeat() == 3; }));
    EXPECT_EQ(column(2), blank) << "the turn has passed";
}
