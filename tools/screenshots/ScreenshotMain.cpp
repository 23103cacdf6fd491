// Takes the pictures in docs/screenshots: every window of the game, offscreen,
// in a team game with bonus dice against the computer (the player window also
// at every zoom step and at its smallest size), plus a sheet of the
// game's art. Run it once at normal scaling and once with QT_SCALE_FACTOR=2
// (tools/screenshots/take.sh does both).
#include "SkinSheet.h"
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "client/DiceTumble.h"
#include "client/WindowZoom.h"
#include "controls/SkinFont.h"
#include "controls/SkinSpeedButton.h"
#include "game/RandomGenerator.h"
#include "game/ScoringRules.h"
#include "host/ServerForm.h"
#include "windows/AboutForm.h"
#include "windows/DownloadForm.h"
#include "windows/GameStartForm.h"
#include "windows/HelpForm.h"
#include "windows/PhrasesForm.h"
#include "windows/SpyListForm.h"
#include "windows/TallyListForm.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <arpa/inet.h>
#include <cstdio>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int milliseconds = 20000) {
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// The window's parts by their names, as a player's tools find them.
template <typename Part> Part* part(QObject& window, const QString& name) {
    return window.findChild<Part*>(name);
}

QAction* item(QObject& window, const QString& name) {
    return part<QAction>(window, name);
}

// A menu item by its caption (the Game menu's items have no names).
QAction* itemCalled(QObject& window, const QString& caption) {
    for (QAction* action : window.findChildren<QAction*>())
        if (action->text().startsWith(caption))
            return action;
    return nullptr;
}

void click(QWidget* widget) {
    const QPointF centre = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

QLabel* label(QObject& window, const QString& name) {
    return part<QLabel>(window, name);
}

QLabel* die(QObject& window, int number) {
    return label(window, QStringLiteral("dice%1").arg(number));
}

QString chatText(QObject& window) {
    return part<QTextEdit>(window, QStringLiteral("mainchat"))->toPlainText();
}

// A loopback socket bound to a free port; listening when asked (the lobby's
// port must answer nothing but must not be the real one).
struct LoopbackPort {
    explicit LoopbackPort(bool listening) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        if (listening)
            ::listen(fd, 4);
        else
            ::close(fd), fd = -1;
    }
    ~LoopbackPort() {
        if (fd >= 0)
            ::close(fd);
    }
    int fd = -1;
    quint16 port = 0;
};

class Photographer {
public:
    explicit Photographer(QString folder)
        : m_folder(std::move(folder)) {
        m_suffix = qApp->devicePixelRatio() > 1.5 ? QStringLiteral("@2x") : QString();
    }

    bool save(QWidget& window, const QString& name) {
        QCoreApplication::processEvents();
        const QPixmap picture = window.grab();
        const QString path = QDir(m_folder).filePath(name + m_suffix + ".png");
        const bool saved = picture.save(path);
        std::printf("%s %s (%dx%d)\n", saved ? "saved" : "FAILED", qPrintable(path),
                    picture.width(), picture.height());
        return saved;
    }

    bool saveImage(const QImage& image, const QString& name) {
        const QString path = QDir(m_folder).filePath(name + m_suffix + ".png");
        const bool saved = image.save(path);
        std::printf("%s %s (%dx%d)\n", saved ? "saved" : "FAILED", qPrintable(path), image.width(),
                    image.height());
        return saved;
    }

private:
    QString m_folder;
    QString m_suffix;
};

// Plays the hosting player's seat: keeps the commonest face, rolls three
// times, scores the best free category.
class SeatPlayer {
public:
    explicit SeatPlayer(Tchat& chat)
        : m_chat(chat)
        , m_model(chat.model())
        , m_card(*chat.findChild<TScoreCard*>())
        , m_tumble(*chat.findChild<TDiceTumble*>()) {}

    int turnsScored = 0;

    bool myTurn() const {
        return m_model.currentSeat() == m_model.ownSeat() && m_chat.session().canAct();
    }

    int rolls() const {
        int shown = 0;
        for (int mark = 1; mark <= 3; ++mark)
            shown += m_card.image_rolls[mark]->isVisible() ? 1 : 0;
        return shown;
    }

    scoring::Dice dice() const {
        scoring::Dice faces{};
        for (int die = 1; die <= 5; ++die)
            faces[die - 1] = m_model.die(die).face;
        return faces;
    }

    int commonestFace() const {
        std::array<int, 7> counts{};
        for (int face : dice())
            ++counts[face];
        return int(std::max_element(counts.begin() + 1, counts.end()) - counts.begin());
    }

    // Keeps one die that shows the commonest face; false when none is left to keep.
    bool keepOne() {
        const int face = commonestFace();
        for (int die = 1; die <= 5; ++die) {
            if (!m_model.die(die).kept() && m_model.die(die).face == face) {
                itemCalled(m_chat, QStringLiteral("Keep or Return Die &%1").arg(die))->trigger();
                return waitFor([&] { return m_model.die(die).kept(); }, 5000);
            }
        }
        return false;
    }

