// The game's sounds: the resources carried in the program, the two switches,
// the turn sound and the chatter sounds sent through the host (who may send
// them: test_game_session).
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "platform/SoundPlayer.h"
#include "support/GameWindowTest.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

QStringList soundNames() {
    QStringList names = {"dice",    "dice2",  "entered", "error", "fivekind", "gameover",
                         "noscore", "scored", "setdice", "turn",  "turnnew",  "unsetdice"};
    for (int n = 1; n <= 20; ++n)
        names << QStringLiteral("wave%1").arg(n);
    return names;
}

class SoundTest : public GameWindowTest {
protected:
    std::unique_ptr<GameApplication> hostingWindow() {
        return launch({"Ann", "127.0.0.1", "true"});
    }
};

} // namespace

TEST(SoundResources, AllThirtyTwoArePcmWavesOfSensibleLengthAndSmallTogether) {
    qint64 total = 0;
    for (const QString& name : soundNames()) {
        QFile file(":/sounds/" + name + ".wav");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray wav = file.readAll();
        total += wav.size();
        ASSERT_GE(wav.size(), 44) << name.toStdString();
        EXPECT_EQ(wav.left(4), "RIFF");
        EXPECT_EQ(wav.mid(8, 4), "WAVE");
        EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 20), 1)
            << "PCM " << name.toStdString();
        const auto byteRate = qFromLittleEndian<quint32>(wav.constData() + 28);
        const double seconds = double(wav.size() - 44) / byteRate;
        EXPECT_GT(seconds, 0.08) << name.toStdString();
        EXPECT_LT(seconds, 5.0) << name.toStdString();
    }
    EXPECT_LT(total, 2 * 1024 * 1024);
    platform::SoundPlayer player;
    EXPECT_TRUE(player.hasSound("DICE")) << "names match without regard to case";
    EXPECT_FALSE(player.hasSound("wave21"));
}

TEST_F(SoundTest, GameSoundsFollowPlaySounds) {
    auto game = hostingWindow();
    Tchat& chat = game->chat();
    QSignalSpy played(ui(chat).sounds, &platform::SoundPlayer::played);
    auto bob = player("Bob");
    ASSERT_TRUE(waitForText(chat, "Bob is Connected."));
    EXPECT_EQ(played.count(), 1);
    EXPECT_EQ(played.takeFirst().first().toString(), "entered");

    ui(chat).PlaySounds1->trigger();
    EXPECT_FALSE(ui(chat).PlaySounds1->isChecked());
    auto cat = player("Cat");
    ASSERT_TRUE(waitForText(chat, "Cat is Connected."));
    EXPECT_EQ(played.count(), 0) << "game sounds are off";

    bob->send("CMD_playasound+2+wave5+");
    ASSERT_TRUE(waitFor([&] { return played.count() == 1; }));
    EXPECT_EQ(played.first().first().toString(), "wave5") << "chatter is heard all the same";
    EXPECT_FALSE(ui(chat).mainchat->toPlainText().contains("<Chatter Sound>"));
}

TEST_F(SoundTest, ChatterSwitchedOffIsNamedInTheChat) {
    auto game = hostingWindow();
    Tchat& chat = game->chat();
    ui(chat).PlayChatterSounds1->trigger();
    ASSERT_FALSE(ui(chat).PlayChatterSounds1->isChecked());
    QSignalSpy played(ui(chat).sounds, &platform::SoundPlayer::played);
    auto bob = player("Bob");
    ASSERT_TRUE(waitForText(chat, "Bob is Connected."));
    played.clear();
    bob->send("CMD_playasound+2+wave99+");
    bob->send("CMD_playasound+2+wave5+");
    ASSERT_TRUE(waitForText(chat, "Bob: <Chatter Sound> Where have you been?"));
    EXPECT_EQ(played.count(), 0);
    EXPECT_EQ(ui(chat).mainchat->toPlainText().count("<Chatter Sound>"), 1)
        << "unknown sounds are dropped";
}

TEST_F(SoundTest, ChatterItemsSendTheirSoundAndCancelSendsNothing) {
    auto game = hostingWindow();
    Tchat& chat = game->chat();
    auto bob = player("Bob");
    ASSERT_TRUE(waitForText(chat, "Bob is Connected."));
    ui(chat).wave[0]->trigger(); // <Cancel>
    ui(chat).wave[13]->trigger();
    EXPECT_TRUE(bob->waitFor("CMD_playasound+1+wave13+"));
    for (const QByteArray& message : bob->messages())
        EXPECT_FALSE(message.startsWith("CMD_playasound+1+wave0")) << message.toStdString();
}

TEST_F(SoundTest, NewTurnSoundIsPlayedOnTheOwnTurn) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tchat& chat = game->chat();
    ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T));
    ASSERT_TRUE(waitForText(chat, "You are Connected."));
    ui(chat).New1->trigger();
    EXPECT_TRUE(ui(chat).New1->isChecked());
    EXPECT_FALSE(ui(chat).Classic1->isChecked());
    QSignalSpy played(ui(chat).sounds, &platform::SoundPlayer::played);
    ASSERT_TRUE(link.sendAll("CMD_nextplayer+2+1+0+0+" + T + "CMD_nextplayer+1+1+0+0+" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model().currentSeat() == 1; }));
    ASSERT_EQ(played.count(), 1) << "another seat's turn plays nothing";
    EXPECT_EQ(played.first().first().toString(), "turnnew");
}
