// The player window's session with the host: receiving, the message pump,
// login and the roster of seats and spectators.
#include "client/ChatForm.h"
#include "client/WindowBounds.h"
#include "controls/PlainLabel.h"
#include "controls/SkinArt.h"
#include "game/ComputerNames.h"
#include "platform/Logging.h"
#include "platform/StrToInt.h"
#include "windows/SpyListForm.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>

using net::FieldReader;
using net::WireMessage;

namespace {

QString spyEntry(int slot, const QString& name) {
    return QString::number(slot) + ": " + name;
}

// A name from the host is one line of text: a control character in it (a
// hostile host may send CR or LF) becomes a space before it is shown,
// tallied or saved, so it stays one cell of the tally file.
QString namesAsText(QString arguments) {
    for (QChar& c : arguments)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return arguments;
}

// The window's commands in the order they are tested.
struct WindowCommand {
    const char* name;
    void (*handle)(Tchat& window, const QString& arguments);
};

const WindowCommand WindowCommands[] = {
    {"CMD_playasound", [](Tchat& w, const QString& a) { w.playasound(a); }},
    {"CMD_sendlogininfo", [](Tchat& w, const QString& a) { w.sendloginfo(a); }},
    {"CMD_chat", [](Tchat& w, const QString& a) { w.chatrecieved(a); }},
    {"CMD_action", [](Tchat& w, const QString& a) { w.chatrecieved(a); }},
    {"CMD_newplayerinfo", [](Tchat& w, const QString& a) { w.newplayerinfo(namesAsText(a)); }},
    {"CMD_havewrongversion",
     [](Tchat& w, const QString& a) {
         w.addlinetochat(namesAsText(a) + " has a different version of the game then you.", clBlue);
     }},
    {"CMD_wrongversion",
     [](Tchat& w, const QString&) {
         w.addlinetochat(QStringLiteral("You have a differnt version of the game then the host."),
                         clBlue);
     }},
    {"CMD_existingplayers", [](Tchat& w, const QString& a) { w.newplayerinfo(namesAsText(a)); }},
    {"CMD_playerdisconnected",
     [](Tchat& w, const QString& a) { w.playerdisconnected(namesAsText(a)); }},
    {"CMD_startgame", [](Tchat& w, const QString& a) { w.startthegame(a); }},
    {"CMD_nextplayer", [](Tchat& w, const QString& a) { w.getnextplayer(a); }},
    {"CMD_winner", [](Tchat& w, const QString& a) { w.winner(namesAsText(a)); }},
    {"CMD_full", [](Tchat& w, const QString&) { w.gamefull(); }},
    {"CMD_justwatching", [](Tchat& w, const QString& a) { w.justwatching(a); }},
    {"CMD_thedice", [](Tchat& w, const QString& a) { w.thedice(a); }},
    {"CMD_unsetdice", [](Tchat& w, const QString& a) { w.unsetdice(a); }},
    {"CMD_setdice", [](Tchat& w, const QString& a) { w.setdice(a); }},
    {"CMD_chooseagain", [](Tchat& w, const QString&) { w.chooseagain(); }},
    {"CMD_rollagain", [](Tchat& w, const QString&) { w.rollagain(); }},
    {"CMD_pscore", [](Tchat& w, const QString& a) { w.pscore(a); }},
    {"CMD_setbonusdice", [](Tchat& w, const QString& a) { w.setbonusdice(a); }},
};

// Ticks of the 1 ms timer before the next phrase may go.
constexpr int PhraseCoolDownTicks = 100;

} // namespace

// ---------------------------------------------------------------- roster controls

