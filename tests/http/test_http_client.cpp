// THttpClient against HTTP servers of the test's own on loopback.
#include "ScriptedHttpServer.h"
#include "http/HttpClient.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QTimer>
#include <future>
#include <gtest/gtest.h>

using namespace testsupport;
using Reply = ScriptedHttpServer::Reply;

namespace {

QString address(const ScriptedHttpServer& server, const char* path = "",
                const char* host = "127.0.0.1") {
    return QStringLiteral("http://%1:%2%3")
        .arg(QLatin1String(host))
        .arg(server.port())
        .arg(QLatin1String(path));
}

// The request line of a request head.
QByteArray requestLine(const QByteArray& request) {
    return request.left(request.indexOf("\r\n"));
}

// A client writing into a buffer, with every event written down by name.
struct Client {
    THttpClient http;
    QBuffer body;
    QStringList events;
    bool done = false;

    Client() {
        body.open(QIODevice::WriteOnly);
        http.ReceiveStream = &body;
        const auto note = [this](const QString& name) {
            return [this, name](THttpClient*) { events << name; };
        };
        http.OnStateChange = [this](THttpClient* sender) {
            events << QStringLiteral("state %1").arg(sender->State());
        };
        http.OnSessionConnected = note("SessionConnected");
        http.OnRequestHeaderBegin = note("RequestHeaderBegin");
        http.OnBeforeHeaderSend = [this](THttpClient*, const QString&, QStringList&) {
            events << "BeforeHeaderSend";
        };
        http.OnCommand = [this](THttpClient*, QString&) { events << "Command"; };
        http.OnRequestHeaderEnd = note("RequestHeaderEnd");
        http.OnHeaderBegin = note("HeaderBegin");
        http.OnHeaderData = note("HeaderData");
        http.OnHeaderEnd = note("HeaderEnd");
        http.OnLocationChange = note("LocationChange");
        http.OnDocBegin = note("DocBegin");
        http.OnDocData = [this](THttpClient*, const char*, qint64) { events << "DocData"; };
        http.OnDocEnd = note("DocEnd");
        http.OnRequestDone = [this](THttpClient*, THttpRequest, int) {
            events << "RequestDone";
            done = true;
        };
    }

    // Runs a GET; the failure's text and code, or nothing.
    std::optional<std::pair<QString, int>> get(const QString& url) {
        http.URL = url;
        done = false;
        try {
            http.Get();
        } catch (const EHttpException& failure) {
            return std::make_pair(QString::fromStdString(failure.what()), failure.code());
        }
        return std::nullopt;
    }
    bool waitForDone() {
        return waitFor([this] { return done; });
    }
};

std::pair<QString, int> failed(const char* text, int code) {
    return {QString::fromLatin1(text), code};
}

ScriptedHttpServer::Script always(const QByteArray& answer,
                                  ScriptedHttpServer::After after = ScriptedHttpServer::Close) {
    return [answer, after](const QByteArray&, int) { return Reply{answer, after}; };
}

} // namespace

TEST(HttpClient, PlainGetSendsFiveLinesAndReportsEveryStepInOrder) {
    ScriptedHttpServer server(always("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello"));
    Client client;

    EXPECT_EQ(client.get(address(server)), std::nullopt);

    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0],
              "GET / HTTP/1.0\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
              "User-Agent: Mozilla/4.0 (compatible)\r\n"
              "Host: 127.0.0.1\r\n"
              "\r\n");
    EXPECT_EQ(client.body.data(), "hello");
    EXPECT_EQ(client.http.StatusCode(), 200);
    EXPECT_EQ(client.http.ReasonPhrase(), "OK");
    EXPECT_EQ(client.http.ContentLength(), 5);
    ASSERT_TRUE(client.waitForDone());
    const QStringList expected{"state 1",
                               "state 3",
                               "state 4",
                               "state 2",
                               "SessionConnected",
                               "state 5",
                               "RequestHeaderBegin",
                               "BeforeHeaderSend",
                               "Command",
                               "Command",
                               "Command",
                               "Command",
                               "RequestHeaderEnd",
                               "Command",
                               "HeaderBegin",
                               "HeaderData",
                               "HeaderData",
                               "state 6",
                               "HeaderEnd",
                               "DocBegin",
                               "DocData",
                               "state 7",
                               "DocEnd",
                               "state 0",
                               "RequestDone"};
    EXPECT_EQ(client.events, expected);
}

