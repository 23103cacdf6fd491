#include "support/ServerProcess.h"

#include "support/TestSupport.h"

#include <fcntl.h>
#include <unistd.h>

namespace testsupport {

ServerProcess::ServerProcess(const QStringList& arguments, const ServerLaunch& launch) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DUNVEX_PORT"),
                       launch.port.isEmpty() ? QString::number(freeTcpPort()) : launch.port);
    if (!launch.loggingRules.isEmpty())
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), launch.loggingRules);
    m_process.setProcessEnvironment(environment);
    if (const DescriptorLimit limit = launch.limit; limit.soft != 0)
        m_process.setChildProcessModifier([limit] {
            // Only the server's own descriptors count: none the test (or
            // whatever started it) would pass on.
            for (int fd = 3; fd < 1024; ++fd) {
                const int flags = ::fcntl(fd, F_GETFD);
                if (flags >= 0 && !(flags & FD_CLOEXEC))
                    ::close(fd);
            }
            const struct rlimit value { limit.soft, limit.hard };
            ::setrlimit(RLIMIT_NOFILE, &value);
        });
    m_process.start(QStringLiteral(DUNVEX_PROGRAM_DIR "/dunvex-server"), arguments);
    m_process.waitForStarted();
}

ServerProcess::~ServerProcess() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString ServerProcess::out() {
    m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
    return m_out;
}

QString ServerProcess::err() {
    m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_err;
}

bool ServerProcess::waitForOut(const QString& text, int milliseconds) {
    return waitFor([&] { return out().contains(text); }, milliseconds);
}

bool ServerProcess::waitForExit(int milliseconds) {
    return waitFor([this] { return m_process.state() == QProcess::NotRunning; }, milliseconds);
}

int ServerProcess::exitCode() const {
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

} // namespace testsupport
