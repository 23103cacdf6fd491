// Two player windows play a whole game against each other through a real
// host, driven by clicks, offscreen.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "game/RandomGenerator.h"
#include "host/ServerForm.h"
#include "support/GameWindowTest.h"
#include "windows/GameStartForm.h"
#include "windows/TallyListForm.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

class BoardTest : public GameWindowTest {
protected:
    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

    // One step of a player who rolls once and takes the first free category.
    static void play(Tchat& chat) {
        if (auto* box = ui(chat).zeroScoreBox) {
            box->button(QMessageBox::Yes)->click();
            return;
        }
        if (chat.model().currentSeat() != chat.model().ownSeat() || !chat.session().canAct())
            return;
        if (!ui(chat).panel_scorecard->image_rolls[1]->isVisible()) {
            click(ui(chat).image_throwdice);
            return;
        }
        for (int row = 1; row <= 12; ++row)
            if (chat.model().ownCategoryFree(row)) {
                click(ui(chat).panel_scorecard->label[row]);
                return;
            }
    }
};

// The first dice of a game that seats 1 and 2 only watch, as an observer in
// seat 2 sees them, once `annTakesSeat1` has seated Ann, just watching.
QByteArrayList firstDice(std::uint32_t seed, std::uint16_t port,
                         const std::function<void()>& annTakesSeat1) {
    annTakesSeat1();
    ProtocolClient observer;
    EXPECT_TRUE(observer.connectTo(port));
    observer.login(observer.waitForGreeting(), QStringLiteral("Obi"));
    observer.send("CMD_justwatch+2+1");
    EXPECT_TRUE(observer.waitFor("CMD_justwatching+2+1"));
    TRandomGenerator::shared().seed(seed);
    observer.send("CMD_startgame+2+f+false");
    EXPECT_TRUE(testsupport::waitFor([&] { return observer.count("CMD_thedice+") >= 12; }, 20000));
    QByteArrayList dice;
    for (const QByteArray& message : observer.messages())
        if (message.startsWith("CMD_thedice+") && dice.size() < 12)
            dice << message;
    return dice;
}

} // namespace

// Drawing a game moves none of its dice: a window that hosts rolls what the
// host alone rolls from the same seed.
TEST_F(BoardTest, AHostedGameRollsTheSeedsDiceWhateverTheWindowDraws) {
    constexpr std::uint32_t Seed = 424242;
    QByteArrayList hosted;
    {
        auto game = launch({"Ann", "127.0.0.1", "true"});
        Tchat& chat = game->chat();
        game->server().setBotSpeedSource([] { return 1; });
        hosted = firstDice(Seed, port, [&] {
            ui(chat).JustWatch1->trigger();
            ASSERT_TRUE(waitForLine(chat, "Ann is just watching"));
        });
    }
    TServer alone;
    alone.setBotSpeedSource([] { return 1; });
    alone.Sock1.setPortName(QString::number(port));
    alone.Sock1.setListen(true);
    ProtocolClient ann;
    const QByteArrayList bare = firstDice(Seed, port, [&] {
        ASSERT_TRUE(ann.connectTo(port));
        ann.login(ann.waitForGreeting(), QStringLiteral("Ann"));
        ann.send("CMD_justwatch+1+1");
        ASSERT_TRUE(ann.waitFor("CMD_justwatching+1+1"));
    });
    ASSERT_EQ(hosted.size(), 12);
    EXPECT_EQ(hosted, bare);
}

