// What players ran into at the table: Just Watch across games, removal by the
// host, links from other players, seats that never play, and the Expert's
// first turn. Offscreen windows against the real host or one the test plays
// by hand.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "controls/URL.h"
#include "game/StrategyStore.h"
#include "host/ServerForm.h"
#include "support/GameWindowTest.h"
#include "windows/GameStartForm.h"
#include "windows/SpyListForm.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

class TableReportsTest : public GameWindowTest {
protected:
    static bool dimmed(Tchat& chat, int seat) {
        return ui(chat).panel_scorecard->column_idle[seat]->isVisibleTo(&chat);
    }

    // The winner's line as a player reads it, from the totals on the card.
    static QString winnerLine(Tchat& chat, const QString& suffix) {
        const int mine = ui(chat).label_score[1]->text().toInt();
        const int klot = ui(chat).label_score[2]->text().toInt();
        return mine > klot   ? "You have Won the Game!" + suffix
               : klot > mine ? QStringLiteral("Klot has Won the Game!")
                             : "You and Klot have Won the Game!" + suffix;
    }

    static QTextCursor at(Tchat& chat, int block, int position) {
        QTextCursor cursor(ui(chat).mainchat->document()->findBlockByNumber(block));
        cursor.setPosition(cursor.block().position() + position);
        return cursor;
    }
};

} // namespace

// A solo player who chose Just Watch before the start: the computer plays the
// seat for the whole game and the next, and the idle seats 3 and 4 wait.
TEST_F(TableReportsTest, JustWatchChosenBeforeTheStartHoldsAcrossGames) {
    auto game = launch({});
    Tchat& chat = game->chat();
    chat.session().settings().botSpeed = 1;
    ui(chat).JustWatch1->trigger();
    ASSERT_TRUE(waitForLine(chat, "You are just watching"));
    ASSERT_TRUE(ui(chat).JustWatch1->isChecked());

    for (int round = 1; round <= 2; ++round) {
        chat.startgame(false, false);
        ASSERT_TRUE(waitFor([&] { return chat.model().currentSeat() == 1; })) << round;
        EXPECT_TRUE(game->server().players[1].justwatch) << round;
        EXPECT_TRUE(ui(chat).JustWatch1->isChecked()) << round;
        EXPECT_TRUE(ui(chat).image_eyes[1]->isVisibleTo(&chat)) << round;
        EXPECT_EQ(ui(chat).label_playername[3]->text(), "<Waiting>");
        EXPECT_EQ(ui(chat).label_playername[4]->text(), "<Waiting>");
        EXPECT_TRUE(dimmed(chat, 3) && dimmed(chat, 4)) << "seats 3 and 4 take no turns";
        EXPECT_FALSE(dimmed(chat, 1) || dimmed(chat, 2));
        // Nobody clicks: the game ends only if the computer plays seat 1.
        ASSERT_TRUE(waitFor([&] { return ui(chat).label_winner->isVisible(); }, 30000)) << round;
        EXPECT_EQ(ui(chat).label_winner->text(), winnerLine(chat, " (computer played)"));
        EXPECT_EQ(lines(chat).last(), winnerLine(chat, " (computer played)"));
        EXPECT_EQ(ui(chat).label_playername[3]->text(), "<Waiting>") << "still, after the game";
        EXPECT_TRUE(dimmed(chat, 3));
    }
    EXPECT_EQ(ui(chat).mainchat->toPlainText().count("You have started a game."), 2);

    // Playing again: the next game's turns are the player's own.
    ui(chat).JustWatch1->trigger();
    ASSERT_TRUE(waitForLine(chat, "You are now playing again"));
    chat.startgame(false, false);
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    EXPECT_EQ(ui(chat).panel_scorecard->label_turn->text(), "Your Turn.");
    EXPECT_FALSE(ui(chat).image_eyes[1]->isVisibleTo(&chat));
}

