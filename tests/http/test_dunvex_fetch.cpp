// The real dunvex-fetch program, run as a child process against a server of
// the test's own.
#include "ScriptedHttpServer.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;
using Reply = ScriptedHttpServer::Reply;

namespace {

struct FetchRun {
    int exitCode = -1;
    QString errors;
    QByteArray output;
};

FetchRun fetch(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(DUNVEX_PROGRAM_DIR "/dunvex-fetch"), arguments);
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
    EXPECT_TRUE(help.output.startsWith("usage: dunvex-fetch URL [-o FILE]"));
    EXPECT_EQ(fetch({}).exitCode, 2);
}