TEST(HttpClient, LooksUpNamesAndSendsTheHostWithoutThePort) {
    ScriptedHttpServer server(always("HTTP/1.0 200 OK\r\n\r\nbody until the close"));
    Client client;

    EXPECT_EQ(client.get(address(server, "/dir/setup.exe?x=1", "localhost")), std::nullopt);

    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(requestLine(server.requests()[0]), "GET /dir/setup.exe?x=1 HTTP/1.0");
    EXPECT_TRUE(server.requests()[0].contains("\r\nHost: localhost\r\n"));
    EXPECT_EQ(client.http.DocName(), "setup.exe");
    EXPECT_EQ(client.body.data(), "body until the close");
    EXPECT_EQ(client.http.ContentLength(), -1);
}

TEST(HttpClient, SkipsContinueAnswers) {
    ScriptedHttpServer server(always("HTTP/1.1 100 Continue\r\n\r\n"
                                     "HTTP/1.1 200 Fine\r\nContent-Length: 2\r\n\r\nok"));
    Client client;

    EXPECT_EQ(client.get(address(server, "/")), std::nullopt);

    EXPECT_EQ(client.http.StatusCode(), 200);
    EXPECT_EQ(client.http.ReasonPhrase(), "Fine");
    EXPECT_EQ(client.http.ReceivedHeader(),
              QStringList({"HTTP/1.1 200 Fine", "Content-Length: 2"}));
    EXPECT_EQ(client.body.data(), "ok");
}

TEST(HttpClient, ErrorAnswerRaisesItsReason) {
    ScriptedHttpServer server(
        always("HTTP/1.0 404 Not Here Either\r\nContent-Length: 4\r\n\r\ngone"));
    Client client;

    EXPECT_EQ(client.get(address(server, "/x")), failed("Not Here Either", 404));
    EXPECT_EQ(client.http.State(), httpReady);
}

TEST(HttpClient, ZeroLengthAnswerHasNoDocument) {
    ScriptedHttpServer server(always("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"));
    Client client;

    EXPECT_EQ(client.get(address(server, "/empty")), std::nullopt);

    ASSERT_TRUE(client.waitForDone()); // the last event of the request
    EXPECT_FALSE(client.events.contains("DocBegin"));
    EXPECT_TRUE(client.events.contains("HeaderEnd"));
    EXPECT_TRUE(client.body.data().isEmpty());
}

TEST(HttpClient, PageWithoutHeaderIsTheDocument) {
    const QByteArray page = "<HtMl><body>hi</body>\r\n</html>\n";
    ScriptedHttpServer server(always(page));
    Client client;

    EXPECT_EQ(client.get(address(server, "/page")), std::nullopt);

    EXPECT_EQ(client.body.data(), page);
    EXPECT_EQ(client.http.ContentType(), "text/html");
    EXPECT_TRUE(client.http.ReceivedHeader().isEmpty());
    EXPECT_EQ(client.http.DocName(), "page.htm");
}

TEST(HttpClient, HeaderLinesUpTo8192BytesAreRead) {
    // 8192 bytes with the CR LF are kept; one more and the answer is refused.
    for (const int lineLength : {8192, 8193}) {
        const QByteArray line = "X-Pad: " + QByteArray(lineLength - 9, 'a') + "\r\n";
        ASSERT_EQ(line.size(), lineLength);
        ScriptedHttpServer server(
            always("HTTP/1.0 200 OK\r\n" + line + "Content-Length: 2\r\n\r\nok",
                   ScriptedHttpServer::Hold));
        Client client;

        const auto failure = client.get(address(server, "/"));

        if (lineLength == 8192) {
            EXPECT_EQ(failure, std::nullopt);
            EXPECT_EQ(client.body.data(), "ok");
        } else {
            EXPECT_EQ(failure, failed("HTTP line too long", 404));
            EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 1; }));
        }
    }
}

TEST(HttpClient, BrokenAnswersFail) {
    const std::pair<QByteArray, const char*> cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Le",
         "Connection closed before the end of the answer's header"},
        {"", "Connection closed before the end of the answer's header"},
        {"HELLO THERE\r\n\r\n", "Invalid HTTP status line"},
        {"HTTP/1.0 2x0 OK\r\n\r\n", "Invalid HTTP status line"},
        {"HTTP/1.0 200 OK\r\nContent-Length: 12a\r\n\r\n", "'12a' is not a valid integer value"},
        {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + QByteArray(40, 'x'),
         "Connection closed before the end of the document"},
    };
    for (const auto& [answer, reason] : cases) {
        ScriptedHttpServer server(always(answer));
        Client client;
        EXPECT_EQ(client.get(address(server, "/")), failed(reason, 404)) << answer.constData();
        EXPECT_EQ(client.http.State(), httpReady);
    }
}

