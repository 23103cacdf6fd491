// The lobby download window against HTTP servers of the test's own on
// loopback; the "installer" it downloads is a small shell script that notes
// how it was started, signed with a key the test makes.
#include "ScriptedHttpServer.h"
#include "controls/SelButton.h"
#include "http/HttpClient.h"
#include "platform/Signature.h"
#include "support/SigningKey.h"
#include "support/TestSupport.h"
#include "windows/DownloadForm.h"
#include "windows/JpegPicture.h"

#include <QAbstractButton>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
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

const QString Unverified = QStringLiteral("The download could not be verified, so it was not run.");

// The window, with its two status labels written down after every event of
// the HTTP client that it shows.
struct Window {
    std::unique_ptr<Tdownload> form;
    QStringList steps;
    int exits = 0;
    std::function<void()> onFirstData;
    std::function<void()> onSignatureData;

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
            std::function<void()>& hook =
                sender->URL.endsWith(".sig") ? onSignatureData : onFirstData;
            if (hook)
                QTimer::singleShot(0, std::exchange(hook, nullptr));
        };
    }
    // As the player would: the click arrives through the event loop.
    void download(const QString& path) {
        form->HttpClient1->URL =
            form->HttpClient1->URL.left(form->HttpClient1->URL.lastIndexOf('/')) + path;
        form->getbutton->click();
    }
    QString status() const { return form->infolabel->text() + " | " + form->infolabel3->text(); }
    bool alarming() const {
        return form->infolabel->palette().color(QPalette::WindowText) == QColor(Qt::red);
    }
    QMessageBox* closingBox() const {
        return form->findChild<QMessageBox*>(QStringLiteral("closingbox"));
    }
};

// A web site of files: each path is answered with its file, or 404.
struct Site {
    QMap<QByteArray, QByteArray> files;
    ScriptedHttpServer server{[this](const QByteArray& request, int) {
        const QByteArray path = request.mid(4, request.indexOf(' ', 4) - 4);
        if (!files.contains(path))
            return Reply{"HTTP/1.0 404 Not Found\r\n\r\n"};
        return Reply{answer(files[path], files[path].size())};
    }};
};

class DownloadForm : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(maker.isValid() && stranger.isValid());
        qputenv("DUNVEX_LOBBY_KEY", maker.publicKeyPath().toLocal8Bit());
        // The window's private download folders land where the test can see them.
        ASSERT_TRUE(QDir(folder.path()).mkdir("downloads"));
        savedTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", downloads().toLocal8Bit());
    }
    void TearDown() override {
        qunsetenv("DUNVEX_LOBBY_KEY");
        qputenv("TMPDIR", savedTemp);
    }

    QString marker(const char* name) const { return folder.filePath(QLatin1String(name)); }
    QString downloads() const { return folder.filePath("downloads"); }
    QString address(const ScriptedHttpServer& server, const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1/download/%2").arg(server.port()).arg(path);
    }
    // Every file under the download folders, by name.
    QStringList downloadedFiles() const {
        QStringList names;
        QDirIterator files(downloads(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext())
            names << QFileInfo(files.next()).fileName();
        return names;
    }
    // An installer with its maker's signature beside it.
    void publish(Site& site, const QByteArray& path, const QByteArray& body) const {
        site.files[path] = body;
        site.files[path + ".sig"] = maker.sign(body);
    }

    QTemporaryDir folder;
    SigningKey maker;
    SigningKey stranger;
    QByteArray savedTemp;
};

} // namespace

