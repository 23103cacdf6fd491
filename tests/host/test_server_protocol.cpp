// The host's side of the protocol: admission, roster, relays, and peers that
// misbehave. A real host in this process, raw clients over loopback.
#include "host/ServerForm.h"
#include "support/ProtocolClient.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

class HostTest : public testing::Test {
protected:
    void SetUp() override {
        server.Sock1.setPortName(QString::number(port));
        server.Sock1.setListen(true);
    }

    // Connects, takes the greeting and logs in.
    std::unique_ptr<ProtocolClient> player(const QString& name) {
        auto client = std::make_unique<ProtocolClient>();
        EXPECT_TRUE(client->connectTo(port));
        const int slot = client->waitForGreeting();
        EXPECT_GT(slot, 0);
        client->login(slot, name);
        EXPECT_TRUE(client->waitFor("CMD_newplayerinfo+" + QByteArray::number(slot) + '+' +
                                    name.toLatin1()));
        return client;
    }

    // The host still serves: a chat from this player comes back at once.
    bool stillServed(ProtocolClient& client, const QByteArray& name) {
        const QByteArray text = "ping " + QByteArray::number(++m_pings);
        client.send("CMD_chat+" + QByteArray::number(client.slot()) + '+' + text + "|clRed");
        return client.waitFor("CMD_chat+" + name + " chats: " + text + "|clRed", 2000);
    }

    TServer server;
    std::uint16_t port = freeTcpPort();
    int m_pings = 0;
};

} // namespace

TEST_F(HostTest, LoginExchangeComesInOrder) {
    auto ann = player("Ann");
    EXPECT_EQ(ann->slot(), 1);
    EXPECT_EQ(ann->messages(), QByteArrayList({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+Ann"}));

    ProtocolClient bob;
    ASSERT_TRUE(bob.connectTo(port));
    ASSERT_EQ(bob.waitForGreeting(), 2);
    // The login text ends in a terminator of its own: a second one follows.
    bob.sendRaw("CMD_logininfo+2+1.0.3+Bob+Jr" + T + T);
    ASSERT_TRUE(bob.waitFor("CMD_existingplayers+1+Ann"));
    EXPECT_EQ(bob.messages(), QByteArrayList({"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Bob+Jr",
                                              "CMD_existingplayers+1+Ann"}));
    EXPECT_TRUE(ann->waitFor("CMD_newplayerinfo+2+Bob+Jr"));
    EXPECT_EQ(server.players[2].name, "Bob+Jr");
}

TEST_F(HostTest, DifferentVersionIsToldToBothButSeated) {
    auto ann = player("Ann");
    ProtocolClient carl;
    ASSERT_TRUE(carl.connectTo(port));
    carl.login(carl.waitForGreeting(), "Carl", "0.9");
    EXPECT_TRUE(ann->waitFor("CMD_havewrongversion+Carl"));
    EXPECT_TRUE(carl.waitFor("CMD_wrongversion+"));
    EXPECT_TRUE(stillServed(carl, "Carl"));
}

TEST_F(HostTest, NewcomerDuringAGameGetsTheTurnAndFourCards) {
    auto ann = player("Ann");
    server.gameinprogress = true;
    server.currentplayer = 2;
    server.rollcount = 1;
    server.players[2].turns = 4;
    server.players[2].total = 57;
    server.players[3].card.fill(1000);
    server.players[3].card[5] = 15;

    auto bob = player("Bob");
    ASSERT_TRUE(bob->waitFor("CMD_nextplayer+2+4+57+1+"));
    const QByteArray third = bob->waitForPrefix("CMD_pscore+3+");
    EXPECT_EQ(third, "CMD_pscore+3+0+*+1000+1000+1000+1000+15+1000+1000+1000+1000+1000+1000+1000+"
                     "1000+1000+1000");
    const QByteArrayList all = bob->messages();
    EXPECT_EQ(all.indexOf("CMD_nextplayer+2+4+57+1+"),
              all.indexOf("CMD_existingplayers+1+Ann") + 1);
    int cards = 0;
    for (const QByteArray& message : all)
        cards += message.startsWith("CMD_pscore+") ? 1 : 0;
    EXPECT_EQ(cards, 4);
}

TEST_F(HostTest, ChatAndActionsAreRelayedWithPlusAndBarIntact) {
    auto ann = player("Ann");
    auto eve = player("Eve");
    ann->send("CMD_chat+1+2+2=4 | or not|$00123456");
    const QByteArray relayed = "CMD_chat+Ann chats: 2+2=4 | or not|$00123456";
    EXPECT_TRUE(ann->waitFor(relayed));
    EXPECT_TRUE(eve->waitFor(relayed));
    eve->send("CMD_action+2+waves|clBlue");
    EXPECT_TRUE(ann->waitFor("CMD_action+Eve waves|clBlue"));
    eve->send("CMD_playasound+2+wave3+");
    EXPECT_TRUE(ann->waitFor("CMD_playasound+2+wave3+"));
}

TEST_F(HostTest, DeparturesAreToldToEveryoneElse) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    auto cat = player("Cat");
    bob->socket().close();
    EXPECT_TRUE(ann->waitFor("CMD_playerdisconnected+2+Bob"));
    EXPECT_TRUE(cat->waitFor("CMD_playerdisconnected+2+Bob"));
    EXPECT_FALSE(server.players[2].inuse);
    EXPECT_TRUE(server.players[2].name.isEmpty());
}

TEST_F(HostTest, OnlyTheHostingWindowMayRemovePlayers) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    auto cat = player("Cat");
    bob->send("CMD_kickhim+1+3+"); // bob claims to be the hosting window
    bob->send("CMD_kickhim+2+3+");
    ann->send("CMD_kickhim+2+3+"); // requester must be 1
    EXPECT_TRUE(stillServed(*cat, "Cat"));
    EXPECT_TRUE(server.players[3].inuse);

    ann->send("CMD_kickhim+1+3+");
    // Cat hears her own departure before the close: she was removed.
    EXPECT_TRUE(cat->waitFor("CMD_playerdisconnected+3+Cat"));
    EXPECT_TRUE(cat->closedByHost());
    EXPECT_EQ(cat->count("CMD_playerdisconnected+"), 1);
    EXPECT_TRUE(ann->waitFor("CMD_playerdisconnected+3+Cat"));
    EXPECT_TRUE(bob->waitFor("CMD_playerdisconnected+3+Cat"));
}

TEST_F(HostTest, JustWatchIsEchoedForOwnSeatOrFromTheHostingWindow) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    auto cat = player("Cat");
    bob->send("CMD_justwatch+2+1");
    EXPECT_TRUE(ann->waitFor("CMD_justwatching+2+1"));
    EXPECT_TRUE(server.players[2].justwatch);
    ann->send("CMD_startgame+1+f+false");
    EXPECT_TRUE(bob->waitFor("CMD_startgame+1+f+false"));
    EXPECT_TRUE(server.players[2].justwatch) << "until bob plays again, across games";
    bob->send("CMD_justwatch+3+1"); // not bob's seat
    bob->send("CMD_justwatch+2+7"); // no such state
    ann->send("CMD_justwatch+2+2"); // the hosting window may
    EXPECT_TRUE(cat->waitFor("CMD_justwatching+2+2"));
    EXPECT_FALSE(server.players[3].justwatch);
    EXPECT_FALSE(cat->has("CMD_justwatching+3+1"));
    EXPECT_FALSE(server.players[2].justwatch);
}