TEST_F(BoardTest, TwoWindowsPlayAWholeGame) {
    auto ann = launch({"Ann", "127.0.0.1", "true"});
    auto bob = launch({"Bob", "127.0.0.1", "false"});
    ASSERT_TRUE(waitForLine(bob->chat(), "You are Connected."));
    Tchat& host = ann->chat();
    Tchat& guest = bob->chat();
    ASSERT_TRUE(waitFor([&] { return ui(host).label_playername[2]->text() == "Bob"; }));
    host.session().settings().botSpeed = 1; // the host's pauses follow the hosting window's setting
    choose(ui(guest).doubleCheck, false);
    ASSERT_TRUE(ui(host).doubleCheck->isChecked()) << "zero scores are confirmed in Ann's window";

    // Ann's rolls all show five sixes, Bob's five fives.
    TServer& server = ann->server();
    server.faceSource = [&] { return server.currentplayer == 1 ? 6 : 5; };

    ASSERT_TRUE(ui(host).button_start->isVisible());
    EXPECT_FALSE(ui(guest).button_start->isVisible());
    click(ui(host).button_start);
    Tgamestartform& options = *ann->forms().gamestartform;
    ASSERT_TRUE(options.isVisible());
    click(options.button_start);
    ASSERT_TRUE(waitFor(
        [&] { return ui(guest).mainchat->toPlainText().contains("Ann has started a game."); }));
    EXPECT_FALSE(ui(guest).image_bonus->isVisible()) << "no bonus die without bonus dice";

    ASSERT_TRUE(waitFor(
        [&] {
            play(host);
            play(guest);
            return ui(host).label_winner->isVisible() && ui(guest).label_winner->isVisible();
        },
        120000));

    // Each takes the first free row with the one roll of the turn.
    const QStringList annCard = {"0", "0", "0",  "0",  "0",  "30", "30", "25",
                                 "0", "0", "50", "30", "30", "0",  "135"};
    const QStringList bobCard = {"0", "0", "0",  "0",  "25", "0", "25", "25",
                                 "0", "0", "50", "25", "25", "0", "125"};
    for (Tchat* window : {&host, &guest}) {
        QStringList cards[5];
        for (int seat = 1; seat <= 4; ++seat)
            for (int row = 1; row <= 15; ++row)
                cards[seat] << ui(*window).panel_scorecard->score[seat][row]->text();
        EXPECT_EQ(cards[1], annCard);
        EXPECT_EQ(cards[2], bobCard);
        EXPECT_EQ(cards[3], QStringList(15, QString())) << "empty seats are skipped";
        EXPECT_EQ(ui(*window).label_score[1]->text(), "165");
        EXPECT_EQ(ui(*window).label_score[2]->text(), "150");
    }
    EXPECT_EQ(ui(host).label_winner->text(), "You have Won the Game!");
    EXPECT_EQ(ui(guest).label_winner->text(), "Ann has Won the Game!");
    EXPECT_EQ(ui(host).panel_scorecard->label_roundnum->text(), "Round: 12");
    EXPECT_TRUE(ui(host).button_start->isVisible()) << "the hosting window may start again";
    EXPECT_FALSE(ui(guest).button_start->isVisible());
    using windows::TallyBook;
    const TallyBook& annTally = ann->forms().tallylist->book();
    const TallyBook& bobTally = bob->forms().tallylist->book();
    EXPECT_EQ(annTally.cell(TallyBook::Games, 0), "1");
    EXPECT_EQ(bobTally.cell(TallyBook::Games, 0), "1");
    EXPECT_EQ(annTally.cell(TallyBook::Wins, 0), "1");
    EXPECT_EQ(bobTally.cell(TallyBook::Wins, 0), "0");
}

TEST_F(BoardTest, SoloGameAgainstTheComputerRunsToTheEnd) {
    auto game = launch({});
    Tchat& chat = game->chat();
    chat.session().settings().botSpeed = 1;
    choose(ui(chat).doubleCheck, false);
    click(ui(chat).button_start);
    click(game->forms().gamestartform->button_start);
    ASSERT_TRUE(waitFor(
        [&] {
            play(chat);
            return ui(chat).label_winner->isVisible();
        },
        120000));
    EXPECT_EQ(ui(chat).label_playername[2]->text(), "Klot");
    for (int row = 1; row <= 15; ++row) {
        EXPECT_FALSE(ui(chat).panel_scorecard->score[1][row]->text().isEmpty()) << row;
        EXPECT_FALSE(ui(chat).panel_scorecard->score[2][row]->text().isEmpty())
            << "the computer fills its card too";
        EXPECT_TRUE(ui(chat).panel_scorecard->score[3][row]->text().isEmpty());
    }
    const int mine = ui(chat).label_score[1]->text().toInt();
    const int klot = ui(chat).label_score[2]->text().toInt();
    EXPECT_EQ(ui(chat).label_winner->text(), mine > klot ? QString("You have Won the Game!")
                                             : klot > mine
                                                 ? QString("Klot has Won the Game!")
                                                 : QString("You and Klot have Won the Game!"));
}

