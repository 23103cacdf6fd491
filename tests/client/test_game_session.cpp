// The session without a window: a scripted host on loopback sends every
// message a player window handles, and the session's model, signals and
// requests are checked. QCoreApplication only: no widgets are linked.
#include "client/GameSession.h"
#include "game/ScoringRules.h"
#include "platform/ExceptionHandler.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>

using client::DiePlace;
using client::TGameSession;
using client::TPlayerSettings;
using namespace testsupport;

namespace {

const char T = char(0xFF);

class GameSessionTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(listener.listenOn("127.0.0.1", 0));
        session.setPortName(QString::number(listener.localPort()));
        session.connectTo("127.0.0.1", "Ann", false);
        host = listener.accept();
        ASSERT_TRUE(host.isValid());
    }

    void send(const QByteArray& message) { ASSERT_TRUE(host.sendAll(message + T)); }

    // Everything sent before is handled once this line has come through.
    bool barrier() {
        const QString mark = QStringLiteral("barrier %1").arg(++m_barriers);
        QSignalSpy lines(&session, &TGameSession::chatLine);
        send("CMD_chat+" + mark.toLatin1() + "|clBlack");
        return waitFor([&] {
            for (const QList<QVariant>& line : lines)
                if (line.at(0).toString() == mark)
                    return true;
            return false;
        });
    }

    // The requests the session has sent so far, terminators removed.
    QByteArrayList requests() {
        m_remainder += host.readAvailable();
        qsizetype end;
        while ((end = m_remainder.indexOf(T)) >= 0) {
            m_requests.append(m_remainder.left(end));
            m_remainder.remove(0, end + 1);
        }
        return m_requests;
    }
    bool waitForRequest(const QByteArray& request) {
        return waitFor([&] { return requests().contains(request); });
    }

    // Seated in seat 2 of a running regular game, Ann on turn with no roll made.
    void seatAnnOnTurn() {
        send("CMD_sendlogininfo+2");
        send("CMD_newplayerinfo+2+Ann");
        send("CMD_startgame+1+f+false");
        send("CMD_nextplayer+2+1+0+0+");
        ASSERT_TRUE(barrier());
        ASSERT_TRUE(session.moveOpen());
    }

    RawSocket listener;
    RawSocket host;
    TGameSession session;

private:
    int m_barriers = 0;
    QByteArray m_remainder;
    QByteArrayList m_requests;
};

} // namespace

TEST_F(GameSessionTest, LoginSeatsAndSpectatorsFollowTheHost) {
    QSignalSpy joined(&session, &TGameSession::playerConnected);
    QSignalSpy seatLeft(&session, &TGameSession::seatLeft);
    QSignalSpy spectatorLeft(&session, &TGameSession::spectatorLeft);
    QSignalSpy lines(&session, &TGameSession::chatLine);

    send("CMD_sendlogininfo+2");
    // The stored login text ends in a terminator: a second one follows it.
    ASSERT_TRUE(waitForRequest("CMD_logininfo+2+1.0.3+Ann"));
    ASSERT_TRUE(barrier());
    EXPECT_TRUE(requests().contains(QByteArray()));
    EXPECT_TRUE(session.loggedIn());
    EXPECT_EQ(session.model().ownSeat(), 2);

    send("CMD_newplayerinfo+2+Ann");
    send("CMD_existingplayers+1+Bob\rthe+2");
    send("CMD_existingplayers+3+"); // an empty name is nobody
    send("CMD_newplayerinfo+5+Eve");
    send("CMD_newplayerinfo+6+Dan");
    send("CMD_havewrongversion+Cy");
    send("CMD_wrongversion+");
    ASSERT_TRUE(barrier());
    ASSERT_EQ(joined.size(), 4);
    EXPECT_EQ(joined.at(0), (QList<QVariant>{2, QStringLiteral("Ann"), true}));
    EXPECT_EQ(joined.at(1), (QList<QVariant>{1, QStringLiteral("Bob the+2"), false}));
    EXPECT_EQ(session.model().seatName(1), "Bob the+2") << "control characters become spaces";
    EXPECT_EQ(session.model().seatName(3), client::TGameModel::Waiting);
    EXPECT_EQ(session.spectators(), (QMap<int, QString>{{5, "Eve"}, {6, "Dan"}}));
    EXPECT_EQ(lines.at(lines.size() - 3).at(0).toString(),
              "Cy has a different version of the game then you.");
    EXPECT_EQ(lines.at(lines.size() - 2).at(0).toString(),
              "You have a differnt version of the game then the host.");

    // A spectator leaves only by its own name; a seat by its number.
    send("CMD_playerdisconnected+5+Someone");
    send("CMD_playerdisconnected+6+Dan");
    send("CMD_playerdisconnected+1+Bob the+2");
    ASSERT_TRUE(barrier());
    EXPECT_EQ(session.spectators(), (QMap<int, QString>{{5, "Eve"}}));
    EXPECT_EQ(spectatorLeft.size(), 1);
    ASSERT_EQ(seatLeft.size(), 1);
    EXPECT_EQ(seatLeft.at(0), (QList<QVariant>{1, QStringLiteral("Bob the+2")}));
    EXPECT_FALSE(session.model().seat(1).occupied);
}