TEST_F(DownloadForm, AWholeSignedDownloadShowsItsProgressRunsTheInstallerAndClosesTheGame) {
    const QByteArray body = installer(marker("ran"));
    Site site;
    publish(site, "/download/KelvorLobbySetup.run", body);
    Window window(address(site.server, "KelvorLobbySetup.run"));
    EXPECT_FALSE(window.form->abortbutton->isEnabled());
    bool stopEnabled = false;
    QStringList filesMeanwhile;
    window.onFirstData = [&] {
        stopEnabled = window.form->abortbutton->isEnabled();
        filesMeanwhile = downloadedFiles();
    };
    window.form->getbutton->click();

    const QString size = QString::number(body.size());
    const QString name = "Downloading: KelvorLobbySetup.run";
    ASSERT_GE(window.steps.size(), 5);
    EXPECT_EQ(window.steps.mid(0, 5),
              QStringList({"Loading. | ", "Loading.. | ", "Loading... | ", "Loading... | " + name,
                           size + " bytes | " + name}));
    // The signature's fetch shows nothing of its own.
    for (const QString& step : window.steps.mid(5))
        EXPECT_EQ(step, "Received " + size + " bytes | " + name);
    EXPECT_EQ(window.status(), "Received " + size + " bytes | Installing");
    EXPECT_FALSE(window.alarming());
    EXPECT_EQ(window.form->infolabelTag, 1);
    EXPECT_FALSE(window.form->progressbar->isHidden());
    EXPECT_EQ(window.form->progressbar->value(), window.form->progressbar->maximum());
    EXPECT_TRUE(stopEnabled);
    EXPECT_FALSE(window.form->abortbutton->isEnabled());
    // Until it has verified, the download is not under the installer's name.
    EXPECT_EQ(filesMeanwhile, QStringList{"KelvorLobbySetup.run.part"});
    const QList<QByteArray> requests = site.server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_TRUE(requests[0].startsWith("GET /download/KelvorLobbySetup.run HTTP/1.0\r\n"));
    EXPECT_TRUE(requests[0].contains("\r\nUser-Agent: Mozilla/3.0 (compatible)\r\n"));
    EXPECT_TRUE(requests[1].startsWith("GET /download/KelvorLobbySetup.run.sig HTTP/1.0\r\n"));

    const QList<QByteArray> run = installerRun(marker("ran"));
    ASSERT_EQ(run.size(), 4);
    EXPECT_EQ(run[0], "3");
    EXPECT_EQ(run[1], "/SP- /silent /noicons");
    // Saved in a folder of its own that only this user can enter.
    const QFileInfo saved(QString::fromLocal8Bit(run[2]));
    EXPECT_EQ(saved.fileName(), "KelvorLobbySetup.run");
    EXPECT_NE(saved.absolutePath(), QDir::currentPath());
    EXPECT_EQ(run[3], "700");

    // The game tells why it closes, and closes once the player has read it.
    QMessageBox* box = window.closingBox();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), "The Kelvor Lobby installer has started; the game will now close.");
    EXPECT_EQ(window.exits, 0);
    box->button(QMessageBox::Ok)->click();
    EXPECT_EQ(window.exits, 1);
}

