// The player window's side of the session: what the session reports about
// the connection and the roster, drawn; the roster's menus turned into requests.
#include "client/ChatForm.h"
#include "controls/PlainLabel.h"
#include "controls/SkinArt.h"
#include "game/ComputerNames.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>

using client::TGameModel;
using client::TGameSession;

// Every report of the session reaches its handler here, and nowhere else.
void Tchat::connectSession() {
    TGameSession* s = &m_session;
    connect(s, &TGameSession::loggedInAs, this, &Tchat::sendloginfo);
    connect(s, &TGameSession::playerConnected, this, &Tchat::newplayerinfo);
    connect(s, &TGameSession::seatLeft, this, &Tchat::playerdisconnected);
    connect(s, &TGameSession::spectatorLeft, this, &Tchat::spectatorleft);
    connect(s, &TGameSession::removedByHost, this, &Tchat::removedbyhost);
    connect(s, &TGameSession::watchingChanged, this, &Tchat::justwatching);
    connect(s, &TGameSession::chatLine, this, &Tchat::addlinetochat);
    connect(s, &TGameSession::soundPlayed, this, &Tchat::playasound);
    connect(s, &TGameSession::gameStarted, this, &Tchat::startthegame);
    connect(s, &TGameSession::bonusDieDrawn, this, &Tchat::setbonusdice);
    connect(s, &TGameSession::turnPassed, this, &Tchat::getnextplayer);
    connect(s, &TGameSession::diceThrown, this, &Tchat::thedice);
    connect(s, &TGameSession::dieMoved, this, &Tchat::dieMoved);
    connect(s, &TGameSession::rollFirst, this, &Tchat::rollagain);
    connect(s, &TGameSession::chooseAgain, this, &Tchat::chooseagain);
    connect(s, &TGameSession::cardReported, this, &Tchat::pscore);
    connect(s, &TGameSession::gameWon, this, &Tchat::winner);
    connect(s, &TGameSession::gameFull, this, &Tchat::gamefull);
    connect(s, &TGameSession::hostFlooded, this, &Tchat::hostflooded);
    connect(s, &TGameSession::hostClosed, this, &Tchat::sessionEnded);
    connect(s, &TGameSession::messageHandled, this, [this](const QString& command) {
        hintsSeeMessage(command);
        showKeyMarker();
    });
}

// ---------------------------------------------------------------- roster controls

void Tchat::buildRoster() {
    for (int seat = 1; seat <= 4; ++seat) {
        // Two staggered rows, so the wide names fit above four narrow columns.
        const int columnCentre = 120 + (seat - 1) * 46;
        const int row = (seat - 1) % 2;

        auto* name = new TPlainLabel(model().seatName(seat), panel_scorecard);
        name->setObjectName(QStringLiteral("label_playername%1").arg(seat));
        name->setGeometry(std::min(columnCentre - 47, 281 - 94), 2 + row * 17, 94, 16);
        name->setAlignment(Qt::AlignCenter);
        const QRgb ink = seat % 2 == 1 ? controls::SkinArt::Leaf : controls::SkinArt::Maroon;
        name->setProperty(
            "look",
            QStringLiteral("font: bold 13px Arial; color: %1; ").arg(QColor::fromRgba(ink).name()));
        name->setStyleSheet(name->property("look").toString());
        name->setToolTip(game::computerName(seat));
        name->setProperty("tag", seat);
        name->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(name, &QLabel::customContextMenuRequested, this, [this, seat, name](QPoint at) {
            label_playername1ContextPopup(seat);
            popup_kick->popup(name->mapToGlobal(at));
        });
        label_playername[seat] = name;

        auto* score = new TPlainLabel(QStringLiteral("0"), panel_scorecard);
        score->setObjectName(QStringLiteral("label_score%1").arg(seat));
        score->setGeometry(columnCentre - 23, 38, 46, 16);
        score->setAlignment(Qt::AlignCenter);
        score->setStyleSheet(QStringLiteral("font-weight: bold;"));
        label_score[seat] = score;

        auto* eyesLabel = new TPlainLabel(panel_scorecard);
        eyesLabel->setObjectName(QStringLiteral("image_eyes%1").arg(seat));
        eyesLabel->setGeometry(TScoreCard::eyesLeft(seat), 36, 24, 12);
        eyesLabel->hide();
        image_eyes[seat] = eyesLabel;
    }

    popup_kick = new QMenu(this);
    popup_kick->setObjectName(QStringLiteral("popup_kick"));
    RemoveFromGame1 = popup_kick->addAction(QStringLiteral("Remove From Game"), this,
                                            &Tchat::RemoveFromGame1Click);
    RemoveFromGame1->setObjectName(QStringLiteral("RemoveFromGame1"));
    SettoJustWatch1 = popup_kick->addAction(QStringLiteral("Set to Just Watch"), this,
                                            &Tchat::SettoJustWatch1Click);
    SettoJustWatch1->setObjectName(QStringLiteral("SettoJustWatch1"));
    UnsetJustWatch1 = popup_kick->addAction(QStringLiteral("Unset Just Watch"), this,
                                            &Tchat::UnsetJustWatch1Click);
    UnsetJustWatch1->setObjectName(QStringLiteral("UnsetJustWatch1"));
}

