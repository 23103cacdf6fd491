// The player window's session: login, roster, spectators, removal, just
// watch and a full game, against a real host over loopback, offscreen.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "host/ServerForm.h"
#include "net/HostResolver.h"
#include "support/GameWindowTest.h"
#include "windows/SpyListForm.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

class SessionTest : public GameWindowTest {
protected:
    static QColor colourOfLine(Tchat& chat, const QString& line) {
        for (QTextBlock block = ui(chat).mainchat->document()->begin(); block.isValid();
             block = block.next())
            if (block.text() == line) {
                QTextCursor cursor(block);
                cursor.movePosition(QTextCursor::EndOfBlock);
                return cursor.charFormat().foreground().color();
            }
        return {};
    }
};

} // namespace

TEST_F(SessionTest, HostingWindowSeatsItselfAndNewcomersAndThenSleeps) {
    auto game = launch({"Ann", "127.0.0.1", "true"});
    Tchat& chat = game->chat();
    EXPECT_EQ(ui(chat).label_playername[1]->text(), "Ann");
    EXPECT_EQ(ui(chat).label_playername[2]->text(), "<Waiting>");

    auto bob = player("Bob");
    ASSERT_TRUE(waitForLine(chat, "Bob is Connected."));
    EXPECT_EQ(ui(chat).label_playername[2]->text(), "Bob");
    EXPECT_EQ(colourOfLine(chat, "Bob is Connected."), QColor(Qt::blue));
    EXPECT_TRUE(bob->waitFor("CMD_existingplayers+1+Ann"));

    // Nothing to do: the pump must not keep waking up.
    EXPECT_TRUE(waitFor([&] { return !timersActive(chat); }));
}

TEST_F(SessionTest, ChatLinesArriveThroughTheHostInTheirColours) {
    auto game = launch({"Ann", "127.0.0.1", "true"});
    Tchat& chat = game->chat();
    auto bob = player("Bob");
    bob->send("CMD_chat+2+2+2=4|clGreen");
    bob->send("CMD_action+2+waves|$00FF0000");
    ASSERT_TRUE(waitForLine(chat, "Bob waves"));
    EXPECT_EQ(colourOfLine(chat, "Bob chats: 2+2=4"), QColor(0, 0x80, 0));
    EXPECT_EQ(colourOfLine(chat, "Bob waves"), QColor(Qt::blue));
}

TEST_F(SessionTest, SpectatorsAndDeparturesUpdateSeatsAndTheSpyList) {
    auto game = launch({"Ann", "127.0.0.1", "true"});
    Tchat& chat = game->chat();
    QListWidget* spies = game->forms().spylist->listbox_spys;
    auto bob = player("Bob");
    auto cat = player("Cat");
    auto dan = player("Dan");
    auto eve = player("Eve");
    ASSERT_TRUE(waitForLine(chat, "Eve is spying."));
    ASSERT_EQ(spies->count(), 1);
    EXPECT_EQ(spies->item(0)->text(), "5: Eve");

    cat->socket().close();
    ASSERT_TRUE(waitForLine(chat, "Cat disconnected."));
    EXPECT_EQ(ui(chat).label_playername[3]->text(), "Kling");
    EXPECT_EQ(ui(chat).label_score[3]->text(), "0");
    EXPECT_EQ(spies->count(), 1) << "a seat's departure leaves the spy list alone";

    eve->socket().close();
    ASSERT_TRUE(waitForLine(chat, "Eve has left."));
    EXPECT_EQ(colourOfLine(chat, "Eve has left."), QColor(0, 0, 0x80));
    EXPECT_EQ(spies->count(), 0);
}

TEST_F(SessionTest, SpectatorReadsItsOwnSpyingLine) {
    TServer host;
    host.Sock1.setPortName(QString::number(port));
    host.Sock1.setListen(true);
    std::vector<std::unique_ptr<ProtocolClient>> seated;
    for (const char* name : {"Ann", "Bob", "Cat", "Dan"})
        seated.push_back(player(name));
    ASSERT_TRUE(seated.back()->waitFor("CMD_newplayerinfo+4+Dan"));
    auto game = launch({"Eve", "127.0.0.1", "false"});
    Tchat& chat = game->chat();
    ASSERT_TRUE(waitForLine(chat, "You are spying."));
    EXPECT_TRUE(waitForLine(chat, "Dan is Connected."));
    EXPECT_EQ(game->forms().spylist->listbox_spys->item(0)->text(), "5: Eve");
}