TEST_F(DownloadForm, AnInstallerThatDoesNotVerifyIsDeletedAndNeverRun) {
    Site site;
    const auto signedBy = [&](const char* name, const SigningKey& key, const QByteArray& content,
                              int keep = platform::SignatureSize + 100) {
        const QByteArray body = installer(marker(name));
        const QByteArray path = "/download/" + QByteArray(name);
        site.files[path] = body;
        site.files[path + ".sig"] = key.sign(content.isNull() ? body : content).left(keep);
    };
    signedBy("missing", maker, {});
    site.files.remove("/download/missing.sig");
    signedBy("short", maker, {}, platform::SignatureSize - 1);
    signedBy("strangers", stranger, {});
    signedBy("other-content", maker, "#!/bin/sh\nexit 0\n");
    signedBy("one-more", maker, {});
    site.files["/download/one-more.sig"] += '\0';
    signedBy("too-long", maker, {});
    site.files["/download/too-long.sig"] = QByteArray(Tdownload::MaxSignatureFileSize + 1, 'x');
    // An installer cut short by its own framing is not taken, whatever its signature.
    signedBy("cut-short", maker, {});
    const QByteArray cutShort = site.files["/download/cut-short"];
    ScriptedHttpServer cutting([&](const QByteArray& request, int) {
        if (request.startsWith("GET /download/cut-short "))
            return Reply{answer(cutShort, cutShort.size() + 1)};
        return Reply{answer(site.files["/download/cut-short.sig"], platform::SignatureSize)};
    });

    Window window(address(site.server, "missing"));
    const QString mismatch = QStringLiteral("The signature does not match the download");
    const QList<std::pair<QString, QString>> cases = {
        {"missing", "No signature: Not Found"},
        {"short", "The signature has 63 bytes, not 64"},
        {"strangers", mismatch},
        {"other-content", mismatch},
        {"one-more", "The signature has 65 bytes, not 64"},
        {"too-long", "No signature: Can't write the document: more than 1024 bytes"},
        {"cut-short", "Connection closed before the end of the document"}};
    QStringList names;
    for (const auto& [name, reason] : cases) {
        names << name;
        if (name == "cut-short")
            window.form->HttpClient1->URL = address(cutting, "cut-short");
        window.download("/" + name);
        EXPECT_EQ(window.form->infolabel->text(), Unverified) << name.toStdString();
        EXPECT_TRUE(window.alarming()) << name.toStdString();
        EXPECT_EQ(window.form->infolabel3->text(), reason);
        EXPECT_EQ(window.form->infolabelTag, 2);
        EXPECT_TRUE(window.form->getbutton->isEnabled());
        EXPECT_FALSE(window.form->abortbutton->isEnabled());
        EXPECT_TRUE(window.form->progressbar->isHidden());
        // Shown the outcome, the window has left nothing, and nothing ran.
        EXPECT_EQ(downloadedFiles(), QStringList()) << name.toStdString();
        EXPECT_FALSE(QFile::exists(marker(qPrintable(name)))) << name.toStdString();
        EXPECT_FALSE(window.closingBox());
    }
    EXPECT_EQ(window.exits, 0);

    // A good one afterwards runs, in the ordinary colour; none of the others ever did.
    publish(site, "/download/good", installer(marker("good")));
    window.form->HttpClient1->URL = address(site.server, "good");
    window.download("/good");
    EXPECT_EQ(
        window.status(),
        QStringLiteral("Received %1 bytes | Installing").arg(site.files["/download/good"].size()));
    EXPECT_FALSE(window.alarming());
    ASSERT_EQ(installerRun(marker("good")).size(), 4);
    for (const QString& name : names)
        EXPECT_FALSE(QFile::exists(marker(qPrintable(name)))) << name.toStdString();
}

TEST_F(DownloadForm, TheSignatureIsCheckedThroughARelocationToo) {
    Site files;
    publish(files, "/files/good.run", installer(marker("good")));
    publish(files, "/files/bad.run", installer(marker("bad")));
    files.files["/files/bad.run.sig"] = stranger.sign(files.files["/files/bad.run"]);
    ScriptedHttpServer front([&](const QByteArray& request, int) {
        const QByteArray path = request.mid(4, request.indexOf(' ', 4) - 4);
        return Reply{"HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:" +
                     QByteArray::number(files.server.port()) + "/files/" +
                     path.mid(path.lastIndexOf('/') + 1) + "\r\n\r\n"};
    });
    Window window(address(front, "bad.run"));
    window.form->getbutton->click();
    EXPECT_EQ(window.status(), Unverified + " | The signature does not match the download");
    EXPECT_TRUE(window.alarming());
    EXPECT_EQ(downloadedFiles(), QStringList());
    EXPECT_FALSE(QFile::exists(marker("bad")));

    window.download("/good.run");
    ASSERT_EQ(installerRun(marker("good")).size(), 4);
    EXPECT_FALSE(window.alarming());
    EXPECT_FALSE(QFile::exists(marker("bad")));
    const QList<QByteArray> relocated = files.server.requests();
    ASSERT_EQ(relocated.size(), 4);
    EXPECT_TRUE(relocated[1].startsWith("GET /files/bad.run.sig "));
    EXPECT_TRUE(relocated[3].startsWith("GET /files/good.run.sig "));
    EXPECT_EQ(front.requests().size(), 4);
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
    EXPECT_FALSE(window.alarming());
    EXPECT_EQ(window.form->infolabelTag, 2);
    EXPECT_TRUE(window.form->progressbar->isHidden()); // no length announced
    EXPECT_TRUE(window.form->getbutton->isEnabled());
    EXPECT_FALSE(window.form->abortbutton->isEnabled());
    EXPECT_EQ(downloadedFiles(), QStringList());
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(window.exits, 0);
}

