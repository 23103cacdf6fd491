#pragma once

#include "game/RandomGenerator.h"
#include "host/ServerForm.h"
#include "support/ProtocolClient.h"

#include <deque>
#include <gtest/gtest.h>

namespace testsupport {

// A real host listening on loopback whose dice the test chooses: the next
// rolls show the faces queued in `faces`, then the seeded generator's.
class DiceHostTest : public testing::Test {
protected:
    static constexpr int Long = 600000; // a bot speed no test waits out

    void startHost(std::uint32_t seed) {
        TRandomGenerator::shared().seed(seed);
        server.setBotSpeedSource([this] { return speed; });
        server.faceSource = [this] {
            if (faces.empty())
                return TRandomGenerator::shared().face();
            const int face = faces.front();
            faces.pop_front();
            return face;
        };
        server.Sock1.setPortName(QString::number(port));
        server.Sock1.setListen(true);
    }

    void passThePause() {
        for (int tick = 0; tick < 3; ++tick)
            server.timer_pauserTimer();
    }

    static int count(ProtocolClient& client, const QByteArray& prefix) {
        int found = 0;
        for (const QByteArray& message : client.messages())
            found += message.startsWith(prefix) ? 1 : 0;
        return found;
    }

    TServer server;
    std::uint16_t port = freeTcpPort();
    std::deque<int> faces;
    int speed = Long;
};

} // namespace testsupport