TEST_F(GameSessionTest, ATurnOfRequestsAndTheHostsAnswers) {
    seatAnnOnTurn();
    QSignalSpy thrown(&session, &TGameSession::diceThrown);
    QSignalSpy moved(&session, &TGameSession::dieMoved);
    QSignalSpy cards(&session, &TGameSession::cardReported);

    // One move at a time: a second roll waits for the host's answer to the first.
    session.roll();
    session.roll();
    ASSERT_TRUE(waitForRequest("CMD_rolldice+2"));
    EXPECT_FALSE(session.moveOpen());
    send("CMD_thedice+2+y+1+1+6+2+6+3+9+4+0+5+1");
    ASSERT_TRUE(barrier());
    EXPECT_EQ(requests().count("CMD_rolldice+2"), 1);
    ASSERT_EQ(thrown.size(), 1);
    EXPECT_EQ(thrown.at(0).at(1).toInt(), 1);
    EXPECT_EQ(session.model().die(1).face, 6);
    EXPECT_EQ(session.model().die(5).face, 1);
    EXPECT_EQ(session.model().die(3).place, DiePlace::Unthrown) << "face 9 is no face";
    EXPECT_TRUE(session.moveOpen());
    EXPECT_TRUE(session.rollOffered());

    session.keep(1);
    session.putBack(2);
    ASSERT_TRUE(waitForRequest("CMD_setdice+2+1"));
    ASSERT_TRUE(waitForRequest("CMD_unsetdice+2+2"));
    send("CMD_setdice+1");
    send("CMD_unsetdice+2");
    send("CMD_setdice+6"); // no such die
    ASSERT_TRUE(barrier());
    ASSERT_EQ(moved.size(), 2);
    EXPECT_EQ(session.model().die(1).place, DiePlace::Kept);
    EXPECT_EQ(session.model().die(2).place, DiePlace::PutBack);

    // The third roll ends the rolling; a refused choice gives the turn back.
    send("CMD_thedice+2+n+3+2+5");
    ASSERT_TRUE(barrier());
    EXPECT_FALSE(session.rollOffered());
    session.score(12);
    ASSERT_TRUE(waitForRequest("CMD_setscore+2+12"));
    EXPECT_FALSE(session.moveOpen());
    send("CMD_chooseagain+");
    ASSERT_TRUE(barrier());
    EXPECT_TRUE(session.moveOpen());
    EXPECT_FALSE(session.rollOffered()) << "no rolls left";

    QByteArray card = "CMD_pscore+2+30+12";
    for (int row = 1; row <= 15; ++row)
        card += row == 12 ? "+30" : "+1000";
    send(card);
    send("CMD_pscore+1+0+*+1000+1000+1000+1000+1000+1000+1000+1000+1000+1000+1000+1000+0+0+0");
    send("CMD_pscore+5+0+1"); // no such seat
    ASSERT_TRUE(barrier());
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(cards.at(0), (QList<QVariant>{2, 12}));
    EXPECT_EQ(cards.at(1), (QList<QVariant>{1, 0})) << "a copy is silent";
    EXPECT_EQ(session.model().seat(2).card[12], 30);
    EXPECT_EQ(session.model().seat(2).total, "30");
}