TEST_F(DownloadForm, StopDownloadEndsItOnceWithoutInstalling) {
    const QByteArray held = installer(marker("held"));
    const QByteArray heldSignature = installer(marker("held-signature"));
    Site site;
    publish(site, "/download/whole", installer(marker("whole")));
    site.files["/download/held-signature.sig"] = maker.sign(heldSignature);
    ScriptedHttpServer server([&](const QByteArray& request, int) {
        if (request.startsWith("GET /download/held "))
            return Reply{answer(held, 100000), ScriptedHttpServer::Hold};
        if (request.startsWith("GET /download/held-signature "))
            return Reply{answer(heldSignature, heldSignature.size())};
        if (request.startsWith("GET /download/held-signature.sig "))
            return Reply{answer("partial", platform::SignatureSize), ScriptedHttpServer::Hold};
        const QByteArray path = request.mid(4, request.indexOf(' ', 4) - 4);
        return Reply{answer(site.files[path], site.files[path].size())};
    });
    Window window(address(server, "held"));
    // Nothing to stop while nothing runs.
    EXPECT_FALSE(window.form->abortbutton->isEnabled());
    window.form->abortbutton->click();
    EXPECT_EQ(window.status(), " | ");
    EXPECT_EQ(window.form->infolabelTag, 0);

    window.onFirstData = [&] { window.form->abortbutton->click(); };
    window.form->getbutton->click();
    EXPECT_TRUE(window.steps.last().startsWith(QString::number(held.size())));
    // Said once, and the bar is empty again.
    EXPECT_EQ(window.status(), "Download Aborted | ");
    EXPECT_FALSE(window.alarming());
    EXPECT_EQ(window.form->infolabelTag, 2);
    EXPECT_EQ(window.form->progressbar->value(), 0);
    EXPECT_TRUE(window.form->progressbar->isHidden());
    EXPECT_TRUE(window.form->getbutton->isEnabled());
    EXPECT_FALSE(window.form->abortbutton->isEnabled());
    EXPECT_EQ(downloadedFiles(), QStringList());
    EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 1; }));

    // Stopped while the signature comes.
    window.onSignatureData = [&] { window.form->abortbutton->click(); };
    window.download("/held-signature");
    EXPECT_EQ(window.status(), "Download Aborted | ");
    EXPECT_EQ(downloadedFiles(), QStringList());
    EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 2; }));

    // Closing the window stops a download too.
    window.onFirstData = [&] { window.form->close(); };
    window.download("/held");
    EXPECT_EQ(window.status(), "Download Aborted | ");

    window.download("/whole");
    ASSERT_EQ(installerRun(marker("whole")).size(), 4);
    EXPECT_FALSE(QFile::exists(marker("held")));
    EXPECT_FALSE(QFile::exists(marker("held-signature")));
}

TEST_F(DownloadForm, TheWindowMayGoWhileItDownloads) {
    const QByteArray body = installer(marker("ran"));
    ScriptedHttpServer server([&](const QByteArray& request, int) {
        if (request.startsWith("GET /download/whole "))
            return Reply{answer(body, body.size())};
        return Reply{answer("partial", 100000), ScriptedHttpServer::Hold};
    });
    // Gone while the installer comes, and while its signature comes.
    for (const char* path : {"/held", "/whole"}) {
        Window window(address(server, "held"));
        (path == QLatin1String("/held") ? window.onFirstData : window.onSignatureData) = [&] {
            window.form.reset();
        };
        window.form->HttpClient1->URL = address(server, path + 1);
        QTimer::singleShot(0, [&] { window.form->getbuttonClick(); });
        ASSERT_TRUE(waitFor([&] { return !window.form; })) << path;
    }
    EXPECT_TRUE(waitFor([&] { return server.closedByClient() == 2; }));
    EXPECT_EQ(downloadedFiles(), QStringList());
    EXPECT_FALSE(QFile::exists(marker("ran")));
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