TEST(HttpClient, RefusedConnectionFails) {
    Client client;
    const auto failure = client.get(QStringLiteral("http://127.0.0.1:%1/").arg(freeTcpPort()));
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->first.endsWith("Connection refused (Error #10061)"))
        << failure->first.toStdString();
    EXPECT_EQ(failure->second, 404);
    EXPECT_EQ(client.http.RequestDoneError(), 10061);
}

TEST(HttpClient, FollowsRelocationsOnTheSameAndOtherServers) {
    ScriptedHttpServer other(
        always("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nDATA", ScriptedHttpServer::KeepOpen));
    const QByteArray elsewhere = address(other, "/final/setup.exe").toLatin1();
    ScriptedHttpServer server([elsewhere](const QByteArray& request, int) {
        const QByteArray line = requestLine(request);
        if (line.startsWith("GET /start/setup.exe")) // its body must not become the document
            return Reply{"HTTP/1.1 302 Found\r\nLocation: /dir/b\r\nContent-Length: 10\r\n\r\n"
                         "MOVED-JUNK",
                         ScriptedHttpServer::KeepOpen};
        if (line.startsWith("GET /dir/b"))
            return Reply{"HTTP/1.1 301 Moved\r\nLocation: c?v=2\r\nContent-Length: 0\r\n\r\n",
                         ScriptedHttpServer::KeepOpen};
        return Reply{"HTTP/1.1 302 Found\r\nLocation: " + elsewhere + "\r\n\r\nmore junk",
                     ScriptedHttpServer::KeepOpen};
    });
    Client client;
    client.http.setRequestVer("1.1");

    EXPECT_EQ(client.get(address(server, "/start/setup.exe")), std::nullopt);

    QList<QByteArray> lines;
    for (const QByteArray& request : server.requests())
        lines << requestLine(request);
    EXPECT_EQ(lines, QList<QByteArray>({"GET /start/setup.exe HTTP/1.1", "GET /dir/b HTTP/1.1",
                                        "GET /dir/c?v=2 HTTP/1.1"}));
    // Only the answer without a body left its connection fit to carry on.
    EXPECT_EQ(server.connections(), 2);
    ASSERT_EQ(other.requests().size(), 1);
    EXPECT_EQ(requestLine(other.requests()[0]), "GET /final/setup.exe HTTP/1.1");
    EXPECT_EQ(client.body.data(), "DATA");
    EXPECT_EQ(client.events.count("LocationChange"), 3);
    EXPECT_EQ(client.http.Location(), QString::fromLatin1(elsewhere));
    EXPECT_EQ(client.http.DocName(), "setup.exe");
}

TEST(HttpClient, KeepsThePortOnRelocationsOverNewConnections) {
    ScriptedHttpServer server([](const QByteArray& request, int) {
        if (requestLine(request).startsWith("GET /a "))
            return Reply{"HTTP/1.0 302 Found\r\nLocation: /b\r\n\r\njunk of the first answer"};
        return Reply{"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nend"};
    });
    Client client;

    EXPECT_EQ(client.get(address(server, "/a")), std::nullopt);

    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(requestLine(server.requests()[1]), "GET /b HTTP/1.0");
    EXPECT_EQ(client.http.Location(), address(server, "/b"));
    EXPECT_EQ(client.body.data(), "end");
}

TEST(HttpClient, EndlessRelocationsStopAfterTwenty) {
    ScriptedHttpServer server(always("HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n"));
    Client client;

    EXPECT_EQ(client.get(address(server, "/")), failed("Too many relocations", 404));
    EXPECT_EQ(server.requests().size(), 21);
}

TEST(HttpClient, ReusesAConnectionOnlyWhileTheServerKeepsIt) {
    ScriptedHttpServer server([](const QByteArray& request, int) {
        if (requestLine(request).startsWith("GET /last"))
            return Reply{"HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nz"};
        return Reply{"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\na", ScriptedHttpServer::KeepOpen};
    });
    Client client;
    client.http.setRequestVer("1.1");

    for (const char* path : {"/one", "/two", "/last", "/after"})
        EXPECT_EQ(client.get(address(server, path)), std::nullopt) << path;

    EXPECT_EQ(server.requests().size(), 4);
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(client.body.data(), "aaza");
}

