#include "client/ChatForm.h"

#include "client/WindowBounds.h"
#include "client/WindowZoom.h"
#include "controls/SkinSpeedButton.h"
#include "controls/TiledBackground.h"
#include "platform/Environment.h"
#include "platform/ExceptionHandler.h"
#include "platform/Logging.h"
#include "platform/NamedMutex.h"
#include "platform/SoundPlayer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

namespace {

const QString LoopbackAddress = QStringLiteral("127.0.0.1");
// The design's content: the board and the scorecard side by side, the chat
// line below the scorecard's foot.
constexpr QSize DesignSize(765, 448);
// The room around it in the design's client area of 775 by 466.
constexpr QSize DesignMargin(5, 9);

} // namespace

Tchat::Tchat(QStringList parameters, QWidget* parent)
    : QMainWindow(parent)
    , m_parameters(std::move(parameters)) {
    setObjectName(QStringLiteral("chat"));
    setWindowTitle(QStringLiteral("Dunvex"));
    buildPanels();
    zoom = new TWindowZoom(centralWidget(), DesignSize, DesignMargin);
    buildChat();
    buildMenus();
    buildRoster();
    buildBoard();
    buildSounds();
    buildHints();
    buildAccessibleNames();
    buildKeys();
    zoom->capture();
    connect(zoom, &TWindowZoom::factorChanged, this, &Tchat::markZoomItems);
    connect(zoom, &TWindowZoom::factorSettled, this, &Tchat::zoomSettled);
    markZoomItems();
    FormResize();
    applySkin();
    connectSession();
    FormCreate();
}

Tchat::~Tchat() {
    // The session reports its close while the window is half gone: not to us.
    m_session.disconnect(this);
    // Nor the focus leaving the widgets as they go.
    delete m_boardKeys;
}

void Tchat::FormCreate() {
    m_runningMarker = std::make_unique<platform::NamedMutex>(platform::scopedObjectName("dunvex"));
    // The design-time place; the saved one is applied once the host confirms us.
    move(3, 5);
    resize(775, 466);
    m_session.setPortName(platform::gamePortName());
    timer_phrase = new QTimer(this);
    timer_phrase->setObjectName(QStringLiteral("timer_phrase"));
    timer_phrase->setInterval(1);
    timer_phrase->setTimerType(Qt::PreciseTimer);
    connect(timer_phrase, &QTimer::timeout, this, &Tchat::timer_phraseTimer);
}

void Tchat::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    StartGame1 = file->addAction(QStringLiteral("&Start Game"), this, &Tchat::button_startClick);
    StartGame1->setObjectName(QStringLiteral("StartGame1"));
    StartGame1->setEnabled(false);
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"), this, &Tchat::Exit1Click);
    Exit1->setObjectName(QStringLiteral("Exit1"));

    buildOptionsMenu(menuBar()->addMenu(QStringLiteral("&Options")));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(QStringLiteral("View &Tally"), this, &Tchat::tallyWanted)
        ->setObjectName(QStringLiteral("ViewTally1"));
    view->addAction(QStringLiteral("&Spy List"), this, &Tchat::spyListWanted)
        ->setObjectName(QStringLiteral("SpyList1"));
    view->addAction(QStringLiteral("&Phrase List"), this, &Tchat::PhraseList1Click)
        ->setObjectName(QStringLiteral("PhraseList1"));
    Hint1 = view->addAction(QStringLiteral("&Hint"), this, &Tchat::Hint1Click);
    Hint1->setObjectName(QStringLiteral("Hint1"));
    buildZoomMenu(view->addMenu(QStringLiteral("&Zoom")));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&Help"), this, &Tchat::helpWanted)
        ->setObjectName(QStringLiteral("Help2"));
    help->addAction(QStringLiteral("&About"), this, &Tchat::aboutWanted)
        ->setObjectName(QStringLiteral("About1"));
}

void Tchat::buildPanels() {
    // No style sheet on the ground: it would paint over the tiles.
    auto* background = new QFrame(this);
    background->setObjectName(QStringLiteral("panel_main"));
    setCentralWidget(background);
    TiledBackground1 = new TTiledBackground(background);
    TiledBackground1->setObjectName(QStringLiteral("TiledBackground1"));

    panel_board = new QFrame(background);
    panel_board->setObjectName(QStringLiteral("panel_board"));
    panel_board->setGeometry(0, 0, 484, 312);
    panel_board->setStyleSheet(QStringLiteral("#panel_board { background: #0b5d1e; }"));

    button_start = new TSkinSpeedButton(panel_board);
    button_start->setObjectName(QStringLiteral("button_start"));
    button_start->setToolTip(QStringLiteral("Start Game"));
    button_start->hide();
    connect(button_start, &TSkinSpeedButton::clicked, this, &Tchat::button_startClick);

    mainchat = new QTextEdit(background);
    mainchat->setObjectName(QStringLiteral("mainchat"));
    mainchat->setReadOnly(true);
    mainchat->setGeometry(0, 314, 483, 110);

    panel_scorecard = new TScoreCard(background);
    panel_scorecard->setGeometry(484, 0, 281, 426);
    mainchat->setGeometry(0, 313, 483, 110);
}

