// What a new player runs into: double presses, refusals, watching the own
// seat, the start options, links, the host's end, leaving, the
// chat's text size and where side windows open. Offscreen windows against a
// host the test plays by hand, or a real one.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "controls/URL.h"
#include "support/GameWindowTest.h"
#include "windows/DownloadForm.h"
#include "windows/GameStartForm.h"
#include "windows/SpyListForm.h"
#include "windows/TallyListForm.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));
const QByteArray After = "CMD_chat+2+after|clBlack" + T;

class PlayerFixesTest : public GameWindowTest {
protected:
    // Ann logged in as seat 2 of a game the fake host has started, on her turn.
    std::unique_ptr<GameApplication> annOnTurn(RawSocket& link) {
        auto game = joinFakeHost(link);
        Tchat& chat = game->chat();
        EXPECT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T +
                                 "CMD_existingplayers+1+Host" + T + "CMD_startgame+1+f+false" + T +
                                 "CMD_nextplayer+2+1+0+0+" + T));
        EXPECT_TRUE(waitFor([&] { return chat.session().canAct(); }));
        link.readExactly(27); // the login
        return game;
    }

    // Chat typed in the window reaches the host after anything sent before it:
    // the next message the host reads.
    static QByteArray barrier(Tchat& chat, RawSocket& link) {
        ui(chat).mychat->setText("after");
        QTest::keyClick(ui(chat).mychat, Qt::Key_Return);
        return link.readExactly(After.size());
    }

    // A press or release as the window system reports it, at a given time:
    // two presses close in time make a double click.
    static void mouse(QWidget* widget, QEvent::Type type, int timestamp) {
        QWidget* window = widget->window();
        const QPointF local = widget->mapTo(window, widget->rect().center());
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        qt_handleMouseEvent(window->windowHandle(), local, window->mapToGlobal(local), held,
                            Qt::LeftButton, type, {}, timestamp);
    }

    // The first click of a double click; the host may answer before the second.
    int firstClick(QWidget* widget) {
        const int at = QTest::lastMouseTimestamp + 1000;
        mouse(widget, QEvent::MouseButtonPress, at);
        mouse(widget, QEvent::MouseButtonRelease, at + 10);
        return at;
    }
    // The second click, `gap` ms after the first began.
    void secondClick(QWidget* widget, int first, int gap) {
        mouse(widget, QEvent::MouseButtonPress, first + gap);
        mouse(widget, QEvent::MouseButtonRelease, first + gap + 10);
        QTest::lastMouseTimestamp = first + gap + 1000;
    }

    static QMessageBox* openBox(Tchat& chat) {
        QMessageBox* box = nullptr;
        waitFor([&] {
            box = chat.findChild<QMessageBox*>();
            return box && box->isVisible();
        });
        return box;
    }

    static int centreOffset(const QWidget& side, const QWidget& main) {
        return (side.frameGeometry().center() - main.frameGeometry().center()).manhattanLength();
    }
};

} // namespace

TEST_F(PlayerFixesTest, DoubleClickRollsOnceAndChoosesOnce) {
    RawSocket link;
    auto game = annOnTurn(link);
    Tchat& chat = game->chat();

    int first = firstClick(ui(chat).image_throwdice);
    ASSERT_EQ(link.readExactly(15), "CMD_rolldice+2" + T);
    ASSERT_TRUE(link.sendAll("CMD_thedice+2+y+1+1+1+2+2+3+3+4+4+5+6" + T));
    ASSERT_TRUE(
        waitFor([&] { return chat.session().canAct() && ui(chat).image_throwdice->isVisible(); }));
    secondClick(ui(chat).image_throwdice, first, 90);
    EXPECT_EQ(barrier(chat, link), After);

    first = firstClick(ui(chat).panel_scorecard->label[1]);
    ASSERT_EQ(link.readExactly(17), "CMD_setscore+2+1" + T);
    ASSERT_TRUE(link.sendAll("CMD_chooseagain+" + T));
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    secondClick(ui(chat).panel_scorecard->label[1], first, 90);
    EXPECT_EQ(barrier(chat, link), After);
}

