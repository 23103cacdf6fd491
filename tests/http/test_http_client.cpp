// THttpClient against HTTP servers of the test's own on loopback.
#include "ScriptedHttpServer.h"
#include "http/HttpClient.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

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

TEST(HttpClient, SkipsUpToFiveInterimAnswersAndNoMore) {
    const QByteArray interim = "HTTP/1.1 100 Continue\r\nContent-Length: 7\r\n\r\n";
    const QByteArray final = "HTTP/1.1 200 Fine\r\nContent-Length: 2\r\n\r\nok";
    for (const int count : {5, 6}) {
        ScriptedHttpServer server(always(interim.repeated(count) + final));
        Client client;

        const auto failure = client.get(address(server, "/"));

        if (count == 5) {
            EXPECT_EQ(failure, std::nullopt);
            EXPECT_EQ(client.http.ReasonPhrase(), "Fine");
            EXPECT_EQ(client.http.ReceivedHeader(),
                      QStringList({"HTTP/1.1 200 Fine", "Content-Length: 2"}));
            EXPECT_EQ(client.body.data(), "ok");
        } else {
            EXPECT_EQ(failure, failed("Too many interim answers", 404));
        }
    }

    // An endless stream of them does not hold the request either.
    ScriptedHttpServer endless([interim](const QByteArray&, int) {
        return Reply{interim, ScriptedHttpServer::Close, [interim] { return interim; }};
    });
    Client client;
    EXPECT_EQ(client.get(address(endless, "/")), failed("Too many interim answers", 404));
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
        {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc",
         "Conflicting Content-Length lines"},
        {"HTTP/1.0 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n",
         "Unsupported transfer encoding"},
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

    // A port no socket can have fails at once, with the socket's error.
    EXPECT_EQ(client.get(QStringLiteral("http://127.0.0.1:65536/")),
              failed("can't connect: No Data (Error #11004)", 404));
    EXPECT_EQ(client.http.RequestDoneError(), 11004);
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

// A relocation to another server's bare address asks for its root; the
// address it names, credentials included, becomes the location.
TEST(HttpClient, RelocationToABareAddressAsksForTheRoot) {
    ScriptedHttpServer other(always("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nROOT"));
    const QByteArray bare = "http://u:p@127.0.0.1:" + QByteArray::number(other.port());
    ScriptedHttpServer server(always("HTTP/1.0 302 Found\r\nLocation: " + bare + "\r\n\r\n"));
    Client client;

    EXPECT_EQ(client.get(address(server, "/start")), std::nullopt);

    ASSERT_EQ(other.requests().size(), 1);
    EXPECT_EQ(requestLine(other.requests()[0]), "GET / HTTP/1.0");
    EXPECT_EQ(client.http.Location(), QString::fromLatin1(bare + '/'));
    EXPECT_EQ(client.body.data(), "ROOT");
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

// A chunked answer that also names a length, or that has bytes after its
// last chunk, is framed in a way not to be trusted: the next request goes
// over a new connection. A content range goes into the next request only
// when it is made of numbers.
TEST(HttpClient, AnswersFramedDoubtfullyAreNotReusedAndOnlyNumericRangesCarryOver) {
    ScriptedHttpServer server([](const QByteArray& request, int) {
        const QByteArray line = requestLine(request);
        const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n";
        if (line.startsWith("GET /a "))
            return Reply{chunked + "Content-Length: 1\r\n\r\n1\r\nx\r\n0\r\n\r\n",
                         ScriptedHttpServer::KeepOpen};
        if (line.startsWith("GET /b "))
            return Reply{chunked + "Set-Cookie: a=b\r\nContent-Range: bytes \rX-Evil: 1-2/3\r\n\r\n"
                                   "1\r\ny\r\n0\r\n\r\nmore",
                         ScriptedHttpServer::KeepOpen};
        const QByteArray letter = line.mid(5, 1);
        return Reply{"HTTP/1.1 200 OK\r\nContent-Range: bytes 0-0/9\r\nContent-Length: 1\r\n\r\n" +
                         letter,
                     ScriptedHttpServer::KeepOpen};
    });
    Client client;
    client.http.setRequestVer("1.1");
    QStringList cookies;
    client.http.OnCookie = [&](THttpClient*, const QString& cookie, bool&) { cookies << cookie; };

    for (const char* path : {"/a", "/b", "/c", "/d"})
        EXPECT_EQ(client.get(address(server, path)), std::nullopt) << path;

    EXPECT_EQ(client.body.data(), "xycd");
    EXPECT_EQ(server.connections(), 3) << "/c and /d share the third";
    EXPECT_EQ(cookies, QStringList{"a=b"});
    const QList<QByteArray> requests = server.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_FALSE(requests[2].contains("Range")) << requests[2].constData();
    EXPECT_FALSE(requests[2].contains("Evil")) << requests[2].constData();
    EXPECT_TRUE(requests[3].contains("\r\nRange: bytes=0-0\r\n")) << requests[3].constData();
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

TEST(HttpClient, ResetBeforeTheCloseFailsADocumentOfUnknownLength) {
    ScriptedHttpServer server(
        always("HTTP/1.0 200 OK\r\n\r\nthe first part", ScriptedHttpServer::Reset));
    Client client;

    EXPECT_EQ(client.get(address(server, "/")),
              failed("Connection lost before the end of the document: Connection reset by peer "
                     "(Error #10054)",
                     404));
    EXPECT_EQ(client.http.RequestDoneError(), 10054);
}

namespace {

// A chunked body of the document, in chunks of the sizes given, written the
// way servers do: hexadecimal in either case, an extension here and there.
QByteArray chunked(const QByteArray& document, const QList<int>& sizes, const QByteArray& trailer) {
    QByteArray body;
    qsizetype at = 0;
    for (int i = 0; at < document.size(); ++i) {
        const int size = int(std::min<qsizetype>(sizes[i % sizes.size()], document.size() - at));
        const QByteArray hex = QByteArray::number(size, 16);
        body += i % 2 ? hex.toUpper() + ";name=value" : hex;
        body += "\r\n" + document.mid(at, size) + "\r\n";
        at += size;
    }
    return body + "0\r\n" + trailer + "\r\n";
}

QByteArray trailerLines(int count) {
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines += "X-Trailer-" + QByteArray::number(i) + ": t\r\n";
    return lines;
}

} // namespace

TEST(HttpClient, ChunkedDocumentIsDecodedAndEndsWithItsLastChunk) {
    QByteArray document;
    for (int i = 0; i < 300000; ++i)
        document += char('a' + (i * 7 + i / 1000) % 26);
    const QByteArray body = chunked(document, {1, 70000, 5, 4096, 100003}, trailerLines(100));
    // Kept open: only the last chunk can end each document.
    ScriptedHttpServer server(always("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + body,
                                     ScriptedHttpServer::KeepOpen));
    Client client;
    client.http.setRequestVer("1.1");

    EXPECT_EQ(client.get(address(server, "/one")), std::nullopt);
    EXPECT_EQ(client.get(address(server, "/two")), std::nullopt);

    EXPECT_TRUE(client.body.data() == document + document);
    EXPECT_EQ(client.http.ReceivedCount(), document.size());
    EXPECT_EQ(client.http.ContentLength(), -1);
    EXPECT_EQ(server.connections(), 1);
}

TEST(HttpClient, MalformedChunkedDocumentsFail) {
    // A size line may take 1024 bytes with its CR LF.
    const QByteArray longest = "5;" + QByteArray(1024 - 4, 'x') + "\r\n";
    ASSERT_EQ(longest.size(), 1024);
    const std::pair<QByteArray, const char*> cases[] = {
        {longest + "hello\r\n0\r\n\r\n", nullptr},
        {"5;x" + longest.mid(2) + "hello\r\n0\r\n\r\n", "Malformed chunked document"},
        {"5\r\nhello\r\n0\r\n" + trailerLines(101) + "\r\n", "The answer's header is too long"},
        {"zz\r\nhello\r\n0\r\n\r\n", "Malformed chunked document"},
        {"5 x\r\nhello\r\n0\r\n\r\n", "Malformed chunked document"},
        {"8000000000000000\r\nhello\r\n", "Malformed chunked document"},
        {"5\r\nhelloX\r\n0\r\n\r\n", "Malformed chunked document"},
        {"5\r\nhello\r\n", "Connection closed before the end of the document"},
    };
    for (const auto& [body, reason] : cases) {
        ScriptedHttpServer server(
            always("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + body));
        Client client;
        const auto failure = client.get(address(server, "/"));
        if (!reason) {
            EXPECT_EQ(failure, std::nullopt);
            EXPECT_EQ(client.body.data(), "hello");
        } else {
            EXPECT_EQ(failure, failed(reason, 404)) << body.left(40).constData();
        }
    }
}

TEST(HttpClient, AnswerHeaderLimitsHoldExactlyAtTheBoundary) {
    // Lines, the status line included: 100 are read, 101 are not.
    for (const int lines : {100, 101}) {
        QByteArray header = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n";
        for (int i = 2; i < lines; ++i)
            header += "X-Line: " + QByteArray::number(i) + "\r\n";
        ScriptedHttpServer server(always(header + "\r\nok"));
        Client client;
        const auto failure = client.get(address(server, "/"));
        if (lines == 100) {
            EXPECT_EQ(failure, std::nullopt);
            EXPECT_EQ(client.http.ReceivedHeader().size(), 100);
        } else {
            EXPECT_EQ(failure, failed("The answer's header is too long", 404));
        }
    }
    // Bytes, from the status line to the empty line: 64 KiB are read, one more is not.
    for (const int size : {65536, 65537}) {
        const QByteArray start = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n";
        const int padding = size - int(start.size()) - 2;
        QByteArray header = start;
        for (int i = 0; i < 11; ++i) {
            const int line = padding / 11 + (i < padding % 11 ? 1 : 0);
            header += "X-Pad: " + QByteArray(line - 9, 'p') + "\r\n";
        }
        header += "\r\n";
        ASSERT_EQ(header.size(), size);
        ScriptedHttpServer server(always(header + "ok"));
        Client client;
        const auto failure = client.get(address(server, "/"));
        if (size == 65536)
            EXPECT_EQ(failure, std::nullopt);
        else
            EXPECT_EQ(failure, failed("The answer's header is too long", 404));
    }
    // Challenges: the first 20 are kept, the answer is still read.
    QByteArray challenges;
    QStringList first20;
    for (int i = 0; i < 21; ++i) {
        challenges += "WWW-Authenticate: Basic realm=\"r" + QByteArray::number(i) + "\"\r\n";
        if (i < 20)
            first20 << QStringLiteral("Basic realm=\"r%1\"").arg(i);
    }
    ScriptedHttpServer server(
        always("HTTP/1.0 401 Who\r\n" + challenges + "Content-Length: 0\r\n\r\n"));
    Client client;
    EXPECT_EQ(client.get(address(server, "/")), failed("Who", 401));
    EXPECT_EQ(client.http.AuthChallenges(), first20);
}

TEST(HttpClient, SilentAndTricklingServersFailAfterTheTimeLimit) {
    // A byte every 50 ms: far less than the progress asked for within a second.
    const auto trickle = [](const QByteArray& start) {
        return [start](const QByteArray&, int) {
            return Reply{start, ScriptedHttpServer::Close, [] {
                             std::this_thread::sleep_for(std::chrono::milliseconds(50));
                             return QByteArray("x");
                         }};
        };
    };
    const ScriptedHttpServer::Script servers[] = {
        always("", ScriptedHttpServer::Hold),
        trickle("HTTP/1.0 200 OK\r\nX-Slow: "),
        trickle("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n"),
    };
    for (const auto& script : servers) {
        const bool silent = &script == &servers[0];
        ScriptedHttpServer server(script);
        Client client;
        client.http.Timeout = 1;
        // Should the time limit fail, the test still ends.
        QTimer::singleShot(8000, &client.http, [&] { client.http.Abort(); });
        QElapsedTimer clock;
        clock.start();

        EXPECT_EQ(client.get(address(server, "/")), failed("The server stopped answering", 404));

        EXPECT_GE(clock.elapsed(), 1000);
        EXPECT_LT(clock.elapsed(), 4000);
        if (silent) {
            EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 1; }));
        }
    }
}

TEST(HttpClient, AnswersWithoutBodyEndAtOnceOnAKeptConnection) {
    ScriptedHttpServer server([](const QByteArray& request, int) {
        const QByteArray line = requestLine(request);
        if (line.startsWith("GET /none "))
            return Reply{"HTTP/1.1 204 No Content\r\n\r\n", ScriptedHttpServer::KeepOpen};
        if (line.startsWith("GET /same "))
            return Reply{"HTTP/1.1 304 Not Modified\r\n\r\n", ScriptedHttpServer::KeepOpen};
        return Reply{"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nz", ScriptedHttpServer::KeepOpen};
    });
    Client client;
    client.http.setRequestVer("1.1");
    client.http.Timeout = 5;
    QElapsedTimer clock;
    clock.start();

    for (const char* path : {"/none", "/same", "/last"})
        EXPECT_EQ(client.get(address(server, path)), std::nullopt) << path;

    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(client.body.data(), "z");
    EXPECT_EQ(server.connections(), 1);
}

TEST(HttpClient, FollowsLocationOnlyOnRelocationAnswersWhateverTheSchemesCase) {
    for (const int status : {200, 201, 300, 301, 302, 303, 304, 307, 308}) {
        auto port = std::make_shared<std::atomic<int>>(0);
        ScriptedHttpServer server([status, port](const QByteArray& request, int) {
            if (requestLine(request).startsWith("GET /moved "))
                return Reply{"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nmoved"};
            return Reply{"HTTP/1.0 " + QByteArray::number(status) +
                         " Somewhere\r\nLocation: HTTP://127.0.0.1:" + QByteArray::number(*port) +
                         "/moved\r\nContent-Length: 0\r\n\r\n"};
        });
        *port = server.port();
        Client client;

        EXPECT_EQ(client.get(address(server, "/start")), std::nullopt) << status;

        const bool relocation = QList<int>({301, 302, 303, 307, 308}).contains(status);
        QList<QByteArray> lines;
        for (const QByteArray& request : server.requests())
            lines << requestLine(request);
        if (relocation)
            EXPECT_EQ(lines, QList<QByteArray>({"GET /start HTTP/1.0", "GET /moved HTTP/1.0"}))
                << status;
        else
            EXPECT_EQ(lines, QList<QByteArray>({"GET /start HTTP/1.0"})) << status;
        EXPECT_EQ(client.body.data(), relocation ? "moved" : "") << status;
    }
}

TEST(HttpClient, RefusesOtherProtocolsAndAddressesThatWouldBreakTheRequest) {
    const std::pair<QByteArray, const char*> cases[] = {
        {"ftp://127.0.0.1/file", "Unsupported protocol"},
        {"FILE:///etc/passwd", "Unsupported protocol"},
        {"javascript:alert(1)", "Unsupported protocol"},
        {"/next\rX-Injected: yes", "Invalid relocation address"},
        {QByteArray("/next\0X-Injected: yes", 21), "Invalid relocation address"},
    };
    for (const auto& [location, reason] : cases) {
        ScriptedHttpServer server([location](const QByteArray& request, int) {
            if (requestLine(request).startsWith("GET /barrier "))
                return Reply{"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"};
            return Reply{"HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n"};
        });
        Client client;

        EXPECT_EQ(client.get(address(server, "/start")), failed(reason, 404));
        // Requests arrive in order: nothing came between the first and this one.
        EXPECT_EQ(client.get(address(server, "/barrier")), std::nullopt);

        ASSERT_EQ(server.requests().size(), 2) << location.constData();
        EXPECT_EQ(requestLine(server.requests()[1]), "GET /barrier HTTP/1.0");
        EXPECT_FALSE(server.requests()[0].contains("X-Injected"));
    }

    // The address given at the start is held to the same rule.
    ScriptedHttpServer server(always("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"));
    Client client;
    EXPECT_EQ(client.get(QStringLiteral("ftp://127.0.0.1:%1/").arg(server.port())),
              failed("Unsupported protocol", 404));
    EXPECT_EQ(client.get(address(server, "/barrier")), std::nullopt);
    EXPECT_EQ(server.requests().size(), 1);
}

// No TLS here: "https" is only a name, and the server answers in plain text.
TEST(HttpClient, CredentialsStayWithTheServerTheyWereGivenFor) {
    ScriptedHttpServer other(always("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nDATA"));
    const QByteArray elsewhere = address(other, "/final").toLatin1();
    auto port = std::make_shared<std::atomic<int>>(0);
    ScriptedHttpServer server([port, elsewhere](const QByteArray& request, int) {
        const QByteArray line = requestLine(request);
        QByteArray location = elsewhere;
        if (line.startsWith("GET /here "))
            location = "/there";
        else if (line.startsWith("GET /there "))
            location = "http://localhost:" + QByteArray::number(*port) + "/by-name";
        return Reply{"HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n"};
    });
    *port = server.port();
    const QByteArray authorization = "\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\n";

    // From the address, and from the properties.
    for (const bool inAddress : {true, false}) {
        Client client;
        QString url = address(server, "/here");
        if (inAddress) {
            url.replace("http://", "http://user:secret@");
        } else {
            client.http.Username = QStringLiteral("user");
            client.http.Password = QStringLiteral("secret");
        }
        const int before = int(server.requests().size());

        EXPECT_EQ(client.get(url), std::nullopt);

        const QList<QByteArray> requests = server.requests().mid(before);
        ASSERT_EQ(requests.size(), 3);
        EXPECT_TRUE(requests[0].contains(authorization));
        EXPECT_TRUE(requests[1].contains(authorization)); // the same server
        EXPECT_FALSE(requests[2].contains("Authorization")) << "another host name";
        EXPECT_EQ(client.body.data(), "DATA");
    }
    ASSERT_EQ(other.requests().size(), 2);
    for (const QByteArray& request : other.requests())
        EXPECT_FALSE(request.contains("Authorization")) << "another port";
}
