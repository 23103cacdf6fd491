// Both kinds of computer player inside the real host, watched by a raw player
// in seat 1 the way any window sees them.
#include "host/ServerForm.h"
#include "support/DiceHostTest.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class ComputerSkillTest : public DiceHostTest {
protected:
    void SetUp() override {
        startHost(4242);
        ASSERT_TRUE(ann.connectTo(port));
        ASSERT_EQ(ann.waitForGreeting(), 1);
        ann.login(1, QStringLiteral("Ann"));
        ASSERT_TRUE(ann.waitFor("CMD_newplayerinfo+1+Ann"));
        ann.clear();
    }

    // A regular game in which Ann just watches: the computer plays seats 1
    // and 2, stepped by calling the timer handlers as the timers would.
    bool playWatchedGame(std::uint32_t seed) {
        TRandomGenerator::shared().seed(seed);
        server.startgame(QStringLiteral("1+f+false"));
        server.justwatch(1, QStringLiteral("1+1"));
        while (server.gameinprogress) {
            if (server.Timer1.isActive())
                server.Timer1Timer();
            else if (server.timer_pauser.isActive())
                server.timer_pauserTimer();
            else
                return false;
        }
        return ann.waitForPrefix("CMD_winner+").size() > 0;
    }

    ProtocolClient ann;
};

} // namespace

// The transcript was recorded from the design's player before the Expert
// existed; the Classic player must still say exactly the same.
TEST_F(ComputerSkillTest, ClassicPlayerSaysTheSameMessageForMessage) {
    ASSERT_TRUE(playWatchedGame(777));
    const QByteArray transcript = ann.messages().join('\n') + '\n';
    QFile fixture(QStringLiteral(DUNVEX_TEST_DATA_DIR "/classic_solo_transcript.txt"));
    if (qEnvironmentVariableIsSet("DUNVEX_RECORD")) {
        ASSERT_TRUE(fixture.open(QIODevice::WriteOnly));
        fixture.write(transcript);
        return;
    }
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    EXPECT_EQ(transcript, fixture.readAll());
}
