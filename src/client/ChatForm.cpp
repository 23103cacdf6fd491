#include "client/ChatForm.h"

#include "client/WindowBounds.h"
#include "client/WindowZoom.h"
#include "controls/SkinSpeedButton.h"
#include "controls/TiledBackground.h"
#include "host/ServerForm.h"
#include "platform/Environment.h"
#include "platform/ExceptionHandler.h"
#include "platform/Logging.h"
#include "platform/NamedMutex.h"
#include "platform/SoundPlayer.h"
#include "windows/DownloadForm.h"
#include "windows/GameStartForm.h"

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

Tchat::Tchat(const TFormSet& forms, QStringList parameters, QWidget* parent)
    : QMainWindow(parent)
    , m_forms(forms)
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
    sock.OnInfo = [this](TGameSocket* s, TSocketInfo i, const QString& m) { sockInfo(s, i, m); };
    sock.OnRead = [this](TGameSocket* s, int count) { sockRead(s, count); };
    FormCreate();
}

Tchat::~Tchat() {
    // The socket reports its close while the window is half gone: not to us.
    sock.OnInfo = nullptr;
    sock.OnRead = nullptr;
    // Nor the focus leaving the widgets as they go.
    delete m_boardKeys;
}

void Tchat::FormCreate() {
    m_runningMarker = std::make_unique<platform::NamedMutex>(platform::scopedObjectName("dunvex"));
    // The design-time place; the saved one is applied once the host confirms us.
    move(3, 5);
    resize(775, 466);
    hosting = false;
    sock.setPortName(platform::gamePortName());
    Timer1.setInterval(1);
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, &Tchat::Timer1Timer);
}

void Tchat::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    StartGame1 = file->addAction(QStringLiteral("&Start Game"), this, &Tchat::button_startClick);
    StartGame1->setEnabled(false);
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"), this, &Tchat::Exit1Click);

    buildOptionsMenu(menuBar()->addMenu(QStringLiteral("&Options")));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    ViewTally1 = view->addAction(QStringLiteral("View &Tally"), this, &Tchat::ViewTally1Click);
    SpyList1 = view->addAction(QStringLiteral("&Spy List"), this, &Tchat::SpyList1Click);
    PhraseList1 = view->addAction(QStringLiteral("&Phrase List"), this, &Tchat::PhraseList1Click);
    Hint1 = view->addAction(QStringLiteral("&Hint"), this, &Tchat::Hint1Click);
    buildZoomMenu(view->addMenu(QStringLiteral("&Zoom")));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    Help2 = help->addAction(QStringLiteral("&Help"), this, &Tchat::Help2Click);
    About1 = help->addAction(QStringLiteral("&About"), this, &Tchat::About1Click);
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
    logintext.clear();
    if (m_parameters.isEmpty()) {
        addlinetochat(QStringLiteral("Loading Solo Game..Please wait."), clBlue);
        showdownload();
        hostaddress = LoopbackAddress;
        playername = QStringLiteral("You");
        qCInfo(lcLaunch) << "launch mode: solo";
        hostpress();
        return;
    }
    addlinetochat(QStringLiteral("Loading Multi-player Game.. Please Wait."), clBlue);
    if (m_parameters.size() < 3) {
        qCInfo(lcLaunch) << "launch mode: idle";
        return;
    }
    playername = m_parameters.at(0);
    hostaddress = m_parameters.at(1);
    if (m_parameters.at(2) == QLatin1String("true")) {
        qCInfo(lcLaunch) << "launch mode: host";
        hostpress();
    } else {
        qCInfo(lcLaunch) << "launch mode: join";
        joinpress();
    }
    openPresenceConnection();
}

namespace {

// A message box on screen, modal or not; the game's own notices are not modal.
QDialog* openMessageBox() {
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        return modal;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

// The lobby's offer never covers a message box open at start (a damaged
// tally's notice, say): it opens once the last one has closed. It belongs to
// the player window, above that one alone.
void Tchat::showdownload() {
    if (!m_forms.download || m_downloadOffered)
        return;
    if (QDialog* box = openMessageBox()) {
        const auto retry = [this] { QTimer::singleShot(0, this, [this] { showdownload(); }); };
        connect(box, &QDialog::finished, this, retry, Qt::SingleShotConnection);
        connect(box, &QObject::destroyed, this, retry, Qt::SingleShotConnection);
        return;
    }
    m_downloadOffered = true;
    QWidget& download = *m_forms.download;
    download.winId();
    if (QWindow* window = download.windowHandle())
        window->setTransientParent(windowHandle());
    client::showCentredOn(download, *this);
}

void Tchat::openPresenceConnection() {
    try {
        Sock11.setHostName(LoopbackAddress);
        Sock11.setPortName(platform::lobbyPortName());
        Sock11.Open();
    } catch (const std::exception&) {
        // Without a lobby the game runs just the same.
    }
}

void Tchat::hostpress() {
    m_forms.server->Sock1.setListen(true);
    logintext = playername.toLocal8Bit() + char(0xFF);
    hosting = true;
    sock.setHostName(LoopbackAddress);
    sock.Open();
    StartGame1->setEnabled(true);
    enableHostOptions(true);
    button_start->show();
}

void Tchat::joinpress() {
    logintext = playername.toLocal8Bit() + char(0xFF);
    sock.setHostName(hostaddress);
    sock.Open();
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
    button_start->hide();
    if (!m_forms.gamestartform)
        return;
    client::showCentredOn(*m_forms.gamestartform, *this);
    // Asked for by a key as often as by a click: the options take the keys,
    // also when they were open already, so Enter starts.
    m_forms.gamestartform->activateWindow();
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
    if (m_leaveConfirmed || m_hostGone || !model.inProgress() || !model.seated())
        return false;
    if (m_leaveBox) {
        m_leaveBox->raise();
        return true;
    }
    const QString question =
        hosting ? QStringLiteral("Leave the game in progress? The game ends for everyone.")
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
    const auto bounds = client::boundsToSave(client::outerBounds(*this), savedBounds, workArea);
    if (!bounds)
        return;
    savedBounds = *bounds;
    writeSettings(*bounds);
}
