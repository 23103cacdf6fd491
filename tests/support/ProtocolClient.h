#pragma once

#include "support/TestSupport.h"

#include <QByteArrayList>

namespace testsupport {

// A raw peer that speaks the game's protocol by hand: it sends whatever bytes
// a test wants and collects the host's messages, terminators removed.
class ProtocolClient {
public:
    // Connects and, unless told otherwise, waits for the host's greeting.
    bool connectTo(std::uint16_t port, const char* address = "127.0.0.1", int receiveBuffer = 0);
    // The slot the greeting gave ("CMD_sendlogininfo+N"), 0 without one.
    int waitForGreeting(int milliseconds = 5000);
    // Logs in as the given slot (normally the greeted one).
    void login(int slot, const QString& name, const QString& version = QStringLiteral("1.0.3"));

    // Sends text followed by one terminator.
    bool send(const QByteArray& message);
    bool sendRaw(const QByteArray& bytes) { return m_socket.sendAll(bytes); }

    // Collects whatever has arrived.
    const QByteArrayList& messages();
    // Waits until a message equal to `message` has arrived.
    bool waitFor(const QByteArray& message, int milliseconds = 5000);
    // Waits until a message starting with `prefix` has arrived; returns it.
    QByteArray waitForPrefix(const QByteArray& prefix, int milliseconds = 5000);
    bool has(const QByteArray& message) { return messages().contains(message); }
    void clear() { m_messages.clear(); }
    bool closedByHost(int milliseconds = 5000) { return m_socket.peerClosed(milliseconds); }

    RawSocket& socket() { return m_socket; }
    int slot() const { return m_slot; }

private:
    RawSocket m_socket;
    QByteArray m_remainder;
    QByteArrayList m_messages;
    int m_slot = 0;
};

} // namespace testsupport