// The hosting player removes a seated player and a spectator: each window
// says so and stays open, disconnected; the others hear of a departure.
TEST_F(TableReportsTest, RemovedPlayersAreToldAndTheirWindowsStay) {
    auto host = launch({"Ann", "127.0.0.1", "true"});
    Tchat& ann = host->chat();
    GameApplication bobGame({"Bob", "127.0.0.1", "false"});
    bobGame.start();
    Tchat& bob = bobGame.chat();
    ASSERT_TRUE(waitForLine(bob, "You are Connected."));
    auto cid = player("Cid");
    auto dee = player("Dee");
    GameApplication eveGame({"Eve", "127.0.0.1", "false"});
    eveGame.start();
    Tchat& eve = eveGame.chat();
    ASSERT_TRUE(waitForLine(eve, "You are spying."));
    ASSERT_TRUE(waitForLine(ann, "Eve is spying."));
    QSignalSpy bobClosed(&bob, &Tchat::closed);
    QSignalSpy eveClosed(&eve, &Tchat::closed);
    ann.startgame(false, false);
    ASSERT_TRUE(waitFor([&] { return bob.model().inProgress() && eve.model().inProgress(); }));

    for (Tchat* removed : {&eve, &bob}) {
        ann.kicking(removed->model().ownSeat());
        ASSERT_TRUE(waitForLine(*removed, "You were removed from the game by the host."));
        // The host's close has reached the window: anything it would do
        // about it is done by now.
        ASSERT_TRUE(waitFor([&] { return !removed->session().socket().isOpen(); }));
        QCoreApplication::processEvents();
        EXPECT_FALSE(lines(*removed).contains("The host has closed the game."));
        EXPECT_EQ(removed->findChild<QMessageBox*>(), nullptr);
        EXPECT_EQ(ui(*removed).label_status->text(), "You were removed from the game by the host.");
    }
    EXPECT_TRUE(waitForLine(ann, "Eve has left."));
    EXPECT_TRUE(waitForLine(ann, "Bob disconnected."));
    EXPECT_TRUE(cid->waitFor("CMD_playerdisconnected+2+Bob"));
    EXPECT_EQ(eveClosed.count(), 0);
    EXPECT_EQ(bobClosed.count(), 0);
    EXPECT_TRUE(eve.isVisible() && bob.isVisible());
    EXPECT_EQ(ui(bob).label_playername[2]->text(), "Bob (left)") << "his points stay in the game";
    EXPECT_EQ(eveGame.forms().spylist->listbox_spys->count(), 0);
}

// Only web pages are links; anything else another player types stays text.
// Links are underlined in the link colour, and new lines leave a selection alone.
TEST_F(TableReportsTest, OnlyWebLinksOpenAndLookLikeLinks) {
    QStringList opened;
    controls::setShellOpenHandler([&](const QString& target) {
        opened << target;
        return true;
    });
    auto game = std::make_unique<GameApplication>(QStringList{"Ann"});
    game->start();
    Tchat& chat = game->chat();
    const QString line = "Bob chats: file:///etc/passwd ftp://a.example/x mailto:a@b.example "
                         "https://ok.example/p www.ok.example";
    chat.addlinetochat(line, clBlack);
    const int block = ui(chat).mainchat->document()->blockCount() - 1;
    const auto formatAt = [&](int position) { return at(chat, block, position + 1).charFormat(); };
    for (const QString word : {"file://", "ftp://", "mailto:"}) {
        const int position = int(line.indexOf(word)) + 2;
        QTest::mouseClick(ui(chat).mainchat->viewport(), Qt::LeftButton, {},
                          ui(chat).mainchat->cursorRect(at(chat, block, position)).center());
        EXPECT_FALSE(formatAt(position).fontUnderline()) << word.toStdString();
    }
    const int https = int(line.indexOf("https")) + 2;
    QTest::mouseClick(ui(chat).mainchat->viewport(), Qt::LeftButton, {},
                      ui(chat).mainchat->cursorRect(at(chat, block, https)).center());
    EXPECT_EQ(opened, QStringList{"https://ok.example/p"}) << "the files were not opened";
    controls::setShellOpenHandler(nullptr);
    for (const int position : {https, int(line.indexOf("www.")) + 2}) {
        EXPECT_TRUE(formatAt(position).fontUnderline());
        EXPECT_EQ(formatAt(position).foreground().color(), QColor(0x1a, 0x4f, 0xc4));
    }
    EXPECT_EQ(formatAt(int(line.indexOf("chats"))).foreground().color(), QColor(Qt::black));

    // A selection up to the end of the chat stays as it was when lines come.
    QTextCursor selection = at(chat, block, int(line.indexOf("https")));
    selection.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    ui(chat).mainchat->setTextCursor(selection);
    const QString selected = ui(chat).mainchat->textCursor().selectedText();
    chat.addlinetochat("Cid chats: more", clBlack);
    chat.addlinetochat("Dee chats: and more", clBlack);
    EXPECT_EQ(ui(chat).mainchat->textCursor().selectedText(), selected);
}

