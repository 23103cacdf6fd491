// The player window's launch and close, with its host, in this process.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "client/WindowBounds.h"
#include "host/ServerForm.h"
#include "platform/ExceptionHandler.h"
#include "platform/IniFile.h"
#include "support/ChatParts.h"
#include "support/TestSupport.h"
#include "windows/AboutForm.h"
#include "windows/DownloadForm.h"
#include "windows/HelpForm.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>
#include <QWindow>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// Each test gets its own port, lobby port and data folder.
class ChatFormTest : public testing::Test {
protected:
    void SetUp() override {
        port = freeTcpPort();
        lobby.listenOn("127.0.0.1", 0);
        qputenv("DUNVEX_PORT", QByteArray::number(port));
        qputenv("DUNVEX_LOBBY_PORT", QByteArray::number(lobby.localPort()));
        qputenv("DUNVEX_HOME", home.path().toLocal8Bit());
        platform::setExceptionHandler(
            [this](const std::exception& e) { errors << QString::fromLocal8Bit(e.what()); });
    }
    void TearDown() override { platform::setExceptionHandler(nullptr); }

    std::unique_ptr<GameApplication> launch(const QStringList& parameters) {
        auto game = std::make_unique<GameApplication>(parameters);
        game->start();
        return game;
    }

    QString settingsPath() const { return home.filePath("kelvlobby.ini"); }

    std::uint16_t port = 0;
    RawSocket lobby;
    QTemporaryDir home;
    QStringList errors;
};

} // namespace

TEST_F(ChatFormTest, SoloGameHostsAndConnectsItsOwnWindowAsYou) {
    auto game = launch({});
    Tchat& chat = game->chat();
    ASSERT_TRUE(waitFor([&] { return chat.session().socket().Connected(); }));
    EXPECT_TRUE(waitFor([&] { return game->server().players[1].inuse; }));
    EXPECT_TRUE(game->server().Sock1.Listen());
    EXPECT_EQ(chat.session().socket().HostName(), "127.0.0.1");
    EXPECT_EQ(chat.session().playerName(), "You");
    EXPECT_EQ(chat.session().loginText(), QByteArray("You\xFF"));
    EXPECT_TRUE(chat.session().hosting());
    EXPECT_TRUE(ui(chat).StartGame1->isEnabled());
    EXPECT_TRUE(ui(chat).button_start->isVisible());
    EXPECT_TRUE(game->forms().download->isVisible());
    EXPECT_TRUE(ui(chat).mainchat->toPlainText().startsWith("Loading Solo Game..Please wait."));
    // The launch opens it before the game's own connection is up.
    EXPECT_FALSE(lobby.accept(0).isValid()) << "a solo game opens no presence connection";
    EXPECT_TRUE(errors.isEmpty());
}

