// The host's slot table over real loopback connections.
#include "host/ServerForm.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <vector>

using namespace testsupport;

namespace {

struct RunningHost {
    TServer server;
    std::uint16_t port = freeTcpPort();

    RunningHost() {
        server.Sock1.setPortName(QString::number(port));
        server.Sock1.setListen(true);
    }

    // Connects a raw client and waits until the host has given it a slot.
    RawSocket join(int* slot = nullptr) {
        QSignalSpy taken(&server, &TServer::slotTaken);
        RawSocket client;
        client.connectTo("127.0.0.1", port);
        waitFor([&] { return taken.count() == 1; });
        if (slot)
            *slot = taken.isEmpty() ? 0 : taken.first().first().toInt();
        return client;
    }

    bool waitFreed(int slot) {
        return waitFor([&] { return !server.players[slot].inuse; });
    }
};

} // namespace

TEST(ServerSlots, FreedSlotIsReusedWithItsGameFieldsAndTheCountOnlyGrows) {
    RunningHost host;
    std::vector<RawSocket> clients;
    for (int expected = 1; expected <= 5; ++expected) {
        int slot = 0;
        clients.push_back(host.join(&slot));
        ASSERT_EQ(slot, expected);
    }
    host.server.players[3].total = 42;
    host.server.players[3].turns = 7;
    host.server.players[3].name = QStringLiteral("Ann");
    clients[2].close();
    ASSERT_TRUE(host.waitFreed(3));
    EXPECT_TRUE(host.server.players[3].name.isEmpty());
    EXPECT_EQ(host.server.slotcount, 5);

    int slot = 0;
    RawSocket newcomer = host.join(&slot);
    EXPECT_EQ(slot, 3);
    EXPECT_EQ(host.server.players[3].total, 42) << "the newcomer carries on with the seat";
    EXPECT_EQ(host.server.players[3].turns, 7);
    EXPECT_EQ(host.server.slotcount, 5);
}

TEST(ServerSlots, TenthConnectionIsDroppedAndAFreedSlotIsGivenAgain) {
    RunningHost host;
    std::vector<RawSocket> clients;
    for (int i = 0; i < 9; ++i)
        clients.push_back(host.join());
    ASSERT_EQ(host.server.connectionCount(), 9);

    RawSocket tenth;
    ASSERT_TRUE(tenth.connectTo("127.0.0.1", host.port));
    EXPECT_TRUE(tenth.peerClosed()) << "the tenth connection must be dropped";
    EXPECT_EQ(host.server.connectionCount(), 9);
    EXPECT_EQ(host.server.slotcount, 9);

    clients[6].reset(); // an abrupt departure frees the slot as well
    ASSERT_TRUE(host.waitFreed(7));
    int slot = 0;
    RawSocket late = host.join(&slot);
    EXPECT_EQ(slot, 7);
    EXPECT_EQ(host.server.connectionCount(), 9);
}

TEST(ServerSlots, GarbageAndVanishingPeersLeaveTheOthersServed) {
    RunningHost host;
    RawSocket steady = host.join();
    RawSocket noisy = host.join();
    QByteArray junk;
    for (int i = 0; i < 200000; ++i)
        junk += char((i * 131) ^ (i >> 3));
    ASSERT_TRUE(noisy.sendAll(junk));
    noisy.reset();
    ASSERT_TRUE(host.waitFreed(2));
    EXPECT_TRUE(host.server.players[1].inuse);

    int slot = 0;
    RawSocket next = host.join(&slot);
    EXPECT_EQ(slot, 2);
}