// ---------------------------------------------------------------- launch

QPixmap Tchat::backdrop() const {
    return TiledBackground1->Image();
}

void Tchat::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // The pictures are drawn for the screen the window shows on, and again
    // when it moves to a screen of another pixel ratio.
    applySkin();
    if (QWindow* window = windowHandle())
        connect(window, &QWindow::screenChanged, this, [this] { applySkin(); });
    // Sounds load once the window is up, so starting stays quick.
    QTimer::singleShot(0, sounds, &platform::SoundPlayer::preload);
    // The launch runs once the event loop is up, as the window's first act.
    QTimer::singleShot(0, this, [this] { platform::runGuarded([this] { FormShow(); }); });
}

void Tchat::FormShow() {
    processparams();
}

void Tchat::processparams() {
    StartGame1->setEnabled(false);
    if (m_parameters.isEmpty()) {
        addlinetochat(QStringLiteral("Loading Solo Game..Please wait."), clBlue);
        emit downloadWanted();
        qCInfo(lcLaunch) << "launch mode: solo";
        hostpress(QStringLiteral("You"), LoopbackAddress);
        return;
    }
    addlinetochat(QStringLiteral("Loading Multi-player Game.. Please Wait."), clBlue);
    if (m_parameters.size() < 3) {
        qCInfo(lcLaunch) << "launch mode: idle";
        return;
    }
    const QString playerName = m_parameters.at(0);
    if (m_parameters.at(2) == QLatin1String("true")) {
        qCInfo(lcLaunch) << "launch mode: host";
        hostpress(playerName, m_parameters.at(1));
    } else {
        qCInfo(lcLaunch) << "launch mode: join";
        joinpress(playerName, m_parameters.at(1));
    }
    openPresenceConnection();
}

void Tchat::openPresenceConnection() {
    try {
        sock_lobby.setHostName(LoopbackAddress);
        sock_lobby.setPortName(platform::lobbyPortName());
        sock_lobby.Open();
    } catch (const std::exception&) {
        // Without a lobby the game runs just the same.
    }
}

// The host of this process listens first; the window joins it like anyone.
void Tchat::hostpress(const QString& playerName, const QString& hostAddress) {
    emit hostingStarted();
    m_session.connectTo(hostAddress, playerName, true);
    StartGame1->setEnabled(true);
    enableHostOptions(true);
    showStartButton(true);
}

void Tchat::joinpress(const QString& playerName, const QString& hostAddress) {
    m_session.connectTo(hostAddress, playerName, false);
    StartGame1->setEnabled(false);
    enableHostOptions(false);
}

// The pace and the skill of the computer players are read by the host in the
// hosting player's process only; elsewhere the items would change nothing.
void Tchat::enableHostOptions(bool enabled) {
    BotSpeed1->setEnabled(enabled);
    ComputerPlayers1->setEnabled(enabled);
}

// ---------------------------------------------------------------- commands

void Tchat::button_startClick() {
    showStartButton(false);
    emit startOptionsWanted();
}

void Tchat::Exit1Click() {
    close();
}

// ---------------------------------------------------------------- closing

void Tchat::closeEvent(QCloseEvent* event) {
    if (m_closing) {
        event->accept();
        return;
    }
    if (askBeforeLeaving()) {
        event->ignore();
        return;
    }
    m_closing = true;
    platform::runGuarded([this] { FormClose(); });
    event->accept();
    emit closed();
}

// A player who holds a seat in a running game is asked before leaving it; the
// window closes once the answer is Yes.
bool Tchat::askBeforeLeaving() {
    if (m_leaveConfirmed || m_session.hostGone() || !model().inProgress() || !model().seated())
        return false;
    if (m_leaveBox) {
        m_leaveBox->raise();
        return true;
    }
    const QString question =
        m_session.hosting()
            ? QStringLiteral("Leave the game in progress? The game ends for everyone.")
            : QStringLiteral("Leave the game in progress?");
    m_leaveBox = new QMessageBox(QMessageBox::Question, QStringLiteral("Dunvex"), question,
                                 QMessageBox::Yes | QMessageBox::No, this);
    m_leaveBox->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_leaveBox, &QMessageBox::finished, this, [this](int answer) {
        m_leaveBox = nullptr;
        if (answer != QMessageBox::Yes)
            return;
        m_leaveConfirmed = true;
        close();
    });
    m_leaveBox->open();
    return true;
}

void Tchat::FormClose() {
    const QScreen* screen = this->screen();
    const QRect workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
    const auto bounds = client::boundsToSave(client::outerBounds(*this), m_savedBounds, workArea);
    if (!bounds)
        return;
    m_savedBounds = *bounds;
    writeSettings(*bounds);
}