// A damaged tally is reported in a box as the game starts; the lobby's offer
// waits for it and then opens, never kept above other windows.
TEST_F(ChatFormTest, TheLobbyOfferOpensOnlyOnceTheMessageBoxOpenAtStartIsClosed) {
    QFile garbage(home.filePath("dunvextally.tld"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a tally");
    garbage.close();
    QMessageBox* box = nullptr;
    platform::setExceptionHandler([&](const std::exception& e) {
        // As the program's own error box: not modal, parented to whatever is active.
        box = new QMessageBox(QMessageBox::Critical, "Dunvex", QString::fromLocal8Bit(e.what()),
                              QMessageBox::Ok, QApplication::activeWindow());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    auto game = launch({});
    Tchat& chat = game->chat();
    QWidget& download = *game->forms().download;
    EXPECT_FALSE(download.windowFlags() & Qt::WindowStaysOnTopHint);
    ASSERT_TRUE(box);
    // The launch has passed the point where the offer would open.
    ASSERT_TRUE(
        waitFor([&] { return chat.session().socket().Connected() && chat.session().hosting(); }));
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(download.isVisible());

    box->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(waitFor([&] { return download.isVisible(); }));
    ASSERT_TRUE(download.windowHandle());
    EXPECT_EQ(download.windowHandle()->transientParent(), chat.windowHandle());
}

TEST_F(ChatFormTest, ChatLinesAreBoldUpToTheFirstColonInTheirColour) {
    auto game = launch({QStringLiteral("Ann")});
    Tchat& chat = game->chat();
    chat.addlinetochat(QStringLiteral("Ann: hello: there"), clGreen);
    QTextCursor cursor(ui(chat).mainchat->document()->lastBlock());
    cursor.movePosition(QTextCursor::NextCharacter);
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(0, 0x80, 0));
    cursor.movePosition(QTextCursor::EndOfBlock);
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Normal);
    EXPECT_EQ(ui(chat).mainchat->document()->lastBlock().text(), "Ann: hello: there");
}

TEST_F(ChatFormTest, HostModeConnectsToLoopbackAndOpensThePresenceConnection) {
    auto game =
        launch({QStringLiteral("Ann"), QStringLiteral("127.0.0.2"), QStringLiteral("true")});
    Tchat& chat = game->chat();
    ASSERT_TRUE(waitFor([&] { return chat.session().socket().Connected(); }));
    EXPECT_EQ(chat.session().socket().HostName(), "127.0.0.1");
    EXPECT_EQ(chat.session().playerName(), "Ann");
    EXPECT_EQ(chat.session().hostAddress(), "127.0.0.2");
    EXPECT_TRUE(chat.session().hosting());
    EXPECT_TRUE(lobby.accept().isValid());
    EXPECT_FALSE(game->forms().download->isVisible());
    EXPECT_TRUE(
        ui(chat).mainchat->toPlainText().startsWith("Loading Multi-player Game.. Please Wait."));
}

TEST_F(ChatFormTest, JoinModeConnectsToTheGivenHostAndDoesNotListen) {
    RawSocket remoteHost;
    ASSERT_TRUE(remoteHost.listenOn("127.0.0.2", port));
    auto game = launch({QStringLiteral("Ann"), QStringLiteral("127.0.0.2"), QStringLiteral("True"),
                        QStringLiteral("ignored")});
    Tchat& chat = game->chat();
    EXPECT_TRUE(remoteHost.accept().isValid());
    ASSERT_TRUE(waitFor([&] { return chat.session().socket().Connected(); }));
    EXPECT_FALSE(game->server().Sock1.Listen());
    EXPECT_FALSE(chat.session().hosting());
    EXPECT_FALSE(ui(chat).StartGame1->isEnabled());
    EXPECT_FALSE(ui(chat).button_start->isVisible());
    EXPECT_EQ(chat.session().loginText(), QByteArray("Ann\xFF"));
}

TEST_F(ChatFormTest, OneOrTwoParametersLeaveTheWindowIdle) {
    for (const QStringList& parameters : {QStringList{"Ann"}, QStringList{"Ann", "127.0.0.1"}}) {
        auto game = launch(parameters);
        Tchat& chat = game->chat();
        ASSERT_TRUE(waitFor([&] { return !ui(chat).mainchat->toPlainText().isEmpty(); }));
        EXPECT_EQ(ui(chat).mainchat->toPlainText(), "Loading Multi-player Game.. Please Wait.");
        EXPECT_FALSE(chat.session().socket().isOpen());
        EXPECT_FALSE(game->server().Sock1.Listen());
        EXPECT_TRUE(chat.session().loginText().isEmpty());
        EXPECT_FALSE(lobby.accept(0).isValid()) << "it would be opened with the first line";
    }
}

TEST_F(ChatFormTest, TakenPortShowsTheListenErrorAndStopsTheLaunch) {
    RawSocket holder;
    ASSERT_TRUE(holder.listenOn("0.0.0.0", port));
    auto game = launch({});
    Tchat& chat = game->chat();
    ASSERT_TRUE(waitFor([&] { return !errors.isEmpty(); }));
    EXPECT_EQ(errors, QStringList{"Listen - Error Binding Socket"});
    EXPECT_FALSE(chat.session().socket().isOpen());
    EXPECT_TRUE(chat.session().loginText().isEmpty());
    EXPECT_FALSE(ui(chat).StartGame1->isEnabled());
    EXPECT_TRUE(chat.isVisible()) << "the window stays open and idle";
}

TEST_F(ChatFormTest, LosingTheConnectionClosesTheWindowAndSavesItsBounds) {
    platform::IniFile other(settingsPath());
    other.writeString("Lobby", "Nick", "Ann");
    ASSERT_TRUE(other.save());

    auto game = launch({});
    Tchat& chat = game->chat();
    QSignalSpy closed(&chat, &Tchat::closed);
    ASSERT_TRUE(waitFor([&] { return game->server().players[1].inuse; }));
    game->server().players[1].connection->Close();
    ASSERT_TRUE(waitFor([&] { return closed.count() == 1; }));
    EXPECT_FALSE(chat.isVisible());

    platform::IniFile saved(settingsPath());
    const QRect bounds = client::outerBounds(chat);
    EXPECT_EQ(saved.readInteger("Dunvex", "Left", -1), bounds.left());
    EXPECT_EQ(saved.readInteger("Dunvex", "Top", -1), bounds.top());
    EXPECT_EQ(saved.readInteger("Dunvex", "Width", -1), bounds.width());
    EXPECT_EQ(saved.readInteger("Dunvex", "Height", -1), bounds.height());
    EXPECT_EQ(saved.readString("Lobby", "Nick", ""), "Ann");
}

TEST_F(ChatFormTest, ClosingWithoutMovingWritesNothing) {
    // Seated, the window takes the place the settings give (here the defaults).
    auto game =
        launch({QStringLiteral("Ann"), QStringLiteral("127.0.0.1"), QStringLiteral("true")});
    Tchat& chat = game->chat();
    ASSERT_TRUE(waitFor([&] { return client::outerBounds(chat) == client::DefaultWindowBounds; }));
    QSignalSpy closed(&chat, &Tchat::closed);
    ui(chat).Exit1->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(QFile::exists(settingsPath()));
}

TEST_F(ChatFormTest, SideWindowsOpenCentredOnTheMainWindow) {
    auto game = launch({QStringLiteral("Ann")});
    Tchat& chat = game->chat();
    chat.move(200, 150);
    ui(chat).Help2->trigger();
    QWidget& help = *game->forms().help;
    ASSERT_TRUE(help.isVisible());
    const QPoint offset = help.frameGeometry().center() - chat.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
    ui(chat).About1->trigger();
    EXPECT_TRUE(game->forms().about->isVisible());
}
