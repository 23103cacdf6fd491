// The chat and the settings of the player window, with its own host, offscreen.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "client/ChatLinks.h"
#include "client/WindowBounds.h"
#include "controls/SkinCheckBox.h"
#include "controls/URL.h"
#include "host/ServerForm.h"
#include "platform/IniFile.h"
#include "support/GameWindowTest.h"
#include "windows/GameStartForm.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace testsupport;
using client::findLink;

namespace {

const QByteArray T(1, char(0xFF));

class ChatTest : public GameWindowTest {
protected:
    void SetUp() override {
        GameWindowTest::SetUp();
        controls::setShellOpenHandler([this](const QString& target) {
            opened << target;
            return true;
        });
    }
    void TearDown() override { controls::setShellOpenHandler(nullptr); }

    void writeSettings(const QByteArray& content) {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    // A solo game, logged in as "You" with the settings loaded.
    std::unique_ptr<GameApplication> solo() { return launch({}); }

    static int countLines(Tchat& chat, const QString& line) { return int(lines(chat).count(line)); }
    static void type(Tchat& chat, const QString& text) {
        QTest::keyClicks(ui(chat).mychat, text);
        QTest::keyClick(ui(chat).mychat, Qt::Key_Return);
    }

    QStringList opened;
};

} // namespace

TEST_F(ChatTest, EmptySettingsGiveDefaultsAndTheFirstChangeWritesEveryKey) {
    writeSettings("");
    auto game = solo();
    Tchat& chat = game->chat();
    EXPECT_EQ(ui(chat).mainchat->font().pointSize(), 8);
    EXPECT_TRUE(ui(chat).Normal1->isChecked());
    EXPECT_TRUE(ui(chat).PlaySounds1->isChecked());
    EXPECT_TRUE(ui(chat).doubleCheck->isChecked());
    EXPECT_TRUE(ui(chat).PlayChatterSounds1->isChecked());
    EXPECT_TRUE(ui(chat).Classic1->isChecked());

    ui(chat).doubleCheck->trigger();
    platform::IniFile ini(settingsPath());
    EXPECT_EQ(ini.readString("Dunvex", "Doublecheck", ""), "false");
}

TEST_F(ChatTest, OddValuesFallBackAndAreWrittenBackCleanly) {
    writeSettings("[Dunvex]\nBotspeed=750\nPlaysounds=False\nTextsize=11\nTurnsound=1\n");
    auto game = solo();
    Tchat& chat = game->chat();
    EXPECT_TRUE(ui(chat).Normal1->isChecked());
    EXPECT_TRUE(ui(chat).PlaySounds1->isChecked()) << "only the exact text false is false";
    EXPECT_EQ(ui(chat).mainchat->font().pointSize(), 11);
    for (QAction* item : ui(chat).textSizeItems)
        EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(ui(chat).New1->isChecked());

    ui(chat).Fast1->trigger();
    platform::IniFile ini(settingsPath());
    EXPECT_EQ(ini.readString("Dunvex", "Botspeed", ""), "500");
    EXPECT_EQ(game->server().botspeed(), 500) << "the host paces its players by this window";
}

TEST_F(ChatTest, WordBotSpeedReadsAsNormalAndCancelledActionColourStillSaves) {
    writeSettings("[Dunvex]\nBotspeed=fast\n");
    auto game = solo();
    Tchat& chat = game->chat();
    chat.findChild<QAction*>("ActionColor1")->trigger();
    auto* dialog = chat.findChild<QColorDialog*>("ColorDialog2");
    ASSERT_NE(dialog, nullptr);
    dialog->reject();
    platform::IniFile ini(settingsPath());
    EXPECT_EQ(ini.readString("Dunvex", "Botspeed", ""), "1000");
}

TEST_F(ChatTest, TypedChatAndActionsComeBackThroughTheHost) {
    auto game = solo();
    Tchat& chat = game->chat();
    QTest::keyClick(ui(chat).mychat, Qt::Key_H);
    EXPECT_EQ(ui(chat).mychat->text(), "h") << "the first key replaces the placeholder";
    ui(chat).mychat->clear();
    type(chat, "hello: there");
    ASSERT_TRUE(waitForLine(chat, "You chats: hello: there"));
    EXPECT_TRUE(ui(chat).mychat->text().isEmpty());
    type(chat, "/me waves");
    type(chat, "/quit now");
    EXPECT_TRUE(ui(chat).mychat->text().isEmpty())
        << "unknown commands are dropped, the line cleared";
    type(chat, "/meow");
    ASSERT_TRUE(waitForLine(chat, "You w"));
    EXPECT_TRUE(waitForLine(chat, "You waves"));
    EXPECT_FALSE(ui(chat).mainchat->toPlainText().contains("quit"));

    QTextBlock line = ui(chat).mainchat->document()->findBlock(0);
    while (line.isValid() && line.text() != "You chats: hello: there")
        line = line.next();
    QTextCursor cursor(line);
    cursor.setPosition(line.position() + 10); // inside "chats:"
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
    cursor.setPosition(line.position() + 17); // inside "hello:"
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Normal) << "bold to the first colon only";
}

TEST_F(ChatTest, PhrasesWithCoolDownAndAMeSetting) {
    writeSettings("[Dunvex]\nPhrase3=/me dances\n");
    auto game = solo();
    Tchat& chat = game->chat();
    // The window's timer ticks by hand here: a phrase 100 ticks after the
    // last is lost, not queued; one after the 101st goes.
    ui(chat).b_phrase[1]->click();
    for (int tick = 0; tick < 100; ++tick)
        invoke(chat, "timer_phraseTimer");
    ui(chat).b_phrase[2]->click();
    invoke(chat, "timer_phraseTimer");
    ui(chat).b_phrase[3]->click();
    ASSERT_TRUE(waitForLine(chat, "You says: Way To Go!"));
    ASSERT_TRUE(waitForLine(chat, "You dances")); // sent after the lost one
    EXPECT_EQ(countLines(chat, "You says: Good One!"), 0);
    EXPECT_TRUE(waitFor([&] { return !timersActive(chat); })) << "the timer sleeps again";
}

