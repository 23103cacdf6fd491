// A turn from the keyboard: a whole solo game played with keys only, the chat
// line keeping its keys to itself, and the zero-score question on Enter.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "controls/SkinCheckBox.h"
#include "support/GameWindowTest.h"
#include "windows/GameStartForm.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

class KeyboardPlayTest : public GameWindowTest {
protected:
    // A key as the player types it: to whatever has the window's focus.
    static void press(QWidget& window, Qt::Key key) {
        QWidget* target = window.focusWidget() ? window.focusWidget() : &window;
        QTest::keyClick(target, key);
    }

    static QRect markedCell(Tchat& chat) {
        return ui(chat).frame_keymarker->isVisible() ? ui(chat).frame_keymarker->geometry()
                                                     : QRect();
    }

    // Ann, seat 2 of a game the fake host runs, has rolled 4-1-2-3-6 once.
    std::unique_ptr<GameApplication> annRolled(RawSocket& link) {
        auto game = joinFakeHost(link);
        Tchat& chat = game->chat();
        EXPECT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T +
                                 "CMD_existingplayers+1+Host" + T + "CMD_startgame+1+f+false" + T +
                                 "CMD_nextplayer+2+1+0+0+" + T +
                                 "CMD_thedice+2+y+1+1+4+2+1+3+2+4+3+5+6" + T));
        EXPECT_TRUE(waitFor([&] {
            return chat.session().canAct() && ui(chat).panel_scorecard->image_rolls[1]->isVisible();
        }));
        link.readExactly(27); // the login
        return game;
    }
};

} // namespace

TEST_F(KeyboardPlayTest, ASoloGameIsPlayedFromTheKeysAlone) {
    auto game = launch({});
    Tchat& chat = game->chat();
    chat.session().settings().botSpeed = 1;
    choose(ui(chat).doubleCheck, false);
    press(chat, Qt::Key_Escape); // the chat line gives the keys to the board
    press(chat, Qt::Key_S);
    Tgamestartform& options = *game->forms().gamestartform;
    ASSERT_TRUE(options.isVisible());
    options.bonus->setFocus(); // Enter on an option box starts too
    press(options, Qt::Key_Return);
    ASSERT_FALSE(options.isVisible());

    const auto ownMove = [&] {
        return chat.model().currentSeat() == chat.model().ownSeat() && chat.session().canAct();
    };
    for (int round = 1; round <= 12; ++round) {
        ASSERT_TRUE(waitFor(ownMove, 30000)) << round;
        EXPECT_FALSE(ui(chat).frame_keymarker->isVisible()) << "nothing to choose before a roll";
        press(chat, Qt::Key_Space);
        ASSERT_TRUE(waitFor(
            [&] { return ownMove() && ui(chat).panel_scorecard->image_rolls[1]->isVisible(); }));
        // Each Enter took the first free category, so this round's is free first.
        EXPECT_EQ(markedCell(chat), ui(chat).panel_scorecard->score[1][round]->geometry()) << round;
        if (round == 1) {
            press(chat, Qt::Key_Up);
            EXPECT_EQ(markedCell(chat), ui(chat).panel_scorecard->score[1][12]->geometry())
                << "up wraps to Freebie";
            press(chat, Qt::Key_Down);
            press(chat, Qt::Key_Right);
            EXPECT_EQ(markedCell(chat), ui(chat).panel_scorecard->score[1][2]->geometry());
            press(chat, Qt::Key_Left);
            press(chat, Qt::Key_1);
            ASSERT_TRUE(waitFor([&] { return chat.model().die(1).kept(); }));
            press(chat, Qt::Key_R);
            ASSERT_TRUE(waitFor([&] {
                return ownMove() && ui(chat).panel_scorecard->image_rolls[2]->isVisible();
            }));
            EXPECT_TRUE(chat.model().die(1).kept()) << "the kept die stayed in the tray";
        }
        press(chat, Qt::Key_Return);
        EXPECT_FALSE(ui(chat).frame_keymarker->isVisible()) << "scored: the marker goes";
        ASSERT_TRUE(waitFor([&] {
            return !ui(chat).panel_scorecard->score[1][round]->text().isEmpty();
        })) << round;
    }
    ASSERT_TRUE(waitFor([&] { return ui(chat).label_winner->isVisible(); }, 30000));
    EXPECT_TRUE(ui(chat).label_winner->text().contains("Won the Game!"));
}

TEST_F(KeyboardPlayTest, TheChatLineKeepsItsKeysUntilEscGivesThemToTheBoard) {
    RawSocket link;
    auto game = annRolled(link);
    Tchat& chat = game->chat();
    QTest::keyClicks(ui(chat).mychat, "1 2 3");
    for (Qt::Key key : {Qt::Key_R, Qt::Key_Space, Qt::Key_S, Qt::Key_Down, Qt::Key_Return})
        QTest::keyClick(ui(chat).mychat, key);
    const QByteArray said = "CMD_chat+2+1 2 3r s|clBlack" + T;
    EXPECT_EQ(link.readExactly(said.size()), said) << "no move went before the chat";

    QTest::keyClick(ui(chat).mychat, Qt::Key_Escape);
    press(chat, Qt::Key_4);
    const QByteArray keep = "CMD_setdice+2+4" + T;
    EXPECT_EQ(link.readExactly(keep.size()), keep) << "no move came between chat and key";
    EXPECT_TRUE(ui(chat).frame_boardfocus->isVisible()) << "the table shows it has the keys";

    press(chat, Qt::Key_G); // not a game key: typed into the chat line
    EXPECT_EQ(chat.focusWidget(), ui(chat).mychat);
    EXPECT_EQ(ui(chat).mychat->text(), "g");
    EXPECT_FALSE(ui(chat).frame_boardfocus->isVisible());
}

