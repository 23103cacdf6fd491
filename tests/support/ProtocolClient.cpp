#include "support/ProtocolClient.h"

namespace testsupport {

bool ProtocolClient::connectTo(std::uint16_t port, const char* address, int receiveBuffer) {
    return m_socket.connectTo(address, port, receiveBuffer);
}

int ProtocolClient::waitForGreeting(int milliseconds) {
    const QByteArray greeting = waitForPrefix("CMD_sendlogininfo+", milliseconds);
    m_slot = greeting.isEmpty() ? 0 : greeting.mid(18).toInt();
    return m_slot;
}

void ProtocolClient::login(int slot, const QString& name, const QString& version) {
    send("CMD_logininfo+" + QByteArray::number(slot) + '+' + version.toLatin1() + '+' +
         name.toLatin1() + char(0xFF));
}

bool ProtocolClient::send(const QByteArray& message) {
    return m_socket.sendAll(message + char(0xFF));
}

const QByteArrayList& ProtocolClient::messages() {
    m_remainder += m_socket.readAvailable();
    qsizetype end;
    while ((end = m_remainder.indexOf(char(0xFF))) >= 0) {
        m_messages.append(m_remainder.left(end));
        m_remainder.remove(0, end + 1);
    }
    return m_messages;
}

bool ProtocolClient::waitFor(const QByteArray& message, int milliseconds) {
    return testsupport::waitFor([&] { return messages().contains(message); }, milliseconds);
}

QByteArray ProtocolClient::waitForPrefix(const QByteArray& prefix, int milliseconds) {
    QByteArray found;
    testsupport::waitFor(
        [&] {
            for (const QByteArray& message : messages())
                if (message.startsWith(prefix)) {
                    found = message;
                    return true;
                }
            return false;
        },
        milliseconds);
    return found;
}

} // namespace testsupport