// A seat that never plays stays "<Waiting>" and dimmed; one its player left
// keeps his points under his name; a team game plays every seat.
TEST_F(TableReportsTest, IdleSeatsWaitAndDepartedSeatsKeepTheirPlayersName) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tchat& chat = game->chat();
    const QByteArray card = "+1000+1000+1000+1000+1000+1000+1000+25+1000+1000+1000+1000+0+0+25";
    ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T +
                             "CMD_existingplayers+1+Host" + T + "CMD_existingplayers+3+Cid" + T +
                             "CMD_startgame+1+f+false" + T + "CMD_pscore+3+25+8" + card + T +
                             "CMD_playerdisconnected+3+Cid" + T + "CMD_chat+one|clBlack" + T));
    ASSERT_TRUE(waitForLine(chat, "one"));
    EXPECT_EQ(ui(chat).label_playername[4]->text(), "<Waiting>");
    EXPECT_TRUE(dimmed(chat, 4));
    EXPECT_EQ(ui(chat).label_playername[3]->text(), "Cid (left)");
    EXPECT_FALSE(dimmed(chat, 3)) << "Cid's points count";
    EXPECT_EQ(ui(chat).label_score[3]->text(), "25");
    EXPECT_EQ(ui(chat).label_playername[2]->text(), "Ann");
    EXPECT_EQ(ui(chat).label_playername[1]->text(), "Host");

    ASSERT_TRUE(link.sendAll("CMD_startgame+1+f+true" + T + "CMD_nextplayer+3+1+0+0+" + T +
                             "CMD_chat+two|clBlack" + T));
    ASSERT_TRUE(waitForLine(chat, "two"));
    const std::array<QString, 5> names = {"", "Host", "Ann", "Kling", "Klick"};
    for (int seat = 1; seat <= 4; ++seat) {
        EXPECT_EQ(ui(chat).label_playername[seat]->text(), names[seat]) << seat;
        EXPECT_FALSE(dimmed(chat, seat)) << seat;
    }
    EXPECT_EQ(ui(chat).panel_scorecard->label_turn->text(), "Kling's turn.");
}

// Expert players: the tables are worked out from the moment Expert is chosen,
// and the computer's turn says it is thinking while it waits for them.
TEST_F(TableReportsTest, ExpertTablesStartWhenChosenAndTheWaitIsShown) {
    game::StrategyStore& store = game::StrategyStore::shared();
    ASSERT_FALSE(store.started(true)) << "a fresh process";
    auto game = launch({});
    Tchat& chat = game->chat();
    chat.session().settings().botSpeed = 1;
    EXPECT_FALSE(store.started(true));
    ui(chat).ExpertPlayers1->trigger();
    EXPECT_TRUE(store.started(true) && store.started(false));

    chat.startgame(true, false);
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct(); }));
    invoke(chat, "image_throwdiceClick");
    ASSERT_TRUE(waitFor([&] { return chat.session().canAct() && chat.model().rollsMade() == 1; }));
    choose(ui(chat).doubleCheck, false);
    invoke(chat, "score1_1Click", 12);
    ASSERT_TRUE(waitFor([&] { return chat.model().currentSeat() == 2; }));
    if (!store.tables(true)) { // the tables may have been quicker than the first turn
        EXPECT_EQ(ui(chat).panel_scorecard->label_turn->text(), QString("Klot is thinking\u2026"));
    }
    ASSERT_TRUE(waitFor([&] { return store.tables(true) != nullptr; }, 60000));
    EXPECT_TRUE(waitFor([&] {
        return ui(chat).panel_scorecard->label_turn->text() == "Klot's turn." ||
               chat.model().currentSeat() == 1;
    }));
    EXPECT_FALSE(ui(chat).panel_scorecard->label_turn->text().contains("thinking"));
}

// A joining window cannot set what only the host's process reads; over each
// column the turn arrow and the crown keep clear of the just-watching eyes.
TEST_F(TableReportsTest, JoiningWindowGreysHostOptionsAndColumnMarksKeepApart) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tchat& chat = game->chat();
    EXPECT_FALSE(ui(chat).BotSpeed1->isEnabled());
    EXPECT_FALSE(ui(chat).ComputerPlayers1->isEnabled());
    auto host = launch({"Ann", "127.0.0.1", "true"});
    EXPECT_TRUE(ui(host->chat()).BotSpeed1->isEnabled() &&
                ui(host->chat()).ComputerPlayers1->isEnabled());

    TScoreCard& card = *ui(chat).panel_scorecard;
    for (int seat = 1; seat <= 4; ++seat) {
        card.markColumns(1, seat);
        const QRect eyes = ui(chat).image_eyes[seat]->geometry();
        EXPECT_FALSE(card.image_turn->geometry().intersects(eyes)) << seat;
        EXPECT_FALSE(card.image_crown[seat]->geometry().intersects(eyes)) << seat;
        const QRect column(TScoreCard::columnLeft(seat), 0, 45, 100);
        EXPECT_TRUE(column.contains(card.image_turn->geometry())) << seat;
        EXPECT_TRUE(column.contains(eyes) && column.contains(card.image_crown[seat]->geometry()));
    }
}