void Tchat::label_playername1ContextPopup(int seat) {
    for (QAction* item : {RemoveFromGame1, SettoJustWatch1, UnsetJustWatch1})
        item->setEnabled(m_session.hosting());
    if (model().seatName(seat) == TGameModel::Waiting)
        RemoveFromGame1->setEnabled(false);
    popup_kickSeat = seat;
}

void Tchat::RemoveFromGame1Click() {
    kicking(popup_kickSeat);
}

void Tchat::kicking(int slot) {
    m_session.remove(slot);
}

void Tchat::SettoJustWatch1Click() {
    m_session.setJustWatch(popup_kickSeat, true);
}

void Tchat::UnsetJustWatch1Click() {
    m_session.setJustWatch(popup_kickSeat, false);
}

void Tchat::JustWatch1Click() {
    // The mark follows the host's report, not the click.
    JustWatch1->setChecked(m_session.justWatching());
    m_session.justWatch(!m_session.justWatching());
}

// ---------------------------------------------------------------- the connection

void Tchat::sendloginfo() {
    markColumns();
}

void Tchat::newplayerinfo(int slot, const QString& name, bool self) {
    if (self) {
        addlinetochat(QStringLiteral("You are Connected."), clBlue);
        loadinifile();
    } else {
        addlinetochat(name + " is Connected.", clBlue);
    }
    if (slot > TGameModel::Seats) {
        addlinetochat(self ? QStringLiteral("You are spying.") : name + " is spying.", clBlue);
    } else if (slot >= 1) {
        showSeatName(slot);
        label_playername[slot]->show();
        label_score[slot]->show();
    }
    playsounds(QStringLiteral("entered"));
}

void Tchat::playerdisconnected(int seat, const QString& name) {
    addlinetochat(name + " disconnected.", clBlue);
    showSeatName(seat);
    label_score[seat]->setText(model().seat(seat).total);
    image_eyes[seat]->hide();
}

void Tchat::spectatorleft(int, const QString& name) {
    if (!m_session.removed())
        addlinetochat(name + " has left.", clNavy);
}

// The host named our own slot just before it closed our connection: we were
// removed. The window stays, disconnected, so the player can read why.
void Tchat::removedbyhost() {
    const int slot = model().ownSeat();
    showRollButton();
    const QString notice = QStringLiteral("You were removed from the game by the host.");
    addlinetochat(notice, clBlue);
    label_status->setText(notice);
    if (!TGameModel::validSeat(slot))
        return;
    showSeatName(slot);
    label_score[slot]->setText(model().seat(slot).total);
    image_eyes[slot]->hide();
}

void Tchat::justwatching(int slot, bool watching) {
    if (slot == model().ownSeat())
        JustWatch1->setChecked(watching);
    // Spectators have no seat to mark.
    if (!TGameModel::validSeat(slot))
        return;
    const QString name = model().seatName(slot);
    // The solo player is "You".
    const bool you = name == QLatin1String("You");
    addlinetochat(name + (watching ? (you ? " are just watching" : " is just watching")
                                   : (you ? " are now playing again" : " now playing again")),
                  clBlue);
    image_eyes[slot]->setVisible(watching);
    // The own turn passes to the computer, or comes back from it, where it stands.
    if (slot == model().ownSeat() && model().inProgress() && model().currentSeat() == slot) {
        showTurn();
        for (int die = 1; die <= 5; ++die)
            dice[die]->setEnabled(model().ownTurn());
    }
}

// The game has no free slot: say so, then the program ends.
void Tchat::gamefull() {
    m_fullBox = new QMessageBox(QMessageBox::Information, QStringLiteral("Dunvex"),
                                QStringLiteral("Game is full"), QMessageBox::Ok, this);
    m_fullBox->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_fullBox, &QMessageBox::finished, this, [this] {
        m_fullBox = nullptr;
        close();
    });
    m_fullBox->open();
}

void Tchat::hostflooded() {
    addlinetochat(QStringLiteral("The host sent more messages than the game can handle; "
                                 "the connection was closed."),
                  clRed);
}

// The connection has closed and everything the host said before is shown.
void Tchat::sessionEnded() {
    // "Game is full" closes the window once it is read; removed, the window stays.
    if (m_fullBox || m_session.removed())
        return;
    // The hosting window goes with its own host; every other window says why.
    if (m_session.hosting())
        close();
    else
        hostclosed();
}

// The host has gone: the player reads why before the window closes.
void Tchat::hostclosed() {
    if (m_hostClosedBox || m_closing)
        return;
    const QString notice = QStringLiteral("The host has closed the game.");
    addlinetochat(notice, clBlue);
    m_hostClosedBox = new QMessageBox(QMessageBox::Information, QStringLiteral("Dunvex"), notice,
                                      QMessageBox::Ok, this);
    m_hostClosedBox->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_hostClosedBox, &QMessageBox::finished, this, [this] {
        m_hostClosedBox = nullptr;
        close();
    });
    m_hostClosedBox->open();
}