TEST_F(SessionTest, OnlyTheHostingWindowOffersAndSendsRemoval) {
    auto game = launch({"Ann", "127.0.0.1", "true"});
    Tchat& chat = game->chat();
    auto bob = player("Bob");
    ASSERT_TRUE(waitForLine(chat, "Bob is Connected."));

    invoke(chat, "label_playername1ContextPopup", 3); // an empty seat
    EXPECT_FALSE(ui(chat).RemoveFromGame1->isEnabled());
    EXPECT_TRUE(ui(chat).SettoJustWatch1->isEnabled());
    invoke(chat, "label_playername1ContextPopup", 2);
    EXPECT_TRUE(ui(chat).RemoveFromGame1->isEnabled());
    ui(chat).RemoveFromGame1->trigger();
    EXPECT_TRUE(bob->closedByHost());
    EXPECT_TRUE(waitForLine(chat, "Bob disconnected."));

    // A window that does not host offers nothing (the session sends nothing
    // either: see the session's own tests).
    auto catGame = std::make_unique<GameApplication>(QStringList{"Cat", "127.0.0.1", "false"});
    catGame->start();
    Tchat& cat = catGame->chat();
    ASSERT_TRUE(waitForLine(cat, "You are Connected."));
    invoke(cat, "label_playername1ContextPopup", 1);
    EXPECT_FALSE(ui(cat).RemoveFromGame1->isEnabled());
    EXPECT_FALSE(ui(cat).SettoJustWatch1->isEnabled());
}

TEST_F(SessionTest, JustWatchMarkFollowsTheHostNotTheClick) {
    auto game = launch({"Ann", "127.0.0.1", "true"});
    Tchat& chat = game->chat();
    ui(chat).JustWatch1->trigger();
    EXPECT_FALSE(ui(chat).JustWatch1->isChecked()) << "no mark before the host's echo";
    ASSERT_TRUE(waitForLine(chat, "Ann is just watching"));
    EXPECT_TRUE(ui(chat).JustWatch1->isChecked());
    EXPECT_FALSE(ui(chat).image_eyes[1]->isHidden());

    ui(chat).JustWatch1->trigger();
    EXPECT_TRUE(ui(chat).JustWatch1->isChecked());
    ASSERT_TRUE(waitForLine(chat, "Ann now playing again"));
    EXPECT_FALSE(ui(chat).JustWatch1->isChecked());
    EXPECT_TRUE(ui(chat).image_eyes[1]->isHidden());

    auto bob = player("Bob");
    ASSERT_TRUE(waitForLine(chat, "Bob is Connected."));
    invoke(chat, "label_playername1ContextPopup", 2);
    ui(chat).SettoJustWatch1->trigger();
    ASSERT_TRUE(waitForLine(chat, "Bob is just watching"));
    EXPECT_FALSE(ui(chat).JustWatch1->isChecked()) << "another seat's report leaves our mark alone";
}

TEST_F(SessionTest, GameIsFullThenTheWindowCloses) {
    TServer host;
    host.Sock1.setPortName(QString::number(port));
    host.Sock1.setListen(true);
    std::vector<std::unique_ptr<ProtocolClient>> nine;
    for (int i = 1; i <= 9; ++i)
        nine.push_back(player("P" + QString::number(i)));
    ASSERT_TRUE(waitFor([&] { return host.connectionCount() == 9; }));

    auto game = launch({"Late", "127.0.0.1", "false"});
    Tchat& chat = game->chat();
    QSignalSpy closed(&chat, &Tchat::closed);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitFor([&] {
        box = chat.findChild<QMessageBox*>();
        return box && box->isVisible();
    }));
    EXPECT_EQ(box->text(), "Game is full");
    EXPECT_EQ(closed.count(), 0) << "the player reads the box before the window goes";
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(waitFor([&] { return closed.count() == 1; }));
}

TEST_F(SessionTest, JoiningByNameLeavesTheWindowWorkingAndClosingItEndsTheLookup) {
    // A resolver that takes 2 s unless the test lets it answer sooner.
    struct Gate {
        std::mutex lock;
        std::condition_variable opened;
        bool open = false;
    };
    auto gate = std::make_shared<Gate>();
    net::setResolver([gate](const QString&) {
        std::unique_lock guard(gate->lock);
        gate->opened.wait_for(guard, std::chrono::seconds(2), [&] { return gate->open; });
        return net::Resolution{{*net::parseAddress(QStringLiteral("127.0.0.1"))}, 0};
    });
    RawSocket host;
    ASSERT_TRUE(host.listenOn("127.0.0.1", port));

    QElapsedTimer clock;
    clock.start();
    auto game = std::make_unique<GameApplication>(QStringList{"Ann", "dice.example", "false"});
    game->start();
    bool fired = false;
    QTimer::singleShot(100, [&] { fired = true; });
    ASSERT_TRUE(waitFor([&] { return fired; }, 1000));
    EXPECT_LT(clock.elapsed(), 1000) << "the window went on while the name was looked up";
    EXPECT_TRUE(game->chat().session().socket().isLookingUp());

    // The windows go at once, with the resolver still busy: nothing waits for it.
    QElapsedTimer closing;
    closing.start();
    game->chat().close();
    game.reset();
    EXPECT_LT(closing.elapsed(), 1000);
    EXPECT_EQ(net::HostLookup::running(), 1);
    {
        std::lock_guard guard(gate->lock);
        gate->open = true;
    }
    gate->opened.notify_all();
    EXPECT_TRUE(waitFor([] { return net::HostLookup::running() == 0; }));
    QCoreApplication::processEvents();
    net::setResolver(nullptr);
    // The first connection the host sees is one made now.
    RawSocket barrier;
    ASSERT_TRUE(barrier.connectTo("127.0.0.1", port));
    ASSERT_TRUE(barrier.sendAll("b"));
    EXPECT_EQ(host.accept().readExactly(1, 2000), "b") << "the closed window never connected";
}