TEST_F(GameSessionTest, TurnsBonusDiceJustWatchAndTheWinner) {
    seatAnnOnTurn();
    QSignalSpy bonus(&session, &TGameSession::bonusDieDrawn);
    QSignalSpy watching(&session, &TGameSession::watchingChanged);
    QSignalSpy won(&session, &TGameSession::gameWon);
    QSignalSpy first(&session, &TGameSession::rollFirst);

    session.score(3);
    send("CMD_rollagain+");
    ASSERT_TRUE(barrier());
    EXPECT_EQ(first.size(), 1);
    EXPECT_TRUE(session.rollOffered()) << "asked to roll first, the roll is offered again";

    send("CMD_setbonusdice+0");
    send("CMD_setbonusdice+7");
    send("CMD_setbonusdice+6");
    send("CMD_setbonusdice+1");
    ASSERT_TRUE(barrier());
    ASSERT_EQ(bonus.size(), 2) << "faces 1..6 only";
    EXPECT_EQ(session.model().bonusFace(), 1);

    // Just Watch: the computer takes the own turn, and gives it back.
    session.justWatch(true);
    ASSERT_TRUE(waitForRequest("CMD_justwatch+2+1"));
    send("CMD_justwatching+2+1");
    ASSERT_TRUE(barrier());
    EXPECT_TRUE(session.justWatching());
    EXPECT_FALSE(session.moveOpen());
    send("CMD_justwatching+2+2");
    ASSERT_TRUE(barrier());
    EXPECT_FALSE(session.justWatching());
    EXPECT_TRUE(session.moveOpen());
    EXPECT_EQ(watching.size(), 2);

    send("CMD_nextplayer+3+2+0+0+");
    ASSERT_TRUE(barrier());
    EXPECT_EQ(session.model().currentSeat(), 3);
    EXPECT_EQ(session.model().round(), "2");
    EXPECT_FALSE(session.moveOpen());

    send("CMD_winner+Ann and Bob+44+");
    ASSERT_TRUE(barrier());
    ASSERT_EQ(won.size(), 1);
    EXPECT_EQ(won.at(0).at(0).toString(), "Ann and Bob");
    EXPECT_FALSE(session.model().inProgress());
}

TEST_F(GameSessionTest, ChatLinesRequestsAndABadNumber) {
    QSignalSpy lines(&session, &TGameSession::chatLine);
    QSignalSpy sounds(&session, &TGameSession::soundPlayed);
    // Nothing goes before the login.
    session.chat("early", clBlack);
    send("CMD_sendlogininfo+1");
    send("CMD_chat+Bob chats: 2+2=4|clGreen");
    send("CMD_action+Bob waves|a|clGreen");
    send("CMD_action+no colour");
    send("CMD_playasound+3+wave7+");
    send("CMD_nextplayer+x+1+0+0+"); // not a number: this message only is dropped
    ASSERT_TRUE(barrier());
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines.at(0), (QList<QVariant>{QStringLiteral("Bob chats: 2+2=4"), int(clGreen)}));
    EXPECT_EQ(lines.at(1), (QList<QVariant>{QStringLiteral("Bob waves"), int(clRed)}));
    EXPECT_EQ(lines.at(2), (QList<QVariant>{QStringLiteral("no colour"), int(clRed)}));
    EXPECT_EQ(lines.at(3).at(1).toInt(), int(clRed));
    EXPECT_TRUE(lines.at(3).at(0).toString().contains("'x'"));
    EXPECT_EQ(sounds.at(0), (QList<QVariant>{3, QStringLiteral("wave7")}));

    session.chat("hello", TColor(0x00123456));
    session.chat("/me dances", clBlue);
    session.chat("/nick Bob", clBlue); // other commands send nothing
    session.phrase("/me bows", clMaroon);
    session.phrase("Good One!", clMaroon);
    session.playSound(20);
    session.playSound(21);
    session.playSound(0);
    session.remove(3); // only the hosting player's window removes
    session.start(true, false);
    session.announceBotSpeed();
    ASSERT_TRUE(waitForRequest("CMD_startgame+1+t+false"));
    ASSERT_TRUE(waitForRequest("CMD_botspeed+1+750+"));
    const QByteArrayList expected = {
        "CMD_logininfo+1+1.0.3+Ann",  "",
        "CMD_chat+1+hello|$00123456", "CMD_action+1+dances|clBlue",
        "CMD_action+1+bows|clMaroon", "CMD_action+1+says: Good One!|clMaroon",
        "CMD_playasound+1+wave20+",   "CMD_startgame+1+t+false",
        "CMD_botspeed+1+750+"};
    EXPECT_EQ(requests(), expected);
}