TEST_F(HostTest, SpoofedSlotFieldsAreIgnored) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    bob->send("CMD_chat+1+I am Ann|clRed");
    bob->send("CMD_logininfo+1+1.0.3+Mallory");
    bob->send("CMD_playasound+1+wave1+");
    EXPECT_TRUE(stillServed(*bob, "Bob"));
    EXPECT_EQ(server.players[1].name, "Ann");
    for (const QByteArray& message : ann->messages())
        EXPECT_FALSE(message.contains("I am Ann") || message.contains("Mallory") ||
                     message.startsWith("CMD_playasound"))
            << message.toStdString();
}

TEST_F(HostTest, GarbageAndMalformedNumbersAreDroppedOneMessageAtATime) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    bob->sendRaw("no plus here" + T + T + "CMD_nosuch+1" + T + "CMD_chat+x+hi|clRed" + T +
                 "CMD_chat++" + T + "CMD_kickhim+1" + T + "CMD_justwatch+" + T);
    QByteArray junk;
    for (int i = 0; i < 5000; ++i)
        junk += char((i * 37) % 255); // no terminator inside
    bob->sendRaw(junk + T);
    EXPECT_TRUE(stillServed(*bob, "Bob"));
    EXPECT_TRUE(stillServed(*ann, "Ann"));
}

TEST_F(HostTest, SixtyFourKiBWithoutATerminatorAreKeptOneByteMoreDropsOnlyThatPeer) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    QSignalSpy dropped(&server, &TServer::connectionDropped);
    // "CMD_chat+2+" and "|clRed" around the text: 65536 bytes in all.
    const QByteArray text(64 * 1024 - 17, 'k');
    bob->sendRaw("CMD_chat+2+" + text + "|clRed" + T);
    EXPECT_TRUE(ann->waitFor("CMD_chat+Bob chats: " + text + "|clRed"));
    EXPECT_EQ(dropped.count(), 0);

    bob->sendRaw("CMD_chat+2+" + text + "k|clRed");
    EXPECT_TRUE(bob->closedByHost());
    EXPECT_TRUE(ann->waitFor("CMD_playerdisconnected+2+Bob"));
    EXPECT_EQ(dropped.count(), 1);
    EXPECT_TRUE(stillServed(*ann, "Ann"));
}

