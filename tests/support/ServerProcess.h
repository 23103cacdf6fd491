#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <sys/resource.h>

namespace testsupport {

// Descriptor limits for a child, set between fork and exec.
struct DescriptorLimit {
    rlim_t soft = 0; // 0: the limits are inherited
    rlim_t hard = 0;
};

// How the server is started beyond its arguments.
struct ServerLaunch {
    QString port; // DUNVEX_PORT; empty: a free port, never the game's own
    DescriptorLimit limit;
    QString loggingRules; // QT_LOGGING_RULES, when set
};

// The real dunvex-server as a child process, its standard output and error
// kept apart. Stopped as a service manager would, so it leaves its coverage
// counters; killed only if that fails.
class ServerProcess {
public:
    explicit ServerProcess(const QStringList& arguments, const ServerLaunch& launch = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    QString out();
    QString err();
    bool waitForOut(const QString& text, int milliseconds = 10000);
    bool waitForExit(int milliseconds = 5000);
    // Exit code of a normal exit; -1 when it died of a signal.
    int exitCode() const;
    qint64 pid() const { return m_process.processId(); }
    void terminate() { m_process.terminate(); }

private:
    QProcess m_process;
    QString m_out;
    QString m_err;
};

} // namespace testsupport
