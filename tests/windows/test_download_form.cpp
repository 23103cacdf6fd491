// The lobby download window against HTTP servers of the test's own on
// loopback; the "installer" it downloads is a small shell script that notes
// how it was started.
#include "ScriptedHttpServer.h"
#include "controls/SelButton.h"
#include "http/HttpClient.h"
#include "support/TestSupport.h"
#include "windows/DownloadForm.h"
#include "windows/JpegPicture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <gtest/gtest.h>

using namespace testsupport;
using Reply = ScriptedHttpServer::Reply;

namespace {

// An installer that notes its argument count, its arguments, its own path
// and the access rights of its folder.
QByteArray installer(const QString& marker) {
    return "#!/bin/sh\nprintf '%s|%s|%s|%s' \"$#\" \"$*\" \"$0\" \"$(stat -c %a \"${0%/*}\")\" > "
           "'" +
           marker.toLocal8Bit() + "'\n";
}

QByteArray answer(const QByteArray& body, qint64 announced) {
    return "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           QByteArray::number(announced) + "\r\n\r\n" + body;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Waits for the installer's note. The folder it ran from, which the game leaves to it, goes.
QList<QByteArray> installerRun(const QString& marker) {
    if (!waitFor([&] { return readFile(marker).count('|') == 3; }))
        return {};
    const QList<QByteArray> run = readFile(marker).split('|');
    QDir(QFileInfo(QString::fromLocal8Bit(run[2])).absolutePath()).removeRecursively();
    return run;
}

// The window, with its two status labels written down after every event of
// the HTTP client that it shows.
struct Window {
    std::unique_ptr<Tdownload> form;
    QStringList steps;
    int exits = 0;
    std::function<void()> onFirstData;

    explicit Window(const QString& url) {
        qputenv("DUNVEX_LOBBY_URL", url.toLocal8Bit());
        form = std::make_unique<Tdownload>();
        qunsetenv("DUNVEX_LOBBY_URL");
        form->onExitGame = [this] { ++exits; };
        THttpClient& http = *form->HttpClient1;
        const auto note = [this] {
            steps << form->infolabel->text() + " | " + form->infolabel3->text();
        };
        http.OnHeaderData = [original = http.OnHeaderData, note](THttpClient* sender) {
            original(sender);
            note();
        };
        http.OnDocBegin = [original = http.OnDocBegin, note](THttpClient* sender) {
            original(sender);
            note();
        };
        http.OnDocData = [this, original = http.OnDocData, note](THttpClient* sender,
                                                                 const char* data, qint64 size) {
            original(sender, data, size);
            note();
            if (onFirstData)
                QTimer::singleShot(0, std::exchange(onFirstData, nullptr));
        };
    }
    // As the player would: the click arrives through the event loop.
    void download(const QString& path) {
        form->HttpClient1->URL =
            form->HttpClient1->URL.left(form->HttpClient1->URL.lastIndexOf('/')) + path;
        form->getbutton->click();
    }
    QString status() const { return form->infolabel->text() + " | " + form->infolabel3->text(); }
};

class DownloadForm : public testing::Test {
protected:
    QTemporaryDir folder;
    QString marker(const char* name) const { return folder.filePath(QLatin1String(name)); }
    QString address(const ScriptedHttpServer& server, const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1/download/%2").arg(server.port()).arg(path);
    }
};

} // namespace

TEST_F(DownloadForm, AWholeDownloadShowsItsProgressAndRunsTheInstallerSilently) {
    const QByteArray body = installer(marker("ran"));
    ScriptedHttpServer server(
        [&](const QByteArray&, int) { return Reply{answer(body, body.size())}; });
    Window window(address(server, "KelvorLobbySetup.run"));
    window.form->getbutton->click();

    const QString size = QString::number(body.size());
    const QString name = "Downloading: KelvorLobbySetup.run";
    EXPECT_EQ(window.steps, QStringList({"Loading. | ", "Loading.. | ", "Loading... | ",
                                         "Loading... | " + name, size + " bytes | " + name}));
    EXPECT_EQ(window.status(), "Received " + size + " bytes | Installing");
    EXPECT_EQ(window.form->infolabelTag, 1);
    EXPECT_FALSE(window.form->progressbar->isHidden());
    EXPECT_EQ(window.form->progressbar->value(), window.form->progressbar->maximum());
    EXPECT_EQ(window.exits, 1);
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(server.requests()[0].startsWith("GET /download/KelvorLobbySetup.run HTTP/1.0\r\n"));
    EXPECT_TRUE(server.requests()[0].contains("\r\nUser-Agent: Mozilla/3.0 (compatible)\r\n"));

    const QList<QByteArray> run = installerRun(marker("ran"));
    ASSERT_EQ(run.size(), 4);
    EXPECT_EQ(run[0], "3");
    EXPECT_EQ(run[1], "/SP- /silent /noicons");
    // Saved in a folder of its own that only this user can enter.
    const QFileInfo saved(QString::fromLocal8Bit(run[2]));
    EXPECT_EQ(saved.fileName(), "KelvorLobbySetup.run");
    EXPECT_NE(saved.absolutePath(), QDir::currentPath());
    EXPECT_EQ(run[3], "700");
}

TEST_F(DownloadForm, AnErrorAnswerIsNotInstalled) {
    QByteArray header = "HTTP/1.0 404 Not Found\r\n";
    for (int line = 0; line < Tdownload::MaxLoadingDots; ++line)
        header += "X-Line: " + QByteArray::number(line) + "\r\n";
    ScriptedHttpServer server(
        [&](const QByteArray&, int) { return Reply{header + "\r\n" + installer(marker("ran"))}; });
    Window window(address(server, "KelvorLobbySetup.run"));
    window.form->getbutton->click();

    // One dot per header line, the status line included, up to the limit.
    ASSERT_GE(window.steps.size(), Tdownload::MaxLoadingDots + 1);
    EXPECT_EQ(window.steps[Tdownload::MaxLoadingDots - 1],
              "Loading" + QString(Tdownload::MaxLoadingDots, '.') + " | ");
    EXPECT_EQ(window.steps[Tdownload::MaxLoadingDots], window.steps[Tdownload::MaxLoadingDots - 1]);
    EXPECT_EQ(window.status(), "Download Aborted | Not Found");
    EXPECT_EQ(window.form->infolabelTag, 2);
    EXPECT_TRUE(window.form->progressbar->isHidden()); // no length announced
    EXPECT_TRUE(window.form->getbutton->isEnabled());
    EXPECT_FALSE(window.form->abortbutton->isEnabled());
    EXPECT_EQ(window.exits, 0);
}

TEST_F(DownloadForm, AShortenedDownloadIsNeverRun) {
    const QByteArray shortened = installer(marker("short"));
    const QByteArray whole = installer(marker("whole"));
    ScriptedHttpServer server([&](const QByteArray& request, int) {
        if (request.startsWith("GET /download/short "))
            return Reply{answer(shortened, shortened.size() + 1)};
        return Reply{answer(whole, whole.size())};
    });
    Window window(address(server, "short"));
    window.form->getbutton->click();
    EXPECT_EQ(window.status(),
              "Download Aborted | Connection closed before the end of the document");
    EXPECT_EQ(window.exits, 0);

    // A whole one afterwards runs; the shortened one never did.
    window.download("/whole");
    EXPECT_EQ(window.exits, 1);
    ASSERT_EQ(installerRun(marker("whole")).size(), 4);
    EXPECT_FALSE(QFile::exists(marker("short")));
}

TEST_F(DownloadForm, StopDownloadEndsItWithoutInstalling) {
    const QByteArray whole = installer(marker("whole"));
    ScriptedHttpServer server([&](const QByteArray& request, int) {
        if (request.startsWith("GET /download/held "))
            return Reply{answer(installer(marker("held")), 100000), ScriptedHttpServer::Hold};
        return Reply{answer(whole, whole.size())};
    });
    Window window(address(server, "held"));
    // Pressed while nothing runs: only the labels change.
    window.form->abortbutton->click();
    EXPECT_EQ(window.status(), "Download has been aborted. | Download Aborted");
    EXPECT_EQ(window.form->infolabelTag, 2);

    window.onFirstData = [&] { window.form->abortbutton->click(); };
    window.form->getbutton->click();
    EXPECT_TRUE(window.steps.last().startsWith(QString::number(installer(marker("held")).size())));
    EXPECT_EQ(window.status(), "Download Aborted | Download Aborted");
    EXPECT_TRUE(window.form->getbutton->isEnabled());
    EXPECT_FALSE(window.form->abortbutton->isEnabled());
    EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 1; }));

    // Closing the window stops a download too.
    window.onFirstData = [&] { window.form->close(); };
    window.download("/held");
    EXPECT_EQ(window.status(), "Download Aborted | Download Aborted");

    window.download("/whole");
    EXPECT_EQ(window.exits, 1);
    ASSERT_EQ(installerRun(marker("whole")).size(), 4);
    EXPECT_FALSE(QFile::exists(marker("held")));
}