TEST_F(HostTest, TwoHundredFiftySixWaitingMessagesAreKeptTheNextDropsTheFlooder) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    QSignalSpy dropped(&server, &TServer::connectionDropped);
    // One send each: a burst arrives in one read, before the pump takes any of it.
    const auto burst = [](const QByteArray& word, int count) {
        QByteArray bytes;
        for (int i = 1; i <= count; ++i)
            bytes += "CMD_chat+2+" + word + ' ' + QByteArray::number(i) + "|clRed" + T;
        return bytes;
    };
    ASSERT_TRUE(stillServed(*bob, "Bob")); // the empty line after the login no longer waits
    bob->sendRaw(burst("kept", 256));
    EXPECT_TRUE(ann->waitFor("CMD_chat+Bob chats: kept 256|clRed", 10000));
    EXPECT_EQ(dropped.count(), 0);

    bob->sendRaw(burst("flood", 257));
    EXPECT_TRUE(bob->closedByHost());
    EXPECT_TRUE(ann->waitFor("CMD_playerdisconnected+2+Bob"));
    EXPECT_TRUE(stillServed(*ann, "Ann")); // comes after anything of Bob's
    EXPECT_EQ(server.waitingMessages(), 0);
    EXPECT_EQ(ann->count("CMD_chat+Bob chats: flood"), 0)
        << "the flooder's waiting messages are discarded";
}

TEST_F(HostTest, UnsentBytesAreHeldUpToExactlyOneMiB) {
    constexpr qsizetype OneMiB = 1024 * 1024;
    auto ann = player("Ann");
    // A peer that never reads, with the smallest receive buffer there is.
    ProtocolClient mute;
    ASSERT_TRUE(mute.connectTo(port, "127.0.0.1", 1));
    ASSERT_EQ(mute.waitForGreeting(), 2);
    mute.login(2, QStringLiteral("Mute"));
    ASSERT_TRUE(mute.waitFor("CMD_existingplayers+1+Ann")); // its last read
    TGameSocket& link = *server.players[2].connection;
    QSignalSpy dropped(&server, &TServer::connectionDropped);

    // Fill until the peer's window is shut: what it took is fixed from then on.
    const qsizetype filled = 256 * 1024;
    server.sendTo(2, QByteArray(filled, 'm'));
    ASSERT_TRUE(
        waitFor([&] { return link.unsentLength() + mute.socket().pendingBytes() == filled; }));
    server.sendTo(2, QByteArray(OneMiB - link.unsentLength(), 'm'));
    EXPECT_EQ(link.unsentLength(), OneMiB);
    EXPECT_EQ(dropped.count(), 0) << "exactly 1 MiB unsent is kept";
    server.sendTo(2, "m");
    EXPECT_EQ(dropped.count(), 1) << "one byte more drops the peer";
    EXPECT_TRUE(ann->waitFor("CMD_playerdisconnected+2+Mute"));
    EXPECT_TRUE(stillServed(*ann, "Ann"));
}

TEST_F(HostTest, AbruptDisconnectMidMessageFreesTheSlot) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    bob->sendRaw("CMD_chat+2+half a mess");
    bob->socket().reset();
    EXPECT_TRUE(ann->waitFor("CMD_playerdisconnected+2+Bob"));
    auto cat = player("Cat");
    EXPECT_EQ(cat->slot(), 2);
    EXPECT_TRUE(stillServed(*cat, "Cat"));
    EXPECT_TRUE(ann->waitFor("CMD_chat+Cat chats: ping 1|clRed"));
    EXPECT_EQ(ann->count("CMD_chat+"), 1) << "nothing of Bob's half message comes through";
}

TEST_F(HostTest, MessagesLeftByADepartedConnectionAreNeverActedOnForTheNewcomer) {
    auto ann = player("Ann");
    auto bob = player("Bob");
    // Two seconds of chat ahead of it keep Bob's last request waiting.
    QByteArray bytes;
    for (int i = 0; i < 200; ++i)
        bytes += "CMD_chat+2+" + QByteArray::number(i) + "|clRed" + T;
    bob->sendRaw(bytes + "CMD_justwatch+2+1" + T);
    bob->socket().close();
    ASSERT_TRUE(ann->waitFor("CMD_playerdisconnected+2+Bob"));

    ProtocolClient cat;
    ASSERT_TRUE(cat.connectTo(port));
    ASSERT_EQ(cat.waitForGreeting(), 2);
    ASSERT_GT(server.waitingMessages(), 1) << "Bob's request still waits behind his chat";
    cat.login(2, QStringLiteral("Cat"));
    ASSERT_TRUE(cat.waitFor("CMD_newplayerinfo+2+Cat", 10000));
    EXPECT_TRUE(stillServed(cat, "Cat"));
    ASSERT_TRUE(ann->waitFor("CMD_chat+Cat chats: ping 1|clRed"));
    EXPECT_EQ(ann->count("CMD_justwatching+"), 0);
    EXPECT_FALSE(server.players[2].justwatch);
}

TEST_F(HostTest, TenthConnectionIsToldTheGameIsFull) {
    std::vector<std::unique_ptr<ProtocolClient>> nine;
    for (int i = 1; i <= 9; ++i)
        nine.push_back(player("P" + QString::number(i)));
    ProtocolClient tenth;
    ASSERT_TRUE(tenth.connectTo(port));
    EXPECT_TRUE(tenth.waitFor("CMD_full+"));
    EXPECT_TRUE(tenth.closedByHost());
    EXPECT_EQ(server.connectionCount(), 9);
    EXPECT_TRUE(stillServed(*nine[8], "P9"));
}