TEST_F(PlayerFixesTest, RefusedChoiceGivesTheRollButtonBackWhileRollsAreLeft) {
    RawSocket link;
    auto game = annOnTurn(link);
    Tchat& chat = game->chat();
    QTest::mouseClick(ui(chat).image_throwdice, Qt::LeftButton);
    ASSERT_TRUE(link.sendAll("CMD_thedice+2+y+2+1+1+2+2+3+3+4+4+5+6" + T));
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    QTest::mouseClick(ui(chat).panel_scorecard->label[1], Qt::LeftButton);
    EXPECT_FALSE(ui(chat).image_throwdice->isVisible());
    ASSERT_TRUE(link.sendAll("CMD_chooseagain+" + T));
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    EXPECT_EQ(ui(chat).label_status->text(), "Invalid Choice, Choose Again!");
    EXPECT_TRUE(ui(chat).image_throwdice->isVisible()) << "the third roll is still there";

    QTest::mouseClick(ui(chat).image_throwdice, Qt::LeftButton);
    ASSERT_TRUE(link.sendAll("CMD_thedice+2+n+3+1+2" + T));
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    QTest::mouseClick(ui(chat).panel_scorecard->label[2],
                      Qt::LeftButton); // the dice show a two: no zero question
    const QByteArray sent = "CMD_rolldice+2" + T + "CMD_setscore+2+1" + T + "CMD_rolldice+2" + T +
                            "CMD_setscore+2+2" + T;
    ASSERT_EQ(link.readExactly(sent.size()), sent);
    ASSERT_TRUE(link.sendAll("CMD_chooseagain+" + T));
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    EXPECT_FALSE(ui(chat).image_throwdice->isVisible()) << "no rolls left";
}

TEST_F(PlayerFixesTest, WatchingTheOwnSeatIsAnotherSeatsTurn) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tchat& chat = game->chat();
    ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T +
                             "CMD_startgame+1+f+false" + T + "CMD_justwatching+2+1" + T +
                             "CMD_nextplayer+2+1+0+0+" + T +
                             "CMD_thedice+2+y+1+1+1+2+2+3+3+4+4+5+6" + T));
    ASSERT_TRUE(waitFor([&] { return ui(chat).panel_scorecard->image_rolls[1]->isVisible(); }));
    link.readExactly(27); // the login
    EXPECT_EQ(ui(chat).panel_scorecard->label_turn->text(), "Ann's turn (computer plays).");
    EXPECT_FALSE(ui(chat).image_throwdice->isVisible());
    QTest::mouseClick(ui(chat).dice[1], Qt::LeftButton);
    QTest::mouseClick(ui(chat).panel_scorecard->label[1], Qt::LeftButton);
    QTest::mouseClick(ui(chat).image_throwdice, Qt::LeftButton);
    EXPECT_EQ(barrier(chat, link), After);

    // Playing again takes the turn back where the computer left it.
    ASSERT_TRUE(link.sendAll("CMD_justwatching+2+2" + T));
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    EXPECT_EQ(ui(chat).panel_scorecard->label_turn->text(), "Your Turn.");
    EXPECT_TRUE(ui(chat).image_throwdice->isVisible());
}

TEST_F(PlayerFixesTest, ClosingTheStartOptionsGivesTheStartButtonBack) {
    auto game = launch({"Ann", "127.0.0.1", "true"});
    Tchat& chat = game->chat();
    Tgamestartform& options = *game->forms().gamestartform;
    QTest::mouseClick(ui(chat).button_start, Qt::LeftButton);
    ASSERT_TRUE(options.isVisible());
    EXPECT_FALSE(ui(chat).button_start->isVisible());
    options.close(); // by the frame
    EXPECT_TRUE(ui(chat).button_start->isVisible());

    QTest::mouseClick(ui(chat).button_start, Qt::LeftButton);
    QTest::keyClick(&options, Qt::Key_Escape);
    EXPECT_FALSE(options.isVisible());
    EXPECT_TRUE(ui(chat).button_start->isVisible());

    QTest::mouseClick(ui(chat).button_start, Qt::LeftButton);
    QTest::mouseClick(options.button_start, Qt::LeftButton);
    ASSERT_TRUE(waitForText(chat, "Ann has started a game."));
    EXPECT_FALSE(ui(chat).button_start->isVisible()) << "started: no start button during the game";
}