TEST_F(DownloadForm, TheWindowMayGoWhileItDownloads) {
    ScriptedHttpServer server([&](const QByteArray&, int) {
        return Reply{answer("partial", 100000), ScriptedHttpServer::Hold};
    });
    Window window(address(server, "held"));
    window.onFirstData = [&] { window.form.reset(); };
    QTimer::singleShot(0, [&] { window.form->getbuttonClick(); });
    ASSERT_TRUE(waitFor([&] { return !window.form; }));
    EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 1; }));
}

TEST_F(DownloadForm, PlayWithOthersStartsTheInstalledLobbyAndEndsTheGame) {
    QFile lobby(folder.filePath("kelvor-lobby"));
    ASSERT_TRUE(lobby.open(QIODevice::WriteOnly));
    lobby.write("#!/bin/sh\nprintf '%s' \"$#\" > '" + marker("lobby").toLocal8Bit() + "'\n");
    lobby.close();
    lobby.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", folder.path().toLocal8Bit() + ':' + path);
    Window window(QStringLiteral("http://127.0.0.1/download/KelvorLobbySetup.run"));
    window.form->Button2->click();
    qputenv("PATH", path);
    EXPECT_EQ(window.exits, 1);
    EXPECT_TRUE(waitFor([&] { return readFile(marker("lobby")) == "0"; }));
}

TEST(JpegPicture, OnlyAWholePictureIsShown) {
    QFile file(QStringLiteral(":/download/kelvor-lobby.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray picture = file.readAll();
    EXPECT_EQ(windows::decodeJpeg(picture).size(), QSize(416, 234));
    EXPECT_TRUE(windows::decodeJpeg(picture.left(picture.size() / 2)).isNull());
    EXPECT_TRUE(windows::decodeJpeg("\xFF\xD8 not a picture").isNull());
    EXPECT_EQ(Tdownload().Image1->pixmap().size(), QSize(416, 234));
}