// Each malformed message is one red line and nothing else: no exception, no
// lost login, and colours only where the last field names one.
TEST_F(GameSessionTest, MalformedMessagesBecomeOneRedLineEach) {
    QSignalSpy lines(&session, &TGameSession::chatLine);
    int exceptions = 0;
    platform::setExceptionHandler([&](const std::exception&) { ++exceptions; });
    const struct Restore {
        ~Restore() { platform::setExceptionHandler(nullptr); }
    } restore;
    send("CMD_sendlogininfo+x");
    send("CMD_newplayerinfo+junk+Q");
    send("CMD_chat+plain line");
    send("CMD_chat+a|b|clGreen");
    send("CMD_action+waves|$00FF0000");
    send("CMD_justwatching+99+1");
    send("CMD_playerdisconnected+7+Nobody");
    send("CMD_sendlogininfo+2");
    ASSERT_TRUE(barrier());
    EXPECT_EQ(exceptions, 0);
    EXPECT_TRUE(session.loggedIn());
    EXPECT_EQ(session.model().ownSeat(), 2);
    const auto colourOf = [&](const QString& text) {
        for (const QList<QVariant>& line : lines)
            if (line.at(0).toString() == text)
                return line.at(1).toInt();
        return -1;
    };
    EXPECT_EQ(colourOf("'x' is not a valid integer value"), int(clRed));
    EXPECT_EQ(colourOf("'junk' is not a valid integer value"), int(clRed));
    EXPECT_EQ(colourOf("plain line"), int(clRed));
    EXPECT_EQ(colourOf("a"), int(clRed)) << "the rest after the text is no colour";
    EXPECT_EQ(colourOf("waves"), 0x00FF0000);
    EXPECT_EQ(requests().value(0), "CMD_logininfo+2+1.0.3+Ann");
}

// A card cut short changes nothing; a seat left mid-game keeps its card and
// total for the computer and for whoever takes it over.
TEST_F(GameSessionTest, ShortCardsAndASeatLeftMidGame) {
    seatAnnOnTurn();
    send("CMD_newplayerinfo+3+Cid");
    send("CMD_pscore+2+24+6+1000+1000+1000+1000+1000+24+1000+1000+1000+1000+1000+1000+24+0+0");
    send("CMD_pscore+3+12+*+1000+1000+1000+12+1000+1000+1000+1000+1000+1000+1000+1000+12+0+0");
    send("CMD_pscore+2+99+1+5+1000");
    ASSERT_TRUE(barrier());
    EXPECT_EQ(session.model().seat(2).total, "24");
    EXPECT_EQ(session.model().seat(2).card[scoring::Ones], 1000) << "the short card wrote nothing";
    EXPECT_TRUE(session.model().ownCategoryFree(scoring::Fives));
    EXPECT_FALSE(session.model().ownCategoryFree(scoring::Sixes));

    send("CMD_playerdisconnected+3+Cid");
    send("CMD_nextplayer+3+1+12+0+");
    ASSERT_TRUE(barrier());
    EXPECT_EQ(session.model().seatName(3), "Cid (left)");
    EXPECT_EQ(session.model().seat(3).total, "12");
    send("CMD_newplayerinfo+3+Dee");
    ASSERT_TRUE(barrier());
    EXPECT_EQ(session.model().seatName(3), "Dee");
    EXPECT_EQ(session.model().seat(3).card[scoring::Fours], 12);
    EXPECT_EQ(session.model().currentSeat(), 3);

    // Once the game is over, a departure takes the seat's total with it.
    send("CMD_winner+Ann+24+");
    send("CMD_playerdisconnected+3+Dee");
    ASSERT_TRUE(barrier());
    EXPECT_EQ(session.model().seat(3).total, "0");
}