    int bestCategory() const {
        int best = 0;
        int bestPoints = -1;
        const int bonus = m_model.bonusFace();
        for (int category = 1; category <= scoring::CategoryCount; ++category) {
            if (!m_model.ownCategoryFree(category))
                continue;
            const int points = scoring::points(dice(), category, bonus);
            if (points > bestPoints) {
                best = category;
                bestPoints = points;
            }
        }
        return best;
    }

    bool roll() {
        const int before = rolls();
        itemCalled(m_chat, QStringLiteral("&Roll Dice"))->trigger();
        // The pictures show the dice as they landed, not tumbling.
        return waitFor(
            [&] {
                return rolls() == before + 1 && m_chat.session().canAct() && !m_tumble.running();
            },
            5000);
    }

    bool score() {
        const int category = bestCategory();
        if (category == 0)
            return false;
        click(m_card.label[category]);
        const bool done = waitFor([&] { return !m_model.ownCategoryFree(category); }, 5000);
        ++turnsScored;
        return done;
    }

private:
    Tchat& m_chat;
    const client::TGameModel& m_model;
    TScoreCard& m_card;
    TDiceTumble& m_tumble;
};

// The player window at every step of View -> Zoom and at its smallest size,
// then back at the size it had. Each picture waits for the pictures drawn at its size.
bool photographZoomSteps(Tchat& chat, Photographer& camera) {
    const QSize before = chat.size();
    TWindowZoom& zoom = *chat.findChild<TWindowZoom*>();
    const auto drawnAtZoom = [&] {
        const qreal side = die(chat, 1)->pixmap().deviceIndependentSize().width();
        return qRound(side) == zoom.scaled(32);
    };
    bool saved = true;
    for (int percent : {100, 125, 150, 200}) {
        item(chat, QStringLiteral("Zoom%1").arg(percent))->trigger();
        const QSize ground = zoom.groundSizeFor(percent);
        if (!waitFor([&] { return chat.centralWidget()->size() == ground && drawnAtZoom(); }, 5000))
            return false;
        saved = camera.save(chat, QStringLiteral("player-zoom-%1").arg(percent)) && saved;
    }
    chat.resize(1, 1);
    QWidget* ground = chat.centralWidget();
    if (!waitFor([&] { return ground->size() == ground->minimumSize() && drawnAtZoom(); }, 5000))
        return false;
    saved = camera.save(chat, QStringLiteral("player-smallest")) && saved;
    chat.resize(before);
    return waitFor([&] { return chat.size() == before && drawnAtZoom(); }, 5000) && saved;
}

bool fail(const char* step) {
    std::fprintf(stderr, "the game stopped at: %s\n", step);
    return false;
}

bool playGame(GameApplication& game, Photographer& camera) {
    Tchat& chat = game.chat();
    SeatPlayer seat(chat);
    // The seat takes zero scores without asking.
    if (QAction* doubleCheck = item(chat, QStringLiteral("double")); doubleCheck->isChecked())
        doubleCheck->trigger();
    chat.startgame(true, true);
    QLabel* winner = label(chat, QStringLiteral("label_winner"));
    QLabel* dieKey = label(chat, QStringLiteral("label_dicekey1"));
    auto* chatLine = part<QLineEdit>(chat, QStringLiteral("mychat"));
    bool midGameTaken = false;
    QElapsedTimer clock;
    clock.start();
    while (!winner->isVisible()) {
        if (clock.elapsed() > 120000)
            return false;
        if (!waitFor([&] { return seat.myTurn() || winner->isVisible(); }, 30000))
            return fail("waiting for a turn");
        if (winner->isVisible())
            break;
        if (!seat.roll())
            return fail("first roll");
        while (seat.keepOne()) {
        }
        if (!seat.roll())
            return fail("second roll");
        while (seat.keepOne()) {
        }
        if (seat.turnsScored == 2 && !midGameTaken) {
            // The own free categories preview the dice; the chat line has the keys.
            QApplication::setActiveWindow(&chat);
            chatLine->setFocus();
            if (!waitFor([&] { return !dieKey->isVisible(); }, 5000))
                return fail("the chat line taking the keys");
            midGameTaken = camera.save(chat, "player-midgame");
            // The board with the keys: each die shows its key.
            part<QWidget>(chat, QStringLiteral("panel_board"))->setFocus(Qt::OtherFocusReason);
            if (!waitFor([&] { return dieKey->isVisible(); }, 5000))
                return fail("the board taking the keys");
            camera.save(chat, "player-keys");
            chatLine->setFocus();
            if (!photographZoomSteps(chat, camera))
                return fail("the zoom steps");
        }
        if (seat.rolls() < 3 && !seat.roll())
            return fail("third roll");
        if (!seat.score())
            return fail("scoring");
    }
    // The last roll may still tumble (a computer seat's): the picture shows where it landed.
    QWidget* rollButton = part<QWidget>(chat, QStringLiteral("image_throwdice"));
    TDiceTumble& tumble = *chat.findChild<TDiceTumble*>();
    return waitFor([&] { return rollButton->isHidden() && !tumble.running(); }, 5000);
}