TEST_F(ChatTest, SavedPlaceAndSizeAreAppliedOnTheNextStart) {
    writeSettings("[Dunvex]\nLeft=41\nTop=52\nWidth=801\nHeight=533\n");
    auto game = solo();
    const QRect saved(41, 52, 801, 533);
    EXPECT_TRUE(waitFor([&] { return client::outerBounds(game->chat()) == saved; }));
}

TEST_F(ChatTest, NothingIsSentBeforeLogin) {
    auto game = std::make_unique<GameApplication>(QStringList{"Ann"});
    game->start();
    Tchat& chat = game->chat();
    ui(chat).mychat->clear();
    type(chat, "hello");
    EXPECT_EQ(ui(chat).mychat->text(), "hello");
    ui(chat).b_phrase[1]->click();
    EXPECT_FALSE(ui(chat).timer_phrase->isActive()) << "no cool-down: the phrase is still ready";
    chat.startgame(true, true); // not connected: nothing happens
}

TEST_F(ChatTest, StartDialogSendsTheChosenGame) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tchat& chat = game->chat();
    ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+1" + T));
    ASSERT_TRUE(waitFor([&] { return chat.session().loggedIn(); }));
    link.readExactly(27); // the login
    Tgamestartform& dialog = *game->forms().gamestartform;
    const QByteArrayList expected = {"CMD_startgame+1+f+false", "CMD_startgame+1+t+false",
                                     "CMD_startgame+1+f+true", "CMD_startgame+1+t+true"};
    for (int choice = 0; choice < 4; ++choice) {
        dialog.show();
        dialog.bonus->setChecked(choice & 1);
        dialog.team->setChecked(choice & 2);
        dialog.button_startClick();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(link.readExactly(expected[choice].size() + 1), expected[choice] + T);
    }
}

TEST_F(ChatTest, LinksAreFoundOpenedAndSelected) {
    EXPECT_FALSE(findLink("http://", 2));
    EXPECT_FALSE(findLink("hello world", 3));
    const auto www = findLink("see www.dunvex.example. now", 6);
    ASSERT_TRUE(www);
    EXPECT_EQ(www->start, 4);
    EXPECT_EQ(www->length, 18) << "the full stop is not part of the link";
    const auto inside = findLink("(xhttp://A.org/x),", 3);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->start, 2);
    EXPECT_EQ(inside->length, 14);
    const auto order = findLink("www.http://x.y", 0);
    ASSERT_TRUE(order);
    EXPECT_EQ(order->start, 4) << "prefixes are tried in their order";
    EXPECT_FALSE(findLink("mailto:!!!", 1));

    auto game = std::make_unique<GameApplication>(QStringList{"Ann"});
    game->start();
    Tchat& chat = game->chat();
    chat.addlinetochat("Ann: visit WWW.Dunvex.Example. today", clBlack);
    const QTextBlock block = ui(chat).mainchat->document()->lastBlock();
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + 14);
    const QPoint onLink = ui(chat).mainchat->cursorRect(cursor).center();
    QTest::mouseMove(ui(chat).mainchat->viewport(), onLink);
    EXPECT_EQ(ui(chat).mainchat->viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(ui(chat).mainchat->viewport(), Qt::LeftButton, {}, onLink);
    EXPECT_EQ(opened, QStringList{"WWW.Dunvex.Example"});
    EXPECT_EQ(ui(chat).mainchat->textCursor().selectedText(), "WWW.Dunvex.Example");
    QTest::mouseClick(ui(chat).mainchat->viewport(), Qt::RightButton, {}, onLink);
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(ChatTest, ScrollChatOffKeepsTheViewAndBothMarksAgree) {
    auto game = std::make_unique<GameApplication>(QStringList{"Ann"});
    game->start();
    Tchat& chat = game->chat();
    for (int i = 0; i < 60; ++i)
        chat.addlinetochat(QString("line %1").arg(i), clBlack);
    QScrollBar* scroll = ui(chat).mainchat->verticalScrollBar();
    EXPECT_EQ(scroll->value(), scroll->maximum());
    ui(chat).ScrollOff1->trigger();
    EXPECT_TRUE(ui(chat).ScrollChatOff1->isChecked());
    scroll->setValue(0);
    chat.addlinetochat("new line", clBlack);
    EXPECT_EQ(scroll->value(), 0);
    ui(chat).ScrollChatOff1->trigger();
    EXPECT_FALSE(ui(chat).ScrollOff1->isChecked());
    chat.addlinetochat("another", clBlack);
    EXPECT_EQ(scroll->value(), scroll->maximum());

    QStringList offered;
    for (QMenu* menu : chat.findChildren<QMenu*>())
        if (menu->title() == "Text Si&ze")
            for (QAction* item : menu->actions())
                offered << item->text();
    EXPECT_EQ(offered, (QStringList{"8", "10", "12", "14"})) << "the text sizes offered";
    ui(chat).textSizeItems[2]->trigger();
    EXPECT_EQ(ui(chat).mainchat->font().pointSize(), 12);
    EXPECT_TRUE(ui(chat).textSizeItems[2]->isChecked());
    EXPECT_FALSE(ui(chat).textSizeItems[0]->isChecked());
}