void Tchat::buildRoster() {
    for (int seat = 1; seat <= 4; ++seat) {
        // Two staggered rows, so the wide names fit above four narrow columns.
        const int columnCentre = 120 + (seat - 1) * 46;
        const int row = (seat - 1) % 2;

        auto* name = new TPlainLabel(model.seatName(seat), panel_scorecard);
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
    SettoJustWatch1 = popup_kick->addAction(QStringLiteral("Set to Just Watch"), this,
                                            &Tchat::SettoJustWatch1Click);
    UnsetJustWatch1 = popup_kick->addAction(QStringLiteral("Unset Just Watch"), this,
                                            &Tchat::UnsetJustWatch1Click);
}

void Tchat::label_playername1ContextPopup(int seat) {
    for (QAction* item : {RemoveFromGame1, SettoJustWatch1, UnsetJustWatch1})
        item->setEnabled(hosting);
    if (model.seatName(seat) == client::TGameModel::Waiting)
        RemoveFromGame1->setEnabled(false);
    popup_kickTag = seat;
}

void Tchat::RemoveFromGame1Click() {
    kicking(popup_kickTag);
}

void Tchat::kicking(int slot) {
    if (hosting && loggedin)
        sendToHost(WireMessage("CMD_kickhim").field(model.ownSeat()).field(slot).field("").bytes());
}

void Tchat::SettoJustWatch1Click() {
    if (loggedin && popup_kickTag < 5)
        sendToHost(WireMessage("CMD_justwatch").field(popup_kickTag).field("1").bytes());
}

void Tchat::UnsetJustWatch1Click() {
    if (loggedin && popup_kickTag < 5)
        sendToHost(WireMessage("CMD_justwatch").field(popup_kickTag).field("2").bytes());
}

void Tchat::JustWatch1Click() {
    // The mark follows the host's report, not the click: undo Qt's toggle.
    JustWatch1->setChecked(!JustWatch1->isChecked());
    if (!loggedin)
        return;
    const char* state = JustWatch1->isChecked() ? "2" : "1";
    sendToHost(WireMessage("CMD_justwatch").field(model.ownSeat()).field(state).bytes());
}

void Tchat::SpyList1Click() {
    if (m_forms.spylist)
        client::showCentredOn(*m_forms.spylist, *this);
}

// ---------------------------------------------------------------- connection

void Tchat::sendToHost(const QByteArray& message) {
    if (sock.isOpen())
        sock.Send(message);
}

void Tchat::sockInfo(TGameSocket*, TSocketInfo info, const QString& msg) {
    qCInfo(lcLaunch).noquote() << "sock info" << int(info) << msg;
    if (msg != QLatin1String("Socket Closed"))
        return;
    // Read what the host said before it hung up (say, that the game is full),
    // then close.
    m_hostGone = true;
    closeWhenQueueIsDone();
}

void Tchat::closeWhenQueueIsDone() {
    if (!m_hostGone || !receivedlist.empty() || m_fullBox)
        return;
    // Removed by the host: the notice is in the chat, and the window stays.
    if (m_removed)
        return;
    // The hosting window goes with its own host; every other window says why.
    if (hosting)
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

void Tchat::sockRead(TGameSocket* sender, int) {
    const std::size_t queued = receivedlist.size();
    if (!m_remainder.append(sender->Receive(), receivedlist))
        qCWarning(lcLaunch) << "an over-long message from the host was skipped";
    for (auto line = receivedlist.begin() + qsizetype(queued); line != receivedlist.end(); ++line)
        m_receivedBytes += line->size();
    if (receivedlist.size() > MaxReceivedMessages || m_receivedBytes > MaxReceivedBytes)
        return hostflooded();
    wakePump();
}

// No host in a working game sends this much ahead of the window: treat it as
// broken rather than grow without end.
void Tchat::hostflooded() {
    qCWarning(lcLaunch) << "the host sent more than the window can hold; leaving";
    receivedlist.clear();
    m_receivedBytes = 0;
    m_remainder.clear();
    addlinetochat(QStringLiteral("The host sent more messages than the game can handle; "
                                 "the connection was closed."),
                  clRed);
    m_hostGone = true;
    sock.Close();
    closeWhenQueueIsDone();
}

void Tchat::wakePump() {
    if (!Timer1.isActive() && !receivedlist.empty())
        Timer1.start();
}

// One message per tick while messages wait, and the phrase cool-down counted
// in ticks while it runs; no wake-ups when there is nothing to do.
void Tchat::Timer1Timer() {
    processsocktimer();
    if (!phraseready && ++phraseticks > PhraseCoolDownTicks) {
        phraseready = true;
        phraseticks = 0;
    }
    if (receivedlist.empty()) {
        if (phraseready)
            Timer1.stop();
        closeWhenQueueIsDone();
    }
}

void Tchat::processsocktimer() {
    if (receivedlist.empty())
        return;
    const QByteArray line = std::move(receivedlist.front());
    receivedlist.pop_front();
    m_receivedBytes -= line.size();
    try {
        dispatch(net::splitLine(line));
    } catch (const platform::EConvertError& error) {
        // One bad message is dropped; the game goes on.
        addlinetochat(QString::fromLocal8Bit(error.what()), clRed);
    }
}

void Tchat::dispatch(const net::WireLine& line) {
    for (const WindowCommand& entry : WindowCommands)
        if (line.command == QLatin1String(entry.name)) {
            entry.handle(*this, line.arguments);
            hintsSeeMessage(line.command);
            return showKeyMarker();
        }
}

// ---------------------------------------------------------------- handlers

void Tchat::sendloginfo(const QString& arguments) {
    model.setOwnSeat(platform::StrToInt(arguments));
    loggedin = true;
    markColumns();
    sendToHost(WireMessage("CMD_logininfo")
                   .field(model.ownSeat())
                   .field(net::GameVersion)
                   .rawField(logintext)
                   .bytes());
}

void Tchat::newplayerinfo(const QString& arguments) {
    FieldReader fields(arguments);
    const int slot = fields.number();
    const QString name = fields.rest();
    if (name.isEmpty())
        return;
    if (slot == model.ownSeat()) {
        addlinetochat(QStringLiteral("You are Connected."), clBlue);
        loadinifile();
    } else {
        addlinetochat(name + " is Connected.", clBlue);
    }
    if (slot > 4) {
        if (m_forms.spylist)
            m_forms.spylist->listbox_spys->addItem(spyEntry(slot, name));
        addlinetochat(slot == model.ownSeat() ? QStringLiteral("You are spying.")
                                              : name + " is spying.",
                      clBlue);
    } else if (slot >= 1) {
        model.seatTaken(slot, name);
        showSeatName(slot);
        label_playername[slot]->show();
        label_score[slot]->show();
    }
    playsounds(QStringLiteral("entered"));
}

void Tchat::playerdisconnected(const QString& arguments) {
    FieldReader fields(arguments);
    const int slot = fields.number();
    const QString name = fields.rest();
    if (loggedin && slot == model.ownSeat())
        return removedbyhost(name);
    if (client::TGameModel::validSeat(slot)) {
        addlinetochat(model.seatName(slot) + " disconnected.", clBlue);
        // During a game the computer plays on with the seat's card and total.
        model.seatLeft(slot);
        showSeatName(slot);
        label_score[slot]->setText(model.seat(slot).total);
        image_eyes[slot]->hide();
    }
    if (!m_forms.spylist)
        return;
    QListWidget* spies = m_forms.spylist->listbox_spys;
    const auto found = spies->findItems(spyEntry(slot, name), Qt::MatchExactly);
    if (found.isEmpty())
        return;
    addlinetochat(name + " has left.", clNavy);
    delete found.first();
}

// The host names our own slot just before it closes our connection: we were
// removed. The window stays, disconnected, so the player can read why.
void Tchat::removedbyhost(const QString& name) {
    const int slot = model.ownSeat();
    m_removed = true;
    loggedin = false;
    canact = false;
    image_throwdice->hide();
    const QString notice = QStringLiteral("You were removed from the game by the host.");
    addlinetochat(notice, clBlue);
    label_status->setText(notice);
    if (client::TGameModel::validSeat(slot)) {
        model.seatLeft(slot);
        showSeatName(slot);
        label_score[slot]->setText(model.seat(slot).total);
        image_eyes[slot]->hide();
    } else if (m_forms.spylist) {
        const auto found =
            m_forms.spylist->listbox_spys->findItems(spyEntry(slot, name), Qt::MatchExactly);
        if (!found.isEmpty())
            delete found.first();
    }
    // The host closes its end; ours goes too, whatever the host does next.
    if (sock.isOpen())
        sock.Close();
}

void Tchat::justwatching(const QString& arguments) {
    FieldReader fields(arguments);
    const int slot = fields.number();
    const bool watching = fields.rest() == QLatin1String("1");
    if (slot == model.ownSeat())
        JustWatch1->setChecked(watching);
    // Spectators have no seat to mark.
    if (!client::TGameModel::validSeat(slot))
        return;
    model.setWatching(slot, watching);
    const QString name = model.seatName(slot);
    // The solo player is "You".
    const bool you = name == QLatin1String("You");
    addlinetochat(name + (watching ? (you ? " are just watching" : " is just watching")
                                   : (you ? " are now playing again" : " now playing again")),
                  clBlue);
    image_eyes[slot]->setVisible(watching);
    // The own turn passes to the computer, or comes back from it, where it stands.
    if (slot == model.ownSeat() && model.inProgress() && model.currentSeat() == slot) {
        showTurn();
        for (int die = 1; die <= 5; ++die)
            dice[die]->setEnabled(playsOwnTurn());
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