// Chatter sounds go from seats only; a spectator's chat still goes.
TEST_F(GameSessionTest, ASpectatorSendsNoChatterSounds) {
    send("CMD_sendlogininfo+5");
    ASSERT_TRUE(barrier());
    session.playSound(4);
    session.chat("after", clBlack);
    ASSERT_TRUE(waitForRequest("CMD_chat+5+after|clBlack"));
    EXPECT_EQ(requests(),
              (QByteArrayList{"CMD_logininfo+5+1.0.3+Ann", "", "CMD_chat+5+after|clBlack"}));
}

TEST_F(GameSessionTest, TheHostsLastWordsAreReadBeforeTheCloseIsReported) {
    QSignalSpy full(&session, &TGameSession::gameFull);
    QSignalSpy closed(&session, &TGameSession::hostClosed);
    QSignalSpy lines(&session, &TGameSession::chatLine);
    send("CMD_chat+one|clBlack");
    send("CMD_chat+two|clBlack");
    send("CMD_full+");
    host.close();
    ASSERT_TRUE(waitFor([&] { return closed.size() == 1; }));
    EXPECT_EQ(lines.size(), 2);
    EXPECT_EQ(full.size(), 1);
    EXPECT_EQ(session.link(), client::HostLink::Closed);
    EXPECT_TRUE(session.hostGone());
    EXPECT_FALSE(session.timer_pump.isActive()) << "nothing left to pump";
}

TEST_F(GameSessionTest, RemovedByTheHostTheSessionCloses) {
    QSignalSpy removed(&session, &TGameSession::removedByHost);
    QSignalSpy closed(&session, &TGameSession::hostClosed);
    send("CMD_sendlogininfo+6");
    send("CMD_newplayerinfo+6+Ann");
    send("CMD_playerdisconnected+6+Ann");
    ASSERT_TRUE(waitFor([&] { return closed.size() == 1; }));
    EXPECT_EQ(removed.size(), 1);
    EXPECT_TRUE(session.removed());
    EXPECT_FALSE(session.loggedIn());
    EXPECT_TRUE(session.spectators().isEmpty());
    EXPECT_TRUE(host.peerClosed());
}

// A host that runs ahead of the player by 64 MiB is still served; one byte
// more and it is taken to be broken. The pump is held back so that nothing
// is taken off the queue while it fills.
TEST_F(GameSessionTest, TheQueueHoldsExactly64MiBAndNotOneByteMore) {
    QSignalSpy flooded(&session, &TGameSession::hostFlooded);
    session.timer_pump.setInterval(std::chrono::hours(1));
    const qsizetype lineLength = 32 * 1024; // a message's bytes, terminator not counted
    const int lines = 64 * 1024 * 1024 / lineLength;
    const QByteArray line = "CMD_x+" + QByteArray(lineLength - 6, 'a') + T;
    QByteArray flood;
    for (int n = 0; n < lines; ++n)
        flood += line;
    const auto filled = [&] {
        return session.queuedMessages() == std::size_t(lines) || !flooded.isEmpty();
    };
    qsizetype sent = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            // The session reads 32 KiB at a time: many rounds between waits.
            for (int round = 0; round < 1000 && !filled(); ++round) {
                sent += host.sendSome(
                    QByteArray::fromRawData(flood.constData() + sent, flood.size() - sent));
                QCoreApplication::processEvents();
            }
            return filled();
        },
        60000));
    EXPECT_EQ(sent, flood.size());
    EXPECT_TRUE(flooded.isEmpty()) << "exactly the limit is held";
    EXPECT_EQ(session.link(), client::HostLink::Open);

    send("x");
    ASSERT_TRUE(waitFor([&] { return flooded.size() == 1; }));
    EXPECT_EQ(session.link(), client::HostLink::Flooded);
    EXPECT_EQ(session.queuedMessages(), 0u);
    EXPECT_TRUE(waitFor([&] {
        host.readAvailable();
        return host.peerClosed();
    }));
}

