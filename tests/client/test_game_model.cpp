// A scripted host's messages show on the board and scorecard, and screen
// readers hear the same (the model itself: test_game_session).
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "support/GameWindowTest.h"

#include <QAccessible>
#include <QLabel>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

QString spoken(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

class GameModelTest : public GameWindowTest {
protected:
    // Sends the script and a chat line after it; once the line shows, every
    // message before it has been handled.
    void play(RawSocket& link, Tchat& chat, const QByteArray& script) {
        static int barriers = 0;
        const QString barrier = QStringLiteral("barrier %1").arg(++barriers);
        ASSERT_TRUE(link.sendAll(script + "CMD_chat+" + barrier.toUtf8() + "|clBlack" + T));
        ASSERT_TRUE(waitForText(chat, barrier));
    }
};

TEST_F(GameModelTest, FollowsTheHostThroughATurnADepartureAndANewcomer) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tchat& chat = game->chat();
    play(link, chat,
         "CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T + "CMD_existingplayers+1+Bob" +
             T + "CMD_newplayerinfo+3+Cid" + T + "CMD_startgame+1+t+false" + T +
             "CMD_setbonusdice+4" + T + "CMD_nextplayer+2+1+0+0+" + T +
             "CMD_thedice+2+y+1+1+4+2+6+3+6+4+1+5+6" + T + "CMD_setdice+1" + T + "CMD_setdice+2" +
             T + "CMD_unsetdice+2" + T +
             "CMD_pscore+2+24+6+1000+1000+1000+1000+1000+24+1000+1000+1000+1000+1000+1000+24+0+"
             "0" +
             T +
             "CMD_pscore+3+12+*+1000+1000+1000+12+1000+1000+1000+1000+1000+1000+1000+1000+12+"
             "0+0" +
             T);

    EXPECT_EQ(ui(chat).dice[1]->x(), 438); // the tray
    EXPECT_EQ(ui(chat).dice[2]->x(), 376); // beside it
    const std::array<QString, 5> names = {"", "Bob", "Ann", "Cid", "<Waiting>"};
    for (int seat = 1; seat <= 4; ++seat)
        EXPECT_EQ(ui(chat).label_playername[seat]->text(), names[seat]);
    EXPECT_EQ(ui(chat).panel_scorecard->score[2][scoring::Sixes]->text(), "24");
    EXPECT_EQ(ui(chat).label_score[2]->text(), "24");

    EXPECT_EQ(spoken(ui(chat).dice[1]), "Die 1, four, kept");
    EXPECT_EQ(spoken(ui(chat).dice[2]), "Die 2, six, put back");
    EXPECT_EQ(spoken(ui(chat).dice[3]), "Die 3, six, on the table");
    EXPECT_EQ(spoken(ui(chat).panel_scorecard->score[2][scoring::Sixes]), "Ann, Sixes, 24");
    // Rolled and free to choose: a free cell also tells what it would score now.
    EXPECT_EQ(spoken(ui(chat).panel_scorecard->score[2][scoring::Fives]),
              "Ann, Fives, not scored, 0 if scored now");
    EXPECT_EQ(spoken(ui(chat).panel_scorecard->label_turn), "Your turn, roll 2 of 3");
    // The skinned roll button is a button a screen reader can press.
    QAccessibleInterface* roll = QAccessible::queryAccessibleInterface(ui(chat).image_throwdice);
    EXPECT_EQ(roll->role(), QAccessible::Button);
    EXPECT_EQ(spoken(ui(chat).b_phrase[1]), "Way To Go!");
    link.readAvailable();
    roll->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(link.readExactly(sizeof("CMD_rolldice+2")), "CMD_rolldice+2" + T);

    // A card cut short changes nothing, not even the total that came first.
    play(link, chat, "CMD_pscore+2+99+1+5+1000" + T);
    EXPECT_EQ(ui(chat).label_score[2]->text(), "24");
    EXPECT_EQ(ui(chat).panel_scorecard->score[2][scoring::Ones]->text(), "");

    // Cid leaves mid-game: the computer plays on with his card and total;
    // Dee takes the seat over as it stands.
    play(link, chat,
         "CMD_playerdisconnected+3+Cid" + T + "CMD_justwatching+1+1" + T +
             "CMD_nextplayer+3+1+12+0+" + T);
    EXPECT_EQ(ui(chat).label_playername[3]->text(), "Cid (left)");
    EXPECT_EQ(ui(chat).label_score[3]->text(), "12");
    EXPECT_TRUE(ui(chat).image_eyes[1]->isVisibleTo(&chat));
    play(link, chat, "CMD_newplayerinfo+3+Dee" + T);
    EXPECT_EQ(ui(chat).panel_scorecard->score[3][scoring::Fours]->text(), "12");
    EXPECT_EQ(ui(chat).panel_scorecard->label_turn->text(), "Dee's turn.");
    EXPECT_EQ(spoken(ui(chat).panel_scorecard->label_turn), "Dee's turn");
    EXPECT_EQ(spoken(ui(chat).label_playername[1]), "Bob, just watching");
}

} // namespace
