#pragma once

#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "support/ChatParts.h"
#include "support/ProtocolClient.h"

#include <QTemporaryDir>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

// Game windows in this process, offscreen, each test with its own port, data
// folder and a lobby port that nothing answers.
class GameWindowTest : public testing::Test {
protected:
    void SetUp() override {
        lobby.listenOn("127.0.0.1", 0);
        qputenv("DUNVEX_PORT", QByteArray::number(port));
        qputenv("DUNVEX_LOBBY_PORT", QByteArray::number(lobby.localPort()));
        qputenv("DUNVEX_HOME", home.path().toLocal8Bit());
    }

    // All the game's windows, launched with these parameters; a window that
    // hosts (or plays solo) is waited for until it has logged in.
    std::unique_ptr<GameApplication> launch(const QStringList& parameters) {
        auto game = std::make_unique<GameApplication>(parameters);
        game->start();
        if (parameters.isEmpty() || parameters.value(2) == QLatin1String("true")) {
            EXPECT_TRUE(waitForLine(game->chat(), "You are Connected."));
        }
        return game;
    }

    // A window of Ann's joined to a host the test plays by hand: `link` is the
    // host's end of Ann's connection.
    std::unique_ptr<GameApplication> joinFakeHost(RawSocket& link) {
        RawSocket fakeHost;
        EXPECT_TRUE(fakeHost.listenOn("127.0.0.1", port));
        auto game = std::make_unique<GameApplication>(QStringList{"Ann", "127.0.0.1", "false"});
        game->start();
        link = fakeHost.accept();
        EXPECT_TRUE(link.isValid());
        return game;
    }

    // A raw player that connects and logs in under this name.
    std::unique_ptr<ProtocolClient> player(const QString& name) {
        auto client = std::make_unique<ProtocolClient>();
        EXPECT_TRUE(client->connectTo(port));
        client->login(client->waitForGreeting(), name);
        return client;
    }

    static QStringList lines(Tchat& chat) {
        return ui(chat).mainchat->toPlainText().split(QLatin1Char('\n'));
    }
    static bool waitForLine(Tchat& chat, const QString& line) {
        return waitFor([&] { return lines(chat).contains(line); });
    }
    static bool waitForText(Tchat& chat, const QString& text) {
        return waitFor([&] { return ui(chat).mainchat->toPlainText().contains(text); });
    }

    QString settingsPath() const { return home.filePath("kelvlobby.ini"); }

    std::uint16_t port = freeTcpPort();
    RawSocket lobby;
    QTemporaryDir home;
};

} // namespace testsupport