// The settings keep the lobby's file as it was written, keys and defaults alike.
TEST(PlayerSettings, ReadWithDefaultsAndWrittenBack) {
    QTemporaryDir folder;
    const QString path = folder.filePath("kelvlobby.ini");
    TPlayerSettings settings;
    settings.load(path); // no file: every default
    EXPECT_EQ(settings.bounds, QRect(3, 3, 783, 512));
    EXPECT_EQ(settings.botSpeed, 1000);
    EXPECT_TRUE(settings.doubleCheck);
    EXPECT_TRUE(settings.chatterSounds);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Dunvex]\nBotspeed=499\nBotSkill=eXpErT\nPlaysounds=False\nDoublecheck=false\n"
               "Turnsound=1\nPhrase1=hi\nPhrase9=/me hops\nTextcolor=$00123456\nLobby=kept\n");
    file.close();
    settings.load(path);
    EXPECT_EQ(settings.botSpeed, 1000) << "only 500, 1000 and 1500";
    EXPECT_EQ(settings.botSkill, TPlayerSettings::BotSkill::Expert);
    EXPECT_TRUE(settings.playSounds) << "only the exact text false is false";
    EXPECT_FALSE(settings.doubleCheck);
    EXPECT_EQ(settings.turnSound, TPlayerSettings::TurnSound::New);
    EXPECT_EQ(settings.phrases[1], "hi");
    EXPECT_EQ(settings.phrases[9], "/me hops") << "the last phrase button";
    EXPECT_EQ(settings.textColor, TColor(0x00123456));

    settings.botSpeed = 1500;
    settings.zoomPercent = 125;
    ASSERT_TRUE(settings.save(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    for (const char* line :
         {"Botspeed=1500", "BotSkill=Expert", "Zoom=125", "Turnsound=1", "Playsounds=true",
          "Doublecheck=false", "Lobby=kept", "Phrase9=/me hops", "Textcolor=$00123456"})
        EXPECT_TRUE(written.contains(line)) << line;
}

// Odd values fall back to their defaults, and saving writes every key with
// named colours, leaving other sections alone.
TEST(PlayerSettings, OddValuesFallBackAndEveryKeyIsWritten) {
    QTemporaryDir folder;
    const QString path = folder.filePath("kelvlobby.ini");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Lobby]\nNick=Ann\n[Dunvex]\nBotspeed=750\nTextsize=11\nTextcolor=$000000FF\n"
               "Actioncolor=nonsense\n");
    file.close();
    TPlayerSettings settings;
    settings.load(path);
    EXPECT_EQ(settings.botSpeed, 1000);
    EXPECT_EQ(settings.textSize, 11);
    EXPECT_EQ(settings.textColor, clRed);
    EXPECT_EQ(settings.actionColor, clBlack);
    ASSERT_TRUE(settings.save(path));
    platform::IniFile ini(path);
    for (const char* key :
         {"Textsize", "Textcolor", "Actioncolor", "Botspeed", "Top", "Left", "Width", "Height",
          "Playsounds", "Doublecheck", "Turnsound", "ChatterSounds"})
        EXPECT_NE(ini.readString("Dunvex", key, "<none>"), "<none>") << key;
    EXPECT_EQ(ini.readString("Dunvex", "Textcolor", ""), "clRed");
    EXPECT_EQ(ini.readString("Dunvex", "Actioncolor", ""), "clBlack");
    EXPECT_EQ(ini.readString("Lobby", "Nick", ""), "Ann");

    // The two other speeds are kept; a word is no speed.
    for (const auto& [stored, speed] :
         {std::pair{"500", 500}, {"1500", 1500}, {"1501", 1000}, {"fast", 1000}}) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[Dunvex]\nBotspeed=") + stored + "\n");
        file.close();
        settings.load(path);
        EXPECT_EQ(settings.botSpeed, speed) << stored;
    }
}