TEST(HttpClient, KeptConnectionClosedByTheServerIsReplaced) {
    auto requestsOnFirst = std::make_shared<std::atomic<int>>(0);
    ScriptedHttpServer server([requestsOnFirst](const QByteArray&, int connection) {
        if (connection == 1 && ++*requestsOnFirst == 2)
            return Reply{}; // closes as the second request arrives
        return Reply{"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nk", ScriptedHttpServer::KeepOpen};
    });
    Client client;
    client.http.setRequestVer("1.1");

    EXPECT_EQ(client.get(address(server, "/one")), std::nullopt);
    EXPECT_EQ(client.get(address(server, "/two")), std::nullopt);

    EXPECT_EQ(client.body.data(), "kk");
    EXPECT_EQ(server.requests().size(), 3);
    EXPECT_EQ(server.connections(), 2);
}

TEST(HttpClient, GetWaitsWithTheEventLoopRunning) {
    std::promise<void> released;
    std::shared_future<void> release = released.get_future().share();
    ScriptedHttpServer server([release](const QByteArray&, int) {
        release.wait(); // until a timer of the test's thread has run
        return Reply{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"};
    });
    Client client;
    QTimer::singleShot(0, [&] { released.set_value(); });

    EXPECT_EQ(client.get(address(server, "/")), std::nullopt);
    EXPECT_EQ(client.body.data(), "ok");
}

TEST(HttpClient, SecondGetWhileOneWaitsIsBusy) {
    ScriptedHttpServer server(always("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"));
    Client client;
    std::optional<std::pair<QString, int>> nested;
    client.http.OnDocBegin = [&](THttpClient*) { nested = client.get(address(server, "/")); };

    EXPECT_EQ(client.get(address(server, "/")), std::nullopt);

    EXPECT_EQ(nested, failed("HTTP component is busy", 1));
    EXPECT_EQ(client.body.data(), "ok");
    EXPECT_EQ(server.requests().size(), 1);
}

TEST(HttpClient, AbortDuringTheNameLookup) {
    ScriptedHttpServer server(always("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"));
    Client client;
    client.http.OnStateChange = [&](THttpClient* sender) {
        // Posted now, so it runs before the lookup's answer can arrive.
        if (sender->State() == httpDnsLookup)
            QTimer::singleShot(0, [&] { client.http.Abort(); });
    };

    EXPECT_EQ(client.get(address(server, "/", "localhost")),
              failed("Connection aborted on request", 404));
    EXPECT_EQ(client.http.RequestDoneError(), 3);

    // The aborted request never connected: the next one is the first to arrive.
    client.http.OnStateChange = nullptr;
    ASSERT_TRUE(TAsyncSocket::waitForLookups(5000));
    EXPECT_EQ(client.get(address(server, "/")), std::nullopt);
    EXPECT_EQ(server.connections(), 1);
}

TEST(HttpClient, AbortDuringTheBody) {
    ScriptedHttpServer server(
        always("HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n" + QByteArray(1000, 'b'),
               ScriptedHttpServer::Hold));
    Client client;
    client.http.OnDocData = [&](THttpClient* sender, const char*, qint64) { sender->Abort(); };

    EXPECT_EQ(client.get(address(server, "/big")), failed("Connection aborted on request", 404));

    EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 1; }));
    EXPECT_GT(client.http.ReceivedCount(), 0);
    EXPECT_LE(client.http.ReceivedCount(), 1000);
}

TEST(HttpClient, AbortWhileIdleReportsAtOnceAndChangesNothing) {
    ScriptedHttpServer server(always("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"));
    Client client;

    client.http.Abort();

    EXPECT_TRUE(client.done); // not posted: fired within the call
    EXPECT_EQ(client.http.StatusCode(), 200);
    EXPECT_EQ(client.http.ReasonPhrase(), "OK");
    EXPECT_EQ(client.get(address(server, "/")), std::nullopt);
    EXPECT_EQ(client.body.data(), "ok");
}

TEST(HttpClient, DocumentThatCannotBeWrittenFails) {
    ScriptedHttpServer server(
        always("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + QByteArray(100000, 'w'),
               ScriptedHttpServer::Hold));
    Client client;
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    client.http.ReceiveStream = &readOnly;

    const auto failure = client.get(address(server, "/"));

    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->first.startsWith("Can't write the document: "))
        << failure->first.toStdString();
    EXPECT_EQ(failure->second, 404);
    EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 1; }));
}