bool photographSideWindows(GameApplication& game, Photographer& camera) {
    Tchat& chat = game.chat();
    const TFormSet& forms = game.forms();
    bool saved = true;
    const auto shoot = [&](const std::function<void()>& open, QWidget* window, const char* name) {
        open();
        waitFor([&] { return window->isVisible(); }, 5000);
        saved = camera.save(*window, QString::fromLatin1(name)) && saved;
        window->hide();
    };
    const auto choose = [&](const char* name) {
        return [&chat, name] { item(chat, QLatin1String(name))->trigger(); };
    };
    shoot(choose("ViewTally1"), static_cast<QWidget*>(forms.tallylist), "tally");
    shoot(choose("SpyList1"), static_cast<QWidget*>(forms.spylist), "spylist");
    shoot(choose("StartGame1"), static_cast<QWidget*>(forms.gamestartform), "gamestart");
    shoot(choose("PhraseList1"), static_cast<QWidget*>(forms.phrases), "phrases");
    shoot(choose("Help2"), static_cast<QWidget*>(forms.help), "help");
    shoot(choose("About1"), static_cast<QWidget*>(forms.about), "about");
    auto* download = static_cast<QWidget*>(forms.download);
    shoot([&] { download->show(); }, download, "download");
    return saved;
}

// A player joins after the game and the hosting player removes her: her
// window tells her so and stays open.
bool photographRemovedPlayer(GameApplication& host, Photographer& camera) {
    GameApplication eveGame(
        {QStringLiteral("Eve"), QStringLiteral("127.0.0.1"), QStringLiteral("false")});
    eveGame.start();
    Tchat& eve = eveGame.chat();
    const auto reads = [&](const char* line) {
        return waitFor([&] { return chatText(eve).contains(QLatin1String(line)); }, 10000);
    };
    if (!reads("You are Connected."))
        return fail("the removed player's login");
    // At design size, whatever zoom the shared settings file holds.
    item(eve, QStringLiteral("Zoom100"))->trigger();
    const QSize ground = eve.findChild<TWindowZoom*>()->groundSizeFor(100);
    if (!waitFor(
            [&] {
                return eve.centralWidget()->size() == ground &&
                       qRound(die(eve, 1)->pixmap().deviceIndependentSize().width()) == 32;
            },
            5000))
        return fail("the removed player's window at design size");
    host.chat().kicking(eve.model().ownSeat());
    if (!reads("You were removed from the game by the host.") ||
        !waitFor([&] { return !eve.session().socket().isOpen(); }, 5000))
        return fail("the removal");
    return camera.save(eve, QStringLiteral("player-removed"));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A steady text cursor: a blinking one is caught on or off by chance.
    QApplication::setCursorFlashTime(0);
    controls::SkinFont::install();
    const QStringList arguments = app.arguments();
    const QString folder = arguments.value(1, QStringLiteral("docs/screenshots"));
    const bool sheetOnly = arguments.contains(QStringLiteral("--sheet-only"));
    QDir().mkpath(folder);
    Photographer camera(folder);

    if (!camera.saveImage(skinPreview(), QStringLiteral("skin-preview")) ||
        !camera.saveImage(skinSheet(), QStringLiteral("skin-sheet")))
        return 1;
    if (sheetOnly)
        return 0;

    // Nothing of the real user's: own port, own data folder, a silent lobby.
    QTemporaryDir home;
    LoopbackPort lobby(true);
    LoopbackPort game(false);
    qputenv("DUNVEX_HOME", home.path().toLocal8Bit());
    qputenv("DUNVEX_PORT", QByteArray::number(game.port));
    qputenv("DUNVEX_LOBBY_PORT", QByteArray::number(lobby.port));
    qputenv("DUNVEX_INSTANCE", "screenshots-" + QByteArray::number(game.port));

    TRandomGenerator::shared().seed(20261208);
    GameApplication dunvex(
        {QStringLiteral("Ann"), QStringLiteral("127.0.0.1"), QStringLiteral("true")});
    // The computer seats play at once; the pictures need no waiting.
    dunvex.server().setBotSpeedSource([] { return 5; });
    dunvex.chat().seedDiceScatter(20261208);
    dunvex.start();
    Tchat& chat = dunvex.chat();
    if (!waitFor([&] { return chatText(chat).contains(QLatin1String("You are Connected.")); })) {
        std::fprintf(stderr, "the window did not connect to its host\n");
        return 1;
    }
    if (!playGame(dunvex, camera)) {
        std::fprintf(stderr, "the game did not reach its end\n");
        return 1;
    }
    bool saved = camera.save(chat, QStringLiteral("player-end"));
    saved = photographSideWindows(dunvex, camera) && saved;
    saved = photographRemovedPlayer(dunvex, camera) && saved;
    return saved ? 0 : 1;
}
