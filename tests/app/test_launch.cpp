// The real dunvex program, started as child processes, headless, on loopback.
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class LaunchTest : public testing::Test {
protected:
    std::unique_ptr<ChildProgram> game(const QString& instance = QString()) {
        return std::make_unique<ChildProgram>(
            gameProgram(), port, instance.isEmpty() ? this->instance : instance, home.path());
    }

    std::uint16_t port = freeTcpPort();
    QString instance = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QTemporaryDir home;
};

} // namespace

TEST_F(LaunchTest, NoParametersStartsASoloHostAndLogsInAsYou) {
    auto solo = game();
    solo->start();
    ASSERT_TRUE(solo->waitForOutput("launch mode: solo")) << solo->output().toStdString();
    EXPECT_TRUE(solo->waitForOutput("dunvex.host: slot 1 taken by 127.0.0.1"));
    EXPECT_TRUE(solo->waitForOutput("Non-Blocking Socket Connected"));
    EXPECT_TRUE(solo->hasOutput("Loading Solo Game..Please wait."));

    RawSocket visitor;
    ASSERT_TRUE(visitor.connectTo("127.0.0.1", port)) << "the solo host listens";
    EXPECT_TRUE(solo->waitForOutput("slot 2 taken"));
    EXPECT_TRUE(solo->isRunning());
}

TEST_F(LaunchTest, HostModeListensAndConnectsItsWindowToLoopback) {
    RawSocket lobby;
    ASSERT_TRUE(lobby.listenOn("127.0.0.1", 0));
    auto host = game();
    host->setEnvironment("DUNVEX_LOBBY_PORT", QString::number(lobby.localPort()));
    host->start({"Ann", "127.0.0.2", "true"});
    ASSERT_TRUE(host->waitForOutput("launch mode: host")) << host->output().toStdString();
    EXPECT_TRUE(host->waitForOutput("slot 1 taken by 127.0.0.1"));
    EXPECT_TRUE(host->hasOutput("Lookup Of Host 127.0.0.1"));
    EXPECT_FALSE(host->hasOutput("Lookup Of Host 127.0.0.2"));
    EXPECT_TRUE(lobby.accept().isValid()) << "the presence connection reaches the lobby port";
}

TEST_F(LaunchTest, CapitalTrueJoinsTheGivenHostInstead) {
    RawSocket remoteHost;
    ASSERT_TRUE(remoteHost.listenOn("127.0.0.2", port));
    auto player = game();
    player->start({"Ann", "127.0.0.2", "True"});
    RawSocket connection = remoteHost.accept(10000);
    EXPECT_TRUE(connection.isValid()) << player->output().toStdString();
    EXPECT_TRUE(player->waitForOutput("launch mode: join"));
    EXPECT_TRUE(player->hasOutput("Lookup Of Host 127.0.0.2"));
    EXPECT_FALSE(player->hasOutput("slot 1 taken"));
}

TEST_F(LaunchTest, FalseWithAFourthWordJoinsAndIgnoresTheRest) {
    RawSocket remoteHost;
    ASSERT_TRUE(remoteHost.listenOn("127.0.0.2", port));
    auto player = game();
    player->start({"Ann", "127.0.0.2", "false", "extra"});
    EXPECT_TRUE(remoteHost.accept(10000).isValid()) << player->output().toStdString();
    EXPECT_TRUE(player->waitForOutput("launch mode: join"));
}

TEST_F(LaunchTest, OneParameterLeavesTheProgramIdle) {
    auto idle = game();
    idle->start({"Ann"});
    ASSERT_TRUE(idle->waitForOutput("launch mode: idle")) << idle->output().toStdString();
    EXPECT_TRUE(idle->hasOutput("Loading Multi-player Game.. Please Wait."));
    RawSocket probe;
    EXPECT_FALSE(probe.connectTo("127.0.0.1", port)) << "nothing listens";
    EXPECT_FALSE(idle->hasOutput("sock info"));
    EXPECT_TRUE(idle->isRunning());
}

TEST_F(LaunchTest, SecondStartExitsAtOnceAndRaisesTheFirst) {
    auto first = game();
    first->start();
    ASSERT_TRUE(first->waitForOutput("Non-Blocking Socket Connected"))
        << first->output().toStdString();

    auto second = game();
    second->start();
    ASSERT_TRUE(second->waitForExit(10000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(second->hasOutput("launch mode"));
    EXPECT_TRUE(first->waitForOutput("activated by a second start"));
    EXPECT_TRUE(first->isRunning());

    // A game under another instance key is a separate program.
    auto other = game(instance + "-other");
    other->start({"Bob"});
    EXPECT_TRUE(other->waitForOutput("launch mode: idle")) << other->output().toStdString();
}

TEST_F(LaunchTest, EndingTheHostIsExplainedToAConnectedPlayer) {
    auto host = game();
    host->start({"Ann", "127.0.0.1", "true"});
    ASSERT_TRUE(host->waitForOutput("slot 1 taken")) << host->output().toStdString();

    auto player = game(instance + "-player");
    player->start({"Bob", "127.0.0.1", "false"});
    ASSERT_TRUE(player->waitForOutput("Non-Blocking Socket Connected"))
        << player->output().toStdString();
    ASSERT_TRUE(host->waitForOutput("slot 2 taken"));

    host->kill();
    EXPECT_TRUE(player->waitForOutput("The host has closed the game."))
        << player->output().toStdString();
    EXPECT_TRUE(player->hasOutput("Socket Closed"));
    EXPECT_TRUE(player->isRunning()) << "the window waits until the player has read why";
}

TEST_F(LaunchTest, TakenPortShowsTheErrorAndKeepsTheWindowOpen) {
    RawSocket holder;
    ASSERT_TRUE(holder.listenOn("0.0.0.0", port));
    auto solo = game();
    solo->start();
    ASSERT_TRUE(solo->waitForOutput("error box: Listen - Error Binding Socket"))
        << solo->output().toStdString();
    EXPECT_FALSE(solo->hasOutput("Non-Blocking Socket Connected"));
    EXPECT_TRUE(solo->isRunning());
}

TEST_F(LaunchTest, WindowsJoinOverIpv6AndByName) {
    if (!ipv6LoopbackWorks())
        GTEST_SKIP() << "IPv6 is not available on this machine (cannot listen on ::1)";
    auto host = game();
    host->start({"Ann", "127.0.0.1", "true"});
    ASSERT_TRUE(host->waitForOutput("slot 1 taken by 127.0.0.1")) << host->output().toStdString();

    auto six = game(instance + "-six");
    six->start({"Bob", "[::1]", "false"});
    EXPECT_TRUE(host->waitForOutput("slot 2 taken by ::1")) << six->output().toStdString();
    EXPECT_TRUE(six->waitForOutput("You are Connected.")) << six->output().toStdString();
    EXPECT_TRUE(six->hasOutput("Lookup Of Host [::1]"));

    auto named = game(instance + "-named");
    named->start({"Cy", "localhost", "false"});
    EXPECT_TRUE(host->waitForOutput("slot 3 taken by")) << named->output().toStdString();
    EXPECT_TRUE(named->waitForOutput("You are Connected.")) << named->output().toStdString();
    EXPECT_TRUE(named->hasOutput("Lookup Of Host localhost"));
}
