// Text from the host or another player is shown as text: markup in a name never
// loads a file, blocks or lays out, and a flood from the host never grows the
// window without end.
#include "support/GameWindowTest.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <atomic>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

// Watches a FIFO for a reader from another thread: opening a FIFO's write end
// without blocking succeeds only while someone has it open for reading. Any
// reader found is let go at once (it reads end of file), so a window that
// tries to read the FIFO is caught instead of hanging the test.
class FifoReaderWatch {
public:
    explicit FifoReaderWatch(const QByteArray& path)
        : m_path(path) {
        m_thread = std::thread([this] {
            while (!m_stop) {
                const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    m_readerSeen = true;
                    ::close(fd);
                }
                std::this_thread::yield();
            }
        });
    }
    ~FifoReaderWatch() {
        m_stop = true;
        m_thread.join();
    }
    bool readerSeen() const { return m_readerSeen; }

private:
    QByteArray m_path;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_readerSeen{false};
    std::thread m_thread;
};

// Resident memory of this process, in KiB.
long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Sends everything, letting the window read while the network is full, until
// all is sent or `stop` holds.
template <typename Stop> bool sendPumping(RawSocket& link, const QByteArray& bytes, Stop stop) {
    qsizetype sent = 0;
    return waitFor(
        [&] {
            sent += link.sendSome(bytes.mid(sent, 1 << 20));
            return sent == bytes.size() || stop();
        },
        60000);
}

class NetworkTextTest : public GameWindowTest {
protected:
    // Ann sits in seat 2 of a host the test plays by hand.
    std::unique_ptr<GameApplication> joinAsSeat2(RawSocket& link) {
        auto game = joinFakeHost(link);
        EXPECT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T));
        EXPECT_TRUE(waitForLine(game->chat(), "You are Connected."));
        return game;
    }
};

TEST_F(NetworkTextTest, MarkupInNamesStatusAndWinnerIsShownLiterallyAndLoadsNothing) {
    const QString bait = home.filePath("bait.png");
    QFile(bait).open(QIODevice::WriteOnly);
    const QString fifo = home.filePath("blocks");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const int inotify = ::inotify_init1(IN_NONBLOCK);
    ASSERT_GE(::inotify_add_watch(inotify, bait.toLocal8Bit().constData(), IN_OPEN), 0);
    FifoReaderWatch fifoWatch(fifo.toLocal8Bit());

    QString tables;
    for (int depth = 0; depth < 40; ++depth)
        tables += "<table cellpadding=99999><tr><td>";
    const QString bold = "<b>Bo</b><img src=\"" + bait + "\">";
    const QString blocking = "<img src=\"" + fifo + "\">x";
    RawSocket link;
    auto game = joinAsSeat2(link);
    Tchat& chat = game->chat();
    const QString end(QChar(0xFF));
    const QString script = "CMD_existingplayers+1+" + bold + end + "CMD_newplayerinfo+3+" +
                           blocking + end + "CMD_newplayerinfo+4+" + tables + end +
                           "CMD_startgame+1+f+false" + end + "CMD_nextplayer+1+1+0+0+" + end +
                           "CMD_pscore+1+<b>9</b>+1+1+1000+1000+1000+1000+1000+1000+1000+1000+"
                           "1000+1000+1000+1+0+0" +
                           end + "CMD_winner+" + tables + "+5" + end + "CMD_chat+barrier|clBlack" +
                           end;
    ASSERT_TRUE(link.sendAll(script.toLatin1()));
    ASSERT_TRUE(waitForText(chat, "barrier"));
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->grab(); // lays out and paints every label

    EXPECT_EQ(ui(chat).label_playername[1]->text(), bold);
    EXPECT_EQ(ui(chat).label_playername[3]->text(), blocking);
    EXPECT_EQ(ui(chat).label_playername[4]->text(), tables);
    EXPECT_EQ(ui(chat).label_score[1]->text(), "<b>9</b>");
    EXPECT_EQ(ui(chat).label_status->text(), bold + " tagged the ONES +1");
    EXPECT_EQ(ui(chat).label_winner->text(), tables + " has Won the Game!");
    inotify_event event;
    EXPECT_LT(::read(inotify, &event, sizeof event), 0) << "the window opened the bait file";
    ::close(inotify);
    EXPECT_FALSE(fifoWatch.readerSeen());

    // Every label of every window shows plain text, so no later label can
    // render a name either.
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* label = qobject_cast<QLabel*>(widget);
        if (!label || qobject_cast<QMessageBox*>(label->window()) || label->inherits("QTipLabel"))
            continue;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    }
}

TEST_F(NetworkTextTest, BareTerminatorsAreDroppedAndTheNextChatShowsPromptly) {
    RawSocket link;
    auto game = joinAsSeat2(link);
    Tchat& chat = game->chat();
    const long before = residentKiB();
    ASSERT_TRUE(sendPumping(link, QByteArray(1000000, char(0xFF)) + "CMD_chat+after|clBlack" + T,
                            [] { return false; }));
    EXPECT_TRUE(waitForText(chat, "after"));
    EXPECT_LT(chat.session().queuedMessages(), 2u);
    EXPECT_LT(residentKiB() - before, 64 * 1024);
}

TEST_F(NetworkTextTest, AHostThatFloodsPastTheQueueLimitIsLeft) {
    RawSocket link;
    auto game = joinAsSeat2(link);
    Tchat& chat = game->chat();
    bool closed = false;
    QObject::connect(&chat, &Tchat::closed, [&] { closed = true; });
    QByteArray flood;
    // Twice the limit: the window works some off while it reads.
    for (std::size_t n = 0; n < 2 * client::TGameSession::MaxReceivedMessages; ++n)
        flood += "CMD_x+" + T;
    QMessageBox* notice = nullptr;
    const auto noticeShown = [&] {
        notice = chat.findChild<QMessageBox*>();
        return notice && notice->isVisible();
    };
    ASSERT_TRUE(sendPumping(link, flood, noticeShown));
    ASSERT_TRUE(waitFor(noticeShown, 30000));
    // As when the host leaves: the window closes once the player has read why.
    notice->accept();
    ASSERT_TRUE(waitFor([&] { return closed; }));
    EXPECT_TRUE(ui(chat).mainchat->toPlainText().contains(
        "The host sent more messages than the game can handle; the connection was closed."));
    EXPECT_TRUE((chat.session().queuedMessages() == 0));
    EXPECT_TRUE(link.peerClosed());
}

} // namespace