TEST_F(KeyboardPlayTest, EnterOverACategoryTheDiceMissAsksFirst) {
    RawSocket link;
    auto game = annRolled(link);
    Tchat& chat = game->chat();
    choose(ui(chat).doubleCheck, true);
    QTest::mouseClick(ui(chat).panel_scorecard->label[13],
                      Qt::LeftButton); // a click on the card gives it the keys
    ASSERT_EQ(chat.focusWidget(), ui(chat).panel_board);
    press(chat, Qt::Key_Up);
    press(chat, Qt::Key_Up); // past Freebie to 5 of a Kind, which 4-1-2-3-6 is not
    press(chat, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return ui(chat).zeroScoreBox != nullptr; }));
    ui(chat).zeroScoreBox->button(QMessageBox::No)->click();
    press(chat, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return ui(chat).zeroScoreBox != nullptr; }));
    ui(chat).zeroScoreBox->button(QMessageBox::Yes)->click();
    const QByteArray scored = "CMD_setscore+2+11" + T;
    EXPECT_EQ(link.readExactly(scored.size()), scored) << "No sent nothing, Yes scored";
}

// The start options take the keys whenever they are asked for (Ctrl+N here,
// from the chat line), also when they are open already: Enter starts, and the
// box under the keys shows a focus mark beside its caption.
TEST_F(KeyboardPlayTest, TheStartOptionsTakeTheKeysSoEnterStarts) {
    auto game = launch({"Ann", "127.0.0.1", "true"});
    Tchat& chat = game->chat();
    QApplication::setActiveWindow(&chat);
    ASSERT_TRUE(waitFor([&] { return chat.isActiveWindow(); }));
    Tgamestartform& options = *game->forms().gamestartform;
    QTest::keyClick(ui(chat).mychat, Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(options.isVisible());
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == options.team; }));
    // The player goes back to the main window and asks again: the options,
    // still open, come to the front with the keys.
    QApplication::setActiveWindow(&chat);
    ui(chat).mychat->setFocus();
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == ui(chat).mychat; }));
    QTest::keyClick(ui(chat).mychat, Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == options.team; }));
    const auto caption = [](TSkinCheckBox* box) {
        const int left = box->boxRect().right() + 2;
        return box->grab().toImage().copy(left, 0, box->width() - left, box->height());
    };
    const QImage marked = caption(options.team);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), options.bonus);
    EXPECT_NE(caption(options.team), marked) << "the focus mark went with the focus";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(options.isVisible());
    ASSERT_TRUE(waitFor([&] { return chat.model().inProgress(); }));
}

// The dice lie scattered: while the board has the keys each one shows its key
// on its corner, wherever it goes; with the keys elsewhere none does.
TEST_F(KeyboardPlayTest, TheDiceShowTheirKeysWhileTheBoardHasThem) {
    RawSocket link;
    auto game = annRolled(link);
    Tchat& chat = game->chat();
    const auto keysShown = [&] {
        int shown = 0;
        for (int die = 1; die <= 5; ++die) {
            QLabel* key = ui(chat).label_dicekey[die];
            if (!key->isVisible())
                continue;
            ++shown;
            EXPECT_EQ(key->text(), QString::number(die));
            EXPECT_TRUE(key->geometry().intersects(ui(chat).dice[die]->geometry())) << die;
            EXPECT_TRUE(ui(chat).dice[die]->geometry().contains(key->geometry().bottomRight()))
                << die;
        }
        return shown;
    };
    EXPECT_EQ(keysShown(), 0) << "the chat line has the keys";
    QTest::keyClick(ui(chat).mychat, Qt::Key_Escape);
    EXPECT_EQ(keysShown(), 5);
    press(chat, Qt::Key_4);
    const QByteArray keep = "CMD_setdice+2+4" + T;
    ASSERT_EQ(link.readExactly(keep.size()), keep);
    ASSERT_TRUE(link.sendAll("CMD_setdice+4" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model().die(4).kept(); }));
    EXPECT_EQ(keysShown(), 5) << "die 4's key went with it into the tray";
    press(chat, Qt::Key_G);
    EXPECT_EQ(keysShown(), 0) << "typing took the keys to the chat line";
    // Not the hosting window: Ctrl+N offers no start.
    QApplication::setActiveWindow(&chat);
    QTest::keyClick(ui(chat).mychat, Qt::Key_N, Qt::ControlModifier);
    EXPECT_FALSE(game->forms().gamestartform->isVisible());
}