TEST_F(BoardTest, MovesFollowTheHostAndRefusalsAreShown) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tchat& chat = game->chat();
    ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T +
                             "CMD_existingplayers+1+Host" + T + "CMD_startgame+1+t+false" + T));
    ASSERT_TRUE(waitForLine(chat, "Host has started a BONUS DICE game."));
    EXPECT_TRUE(ui(chat).image_bonus->isVisible());
    EXPECT_TRUE(ui(chat).image_bonus->pixmap().isNull()) << "no bonus die before the host's";
    ASSERT_TRUE(link.sendAll("CMD_setbonusdice+4" + T + "CMD_nextplayer+2+1+0+0+" + T));
    ASSERT_TRUE(
        waitFor([&] { return chat.model().currentSeat() == 2 && chat.session().canAct(); }));
    link.readAvailable();
    EXPECT_FALSE(ui(chat).image_bonus->pixmap().isNull());
    EXPECT_EQ(ui(chat).panel_scorecard->label_turn->text(), "Your Turn.");
    EXPECT_EQ(ui(chat).label_playername[3]->text(), "<Waiting>") << "seat 3 takes no turns";

    click(ui(chat).panel_scorecard->label[3]); // before any roll: nothing goes out
    EXPECT_TRUE(chat.session().canAct());
    click(ui(chat).image_throwdice);
    EXPECT_EQ(link.readExactly(sizeof("CMD_rolldice+2")), "CMD_rolldice+2" + T);
    EXPECT_FALSE(chat.session().canAct());

    ASSERT_TRUE(link.sendAll("CMD_thedice+2+y+1+1+4+2+1+3+2+4+3+5+6" + T));
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    EXPECT_TRUE(ui(chat).panel_scorecard->image_rolls[1]->isVisible());
    EXPECT_FALSE(ui(chat).panel_scorecard->image_rolls[2]->isVisible());
    EXPECT_TRUE(ui(chat).image_throwdice->isVisible());
    click(ui(chat).dice[2]);
    EXPECT_EQ(link.readExactly(sizeof("CMD_setdice+2+2")), "CMD_setdice+2+2" + T);
    ASSERT_TRUE(link.sendAll("CMD_setdice+2" + T));
    ASSERT_TRUE(waitFor([&] { return ui(chat).dice[2]->x() == 438; }));
    click(ui(chat).dice[2]); // and back to the table
    EXPECT_EQ(link.readExactly(sizeof("CMD_unsetdice+2+2")), "CMD_unsetdice+2+2" + T);
    ASSERT_TRUE(link.sendAll("CMD_unsetdice+2" + T));
    ASSERT_TRUE(waitFor([&] { return !chat.model().die(2).kept(); }));
    EXPECT_EQ(ui(chat).dice[2]->x(), 376);

    // Faces 4-1-2-3-6: Full House scores nothing, so Ann is asked first.
    click(ui(chat)
              .panel_scorecard->score[1][8]); // another seat's cell picks the row for our own card
    ASSERT_TRUE(waitFor([&] { return ui(chat).zeroScoreBox != nullptr; }));
    EXPECT_EQ(ui(chat).zeroScoreBox->text(), "Are you sure you want to score 0 for this category?");
    ui(chat).zeroScoreBox->button(QMessageBox::No)->click();
    EXPECT_TRUE(chat.session().canAct());
    EXPECT_TRUE(link.readAvailable().isEmpty());
    click(ui(chat).panel_scorecard->label[9]); // Sm Straight holds: no question
    EXPECT_EQ(link.readExactly(sizeof("CMD_setscore+2+9")), "CMD_setscore+2+9" + T);
    click(ui(chat).panel_scorecard->label[13]); // totals are not clickable
    EXPECT_TRUE(link.readAvailable().isEmpty());

    ASSERT_TRUE(link.sendAll("CMD_chooseagain+" + T));
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    EXPECT_EQ(ui(chat).label_status->text(), "Invalid Choice, Choose Again!");

    ASSERT_TRUE(link.sendAll("CMD_pscore+2+30+9+1000+1000+1000+1000+1000+1000+1000+1000+30+1000+"
                             "1000+1000+0+0+30" +
                             T +
                             "CMD_pscore+1+5+*+5+1000+1000+1000+1000+1000+1000+1000+1000+1000+1000+"
                             "1000+5+0+0" +
                             T));
    ASSERT_TRUE(waitFor([&] { return ui(chat).label_score[1]->text() == "5"; }));
    EXPECT_EQ(ui(chat).label_status->text(), "Ann tagged a SM STRAIGHT +30")
        << "a replay leaves it";
    EXPECT_EQ(ui(chat).panel_scorecard->score[2][9]->text(), "30");
    // Ones is still free, and the move still open: it previews the dice, not seat 1's 5.
    EXPECT_EQ(ui(chat).panel_scorecard->score[2][1]->text(), "1");
    EXPECT_EQ(ui(chat).label_score[2]->text(), "30");

    ASSERT_TRUE(link.sendAll("CMD_winner+No One and Host and Ann and Kling and Klick+0+" + T));
    ASSERT_TRUE(waitFor([&] { return ui(chat).label_winner->isVisible(); }));
    EXPECT_EQ(ui(chat).label_winner->text(),
              "No One and Host and Ann and Kling and Klick have Won the Game!");
    EXPECT_EQ(game->forms().tallylist->book().cell(windows::TallyBook::Wins, 0), "0");
    EXPECT_FALSE(ui(chat).button_start->isVisible()) << "only the hosting window starts games";

    // The next bonus game shows no bonus die until the host draws its own.
    ASSERT_TRUE(link.sendAll("CMD_startgame+1+t+false" + T));
    ASSERT_TRUE(waitFor([&] { return !ui(chat).label_winner->isVisible(); }));
    EXPECT_TRUE(ui(chat).image_bonus->isVisible());
    EXPECT_TRUE(ui(chat).image_bonus->pixmap().isNull()) << "the last game's bonus die";
}
