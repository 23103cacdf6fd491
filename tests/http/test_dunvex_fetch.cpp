// The real dunvex-fetch program, run as a child process against a server of
// the test's own.
#include "ScriptedHttpServer.h"
#include "TestCertificates.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <future>
#include <gtest/gtest.h>

using namespace testsupport;
using Reply = ScriptedHttpServer::Reply;

namespace {

struct FetchRun {
    int exitCode = -1;
    QString errors;
    QByteArray output;
};

// started: told the child's process id once it runs; caFileVariable: the
// child's DUNVEX_CA_FILE (none when empty).
FetchRun fetch(const QStringList& arguments, const std::function<void(qint64)>& started = nullptr,
               const QString& caFileVariable = QString()) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DUNVEX_CA_FILE"));
    if (!caFileVariable.isEmpty())
        environment.insert(QStringLiteral("DUNVEX_CA_FILE"), caFileVariable);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(DUNVEX_PROGRAM_DIR "/dunvex-fetch"), arguments);
    if (started)
        started(process.waitForStarted() ? process.processId() : 0);
    FetchRun run;
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, 20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    run.output = process.readAllStandardOutput();
    return run;
}

// The peak resident size of a running process so far, in KiB (0 when gone).
qint64 peakMemory(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

ScriptedHttpServer::Script byPath() {
    return [](const QByteArray& request, int) {
        if (request.startsWith("GET /whole "))
            return Reply{"HTTP/1.0 200 OK\r\nContent-Length: 300000\r\n\r\n" +
                         QByteArray(300000, 'w')};
        if (request.startsWith("GET /short "))
            return Reply{"HTTP/1.0 200 OK\r\nContent-Length: 300000\r\n\r\n" +
                         QByteArray(299999, 's')};
        return Reply{"HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\ngone"};
    };
}

} // namespace

TEST(DunvexFetch, WritesTheWholeDocumentAndFailsLeavingNoFile) {
    ScriptedHttpServer server(byPath());
    QTemporaryDir folder;
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    const QString target = folder.filePath(QStringLiteral("out.bin"));

    const FetchRun whole = fetch({base + "/whole", "-o", target});
    EXPECT_EQ(whole.exitCode, 0) << whole.errors.toStdString();
    EXPECT_TRUE(whole.errors.contains("300000 of 300000 bytes (100 %)"));
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(300000, 'w'));
    file.close();

    ASSERT_TRUE(QFile::remove(target));
    for (const char* path : {"/short", "/missing"}) {
        const FetchRun failed = fetch({base + path, "-o", target});
        EXPECT_EQ(failed.exitCode, 1) << path;
        EXPECT_TRUE(failed.errors.contains("dunvex-fetch: failed: "))
            << failed.errors.toStdString();
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList()) << path;
    }
}

TEST(DunvexFetch, WritesToStandardOutputAndExplainsItself) {
    ScriptedHttpServer server(byPath());

    const FetchRun whole = fetch({QStringLiteral("http://127.0.0.1:%1/whole").arg(server.port())});
    EXPECT_EQ(whole.exitCode, 0);
    EXPECT_EQ(whole.output, QByteArray(300000, 'w'));

    const FetchRun help = fetch({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(
        help.output.startsWith("usage: dunvex-fetch URL [-o FILE] [--timeout S] [--cacert FILE]"));
    EXPECT_EQ(fetch({}).exitCode, 2);
    EXPECT_EQ(fetch({"http://127.0.0.1/", "--timeout", "-1"}).exitCode, 2);
    EXPECT_EQ(fetch({"http://127.0.0.1/", "--timeout", "1s"}).exitCode, 2);
}

TEST(DunvexFetch, ResetOrSilenceFailsLeavingNoFile) {
    ScriptedHttpServer server([](const QByteArray& request, int) {
        if (request.startsWith("GET /reset "))
            return Reply{"HTTP/1.0 200 OK\r\n\r\n" + QByteArray(100000, 'r'),
                         ScriptedHttpServer::Reset};
        return Reply{"", ScriptedHttpServer::Hold};
    });
    QTemporaryDir folder;
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    const QString target = folder.filePath(QStringLiteral("out.bin"));

    const FetchRun reset = fetch({base + "/reset", "-o", target});
    EXPECT_EQ(reset.exitCode, 1);
    EXPECT_TRUE(reset.errors.contains("Connection reset by peer")) << reset.errors.toStdString();

    QElapsedTimer clock;
    clock.start();
    const FetchRun silent = fetch({base + "/silent", "-o", target, "--timeout", "1"});
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_TRUE(silent.errors.contains("dunvex-fetch: failed: The server stopped answering"))
        << silent.errors.toStdString();
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList());
}

TEST(DunvexFetch, EndlessHeaderFailsWithinBoundedMemory) {
    constexpr qint64 Limit = 64 * 1024; // KiB
    std::promise<qint64> started;
    std::shared_future<qint64> child = started.get_future().share();
    std::atomic<qint64> atRequest{0};
    std::atomic<qint64> peak{0};
    ScriptedHttpServer server([&](const QByteArray&, int) {
        const qint64 pid = child.get();
        atRequest = peakMemory(pid);
        const QByteArray lines =
            QByteArray("X-Pad: " + QByteArray(1000, 'p') + "\r\n").repeated(1000);
        auto sent = std::make_shared<qint64>(0);
        // Up to 300 MB, or until the client has grown well past the limit.
        return Reply{"HTTP/1.0 200 OK\r\n", ScriptedHttpServer::Close, [&, pid, lines, sent] {
                         peak = std::max<qint64>(peak, peakMemory(pid));
                         *sent += lines.size();
                         if (peak - atRequest > 2 * Limit || *sent > 300'000'000)
                             return QByteArray();
                         return lines;
                     }};
    });

    const FetchRun run = fetch({QStringLiteral("http://127.0.0.1:%1/").arg(server.port())},
                               [&](qint64 pid) { started.set_value(pid); });

    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains("The answer's header is too long")) << run.errors.toStdString();
    EXPECT_GT(atRequest, 0);
    EXPECT_LT(peak - atRequest, Limit);
}

TEST(DunvexFetch, FetchesOverHttpsWithTheCaFileGiven) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << certificates.errors().toStdString();
    ScriptedHttpServer server(byPath(), certificates.localhost().certificate,
                              certificates.localhost().key);
    QTemporaryDir folder;
    const QString url = QStringLiteral("https://localhost:%1/whole").arg(server.port());
    const QString target = folder.filePath(QStringLiteral("out.bin"));

    const FetchRun given = fetch({url, "--cacert", certificates.caFile(), "-o", target});
    EXPECT_EQ(given.exitCode, 0) << given.errors.toStdString();
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == QByteArray(300000, 'w'));
    file.close();

    const FetchRun fromEnvironment = fetch({url}, nullptr, certificates.caFile());
    EXPECT_EQ(fromEnvironment.exitCode, 0) << fromEnvironment.errors.toStdString();
    EXPECT_EQ(fromEnvironment.output.size(), 300000);

    const FetchRun untrusted = fetch({url});
    EXPECT_EQ(untrusted.exitCode, 1);
    EXPECT_TRUE(untrusted.errors.contains(
        "dunvex-fetch: failed: The server's certificate is not trusted\n"))
        << untrusted.errors.toStdString();
    EXPECT_TRUE(untrusted.output.isEmpty());
}
