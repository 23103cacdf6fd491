#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <memory>
#include <netinet/in.h>
#include <ostream>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace testsupport {

// Waits, running the event loop, until the condition holds or the time is up.
template <typename Condition> bool waitFor(Condition condition, int milliseconds = 5000) {
    return QTest::qWaitFor(condition, milliseconds);
}

// The IPv4 socket address of a dotted address and a port.
sockaddr_in addressOf(const char* address, std::uint16_t port);

// A TCP port on 127.0.0.1 that nothing listened on a moment ago.
std::uint16_t freeTcpPort();

// True when this machine can listen on the IPv6 loopback address ::1; tests of
// IPv6 skip without it.
bool ipv6LoopbackWorks();

// A plain blocking BSD socket, the way a foreign peer would talk to the game.
class RawSocket {
public:
    RawSocket() = default;
    explicit RawSocket(int fd)
        : m_fd(fd) {}
    ~RawSocket();
    RawSocket(RawSocket&& other) noexcept;
    RawSocket& operator=(RawSocket&& other) noexcept;

    // Connects to address:port (IPv4 or IPv6, numeric), with a receive buffer of that many bytes
    // when given, from the local address `from` if given; false when refused.
    bool connectTo(const char* address, std::uint16_t port, int receiveBuffer = 0,
                   const char* from = nullptr);
    // Listens on address:port (IPv4 or IPv6, numeric; port 0: any free port).
    bool listenOn(const char* address, std::uint16_t port);
    std::uint16_t localPort() const;
    // Waits up to the time given for a connection on a listening socket.
    RawSocket accept(int milliseconds = 5000);

    bool isValid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    void setReceiveBuffer(int bytes);
    // Bytes arrived and not read yet.
    qsizetype pendingBytes() const;
    bool sendAll(const QByteArray& bytes);
    // Sends what the network takes now, without waiting; returns how much.
    qsizetype sendSome(const QByteArray& bytes);
    // Reads what has arrived without waiting; empty when nothing.
    QByteArray readAvailable();
    // Reads until count bytes arrived or the time is up.
    QByteArray readExactly(qsizetype count, int milliseconds = 5000);
    // True once the peer has closed (and everything it sent has been read).
    bool peerClosed(int milliseconds = 5000);
    void close();
    // Closes with a reset instead of an orderly close.
    void reset();

private:
    int m_fd = -1;
    bool m_peerClosed = false;
};

// The real game program run as a child process, headless, with its own port,
// instance key and data folder, and its trace switched on.
class ChildProgram {
public:
    ChildProgram(const QString& program, std::uint16_t port, const QString& instance,
                 const QString& home);
    ~ChildProgram();

    void setEnvironment(const QString& name, const QString& value);
    void start(const QStringList& arguments = {});
    bool waitForOutput(const QString& text, int milliseconds = 10000);
    bool hasOutput(const QString& text) const { return m_output.contains(text); }
    bool waitForExit(int milliseconds = 10000);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    int exitCode() const { return m_process.exitCode(); }
    void kill();
    QString output() const { return m_output; }

private:
    QProcess m_process;
    QProcessEnvironment m_environment;
    QString m_program;
    QString m_output;
};

QString gameProgram();

} // namespace testsupport