TEST_F(PlayerFixesTest, SecureLinkOpensAsWritten) {
    QStringList opened;
    controls::setShellOpenHandler([&](const QString& target) {
        opened << target;
        return true;
    });
    auto game = std::make_unique<GameApplication>(QStringList{"Ann"});
    game->start();
    Tchat& chat = game->chat();
    chat.addlinetochat("Bob chats: see https://www.Example.org/Page. now", clBlack);
    const QTextBlock block = ui(chat).mainchat->document()->lastBlock();
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + 17); // inside "https"
    QTest::mouseClick(ui(chat).mainchat->viewport(), Qt::LeftButton, {},
                      ui(chat).mainchat->cursorRect(cursor).center());
    controls::setShellOpenHandler(nullptr);
    EXPECT_EQ(opened, QStringList{"https://www.Example.org/Page"});
}

TEST_F(PlayerFixesTest, HostGoneIsExplainedBeforeTheWindowCloses) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tchat& chat = game->chat();
    QSignalSpy closed(&chat, &Tchat::closed);
    ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_startgame+1+f+false" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model().inProgress(); }));
    link.close();
    QMessageBox* box = openBox(chat);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "The host has closed the game.");
    EXPECT_EQ(lines(chat).last(), "The host has closed the game.");
    EXPECT_EQ(closed.count(), 0) << "the player reads why first";
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(waitFor([&] { return closed.count() == 1; })) << "no question: the game is over";
}

TEST_F(PlayerFixesTest, LeavingARunningGameAsksFirst) {
    RawSocket link;
    auto game = annOnTurn(link);
    Tchat& chat = game->chat();
    QSignalSpy closed(&chat, &Tchat::closed);
    chat.close();
    QMessageBox* box = openBox(chat);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Leave the game in progress?");
    box->button(QMessageBox::No)->click();
    EXPECT_TRUE(chat.isVisible());
    EXPECT_EQ(closed.count(), 0);

    ui(chat).Exit1->trigger();
    box = openBox(chat);
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Yes)->click();
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(PlayerFixesTest, HostingWindowSaysTheGameEndsForEveryone) {
    auto game = launch({});
    Tchat& chat = game->chat();
    chat.startgame(false, false);
    ASSERT_TRUE(waitFor([&] { return chat.model().inProgress(); }));
    QSignalSpy closed(&chat, &Tchat::closed);
    chat.close();
    QMessageBox* box = openBox(chat);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Leave the game in progress? The game ends for everyone.");
    box->button(QMessageBox::Yes)->click();
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(PlayerFixesTest, TextSizeChangeKeepsTheNewestLinesInView) {
    auto game = std::make_unique<GameApplication>(QStringList{"Ann"});
    game->start();
    Tchat& chat = game->chat();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chat));
    for (int i = 0; i < 300; ++i)
        chat.addlinetochat(QString("line %1").arg(i), clBlack);
    const auto newestInView = [&] {
        const QTextCursor newest(ui(chat).mainchat->document()->lastBlock());
        return ui(chat).mainchat->viewport()->rect().contains(
            ui(chat).mainchat->cursorRect(newest));
    };
    ASSERT_TRUE(waitFor(newestInView));
    ui(chat).textSizeItems[3]->trigger(); // 14
    ASSERT_EQ(ui(chat).mainchat->font().pointSize(), 14);
    EXPECT_TRUE(waitFor(newestInView));
}

TEST_F(PlayerFixesTest, SideWindowsOpenCentredOnThePlayerWindow) {
    QFile settings(settingsPath());
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Dunvex]\nLeft=300\nTop=200\n");
    settings.close();
    auto game = launch({});
    Tchat& chat = game->chat();
    ASSERT_EQ(chat.frameGeometry().topLeft(), QPoint(300, 200));
    EXPECT_LE(centreOffset(*game->forms().download, chat), 2) << "the solo start-up panel";
    ui(chat).ViewTally1->trigger();
    EXPECT_LE(centreOffset(*game->forms().tallylist, chat), 2);
    ui(chat).SpyList1->trigger();
    EXPECT_LE(centreOffset(*game->forms().spylist, chat), 2);
}
