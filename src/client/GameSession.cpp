#include "client/GameSession.h"

#include "game/ScoringRules.h"
#include "net/WireCommands.h"
#include "platform/Logging.h"
#include "platform/StrToInt.h"

using net::FieldReader;
using net::WireMessage;
namespace cmd = net::commands;

namespace client {

namespace {

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

} // namespace

// The session's commands in the order they are tested.
struct SessionCommands {
    using Handler = void (*)(TGameSession& session, const QString& arguments);
    struct Entry {
        const char* name;
        Handler handle;
    };
    static const Entry Table[];
};

const SessionCommands::Entry SessionCommands::Table[] = {
    {cmd::PlayASound, [](TGameSession& s, const QString& a) { s.playasound(a); }},
    {cmd::SendLoginInfo, [](TGameSession& s, const QString& a) { s.sendloginfo(a); }},
    {cmd::Chat, [](TGameSession& s, const QString& a) { s.chatrecieved(a); }},
    {cmd::Action, [](TGameSession& s, const QString& a) { s.chatrecieved(a); }},
    {cmd::NewPlayerInfo,
     [](TGameSession& s, const QString& a) { s.newplayerinfo(namesAsText(a)); }},
    {cmd::HaveWrongVersion,
     [](TGameSession& s, const QString& a) {
         emit s.chatLine(namesAsText(a) + " has a different version of the game then you.", clBlue);
     }},
    {cmd::WrongVersion,
     [](TGameSession& s, const QString&) {
         emit s.chatLine(QStringLiteral("You have a differnt version of the game then the host."),
                         clBlue);
     }},
    {cmd::ExistingPlayers,
     [](TGameSession& s, const QString& a) { s.newplayerinfo(namesAsText(a)); }},
    {cmd::PlayerDisconnected,
     [](TGameSession& s, const QString& a) { s.playerdisconnected(namesAsText(a)); }},
    {cmd::StartGame, [](TGameSession& s, const QString& a) { s.startthegame(a); }},
    {cmd::NextPlayer, [](TGameSession& s, const QString& a) { s.getnextplayer(a); }},
    {cmd::Winner, [](TGameSession& s, const QString& a) { s.winner(namesAsText(a)); }},
    {cmd::Full, [](TGameSession& s, const QString&) { emit s.gameFull(); }},
    {cmd::JustWatching, [](TGameSession& s, const QString& a) { s.justwatching(a); }},
    {cmd::TheDice, [](TGameSession& s, const QString& a) { s.thedice(a); }},
    {cmd::UnsetDice,
     [](TGameSession& s, const QString& a) { s.setdice(a, client::DiePlace::PutBack); }},
    {cmd::SetDice, [](TGameSession& s, const QString& a) { s.setdice(a, client::DiePlace::Kept); }},
    {cmd::ChooseAgain, [](TGameSession& s, const QString&) { s.chooseagain(); }},
    {cmd::RollAgain, [](TGameSession& s, const QString&) { s.rollagain(); }},
    {cmd::PScore, [](TGameSession& s, const QString& a) { s.pscore(a); }},
    {cmd::SetBonusDice, [](TGameSession& s, const QString& a) { s.setbonusdice(a); }},
};

QStringList TGameSession::handledCommands() {
    QStringList names;
    for (const SessionCommands::Entry& entry : SessionCommands::Table)
        names << QLatin1String(entry.name);
    return names;
}

TGameSession::TGameSession(QObject* parent)
    : QObject(parent) {
    timer_pump.setInterval(1);
    timer_pump.setTimerType(Qt::PreciseTimer);
    connect(&timer_pump, &QTimer::timeout, this, &TGameSession::timer_pumpTimer);
    m_socket.OnInfo = [this](TGameSocket*, TSocketInfo info, const QString& text) {
        socketInfo(info, text);
    };
    m_socket.OnRead = [this](TGameSocket*, int) { socketRead(); };
    m_socket.OnClose = [this](TGameSocket*) { socketClosed(); };
}

TGameSession::~TGameSession() {
    // The socket reports its close while the session is half gone: not to us.
    m_socket.OnInfo = nullptr;
    m_socket.OnRead = nullptr;
    m_socket.OnClose = nullptr;
}

// ---------------------------------------------------------------- connection

void TGameSession::setPortName(const QString& port) {
    m_socket.setPortName(port);
}

void TGameSession::connectTo(const QString& address, const QString& playerName, bool hosting) {
    m_playerName = playerName;
    m_hosting = hosting;
    m_loginText = playerName.toLocal8Bit() + net::Terminator;
    m_hostAddress = address;
    m_link = HostLink::Open;
    m_socket.setHostName(hosting ? QStringLiteral("127.0.0.1") : address);
    m_socket.Open();
}

void TGameSession::socketInfo(TSocketInfo info, const QString& text) {
    qCInfo(lcLaunch).noquote() << "sock info" << int(info) << text;
}

// Read what the host said before it hung up (say, that the game is full),
// then report the close.
void TGameSession::socketClosed() {
    if (m_link != HostLink::Flooded)
        m_link = HostLink::Closed;
    endWhenQueueIsDone();
}

void TGameSession::endWhenQueueIsDone() {
    if (!hostGone() || !m_received.empty() || m_closedReported)
        return;
    m_closedReported = true;
    emit hostClosed();
}

void TGameSession::socketRead() {
    const std::size_t queued = m_received.size();
    if (!m_remainder.append(m_socket.Receive(), m_received))
        qCWarning(lcLaunch) << "an over-long message from the host was skipped";
    for (auto line = m_received.begin() + qsizetype(queued); line != m_received.end(); ++line)
        m_receivedBytes += line->size();
    if (m_received.size() > MaxReceivedMessages || m_receivedBytes > MaxReceivedBytes)
        return flooded();
    wakePump();
}

// No host in a working game sends this much ahead of the window: treat it as
// broken rather than grow without end.
void TGameSession::flooded() {
    qCWarning(lcLaunch) << "the host sent more than the window can hold; leaving";
    m_received.clear();
    m_receivedBytes = 0;
    m_remainder.clear();
    m_link = HostLink::Flooded;
    emit hostFlooded();
    m_socket.Close();
    endWhenQueueIsDone();
}

void TGameSession::wakePump() {
    if (!timer_pump.isActive() && !m_received.empty())
        timer_pump.start();
}

// One message per tick while messages wait; no wake-ups when there is nothing to do.
void TGameSession::timer_pumpTimer() {
    if (!m_received.empty()) {
        const QByteArray line = std::move(m_received.front());
        m_received.pop_front();
        m_receivedBytes -= line.size();
        try {
            dispatch(net::splitLine(line));
        } catch (const platform::EConvertError& error) {
            // One bad message is dropped; the game goes on.
            emit chatLine(QString::fromLocal8Bit(error.what()), clRed);
        }
    }
    if (m_received.empty()) {
        timer_pump.stop();
        endWhenQueueIsDone();
    }
}

void TGameSession::dispatch(const net::WireLine& line) {
    for (const SessionCommands::Entry& entry : SessionCommands::Table)
        if (line.command == QLatin1String(entry.name)) {
            entry.handle(*this, line.arguments);
            emit messageHandled(line.command);
            return;
        }
}

void TGameSession::send(const QByteArray& message) {
    if (m_socket.isOpen())
        m_socket.Send(message);
}

// ---------------------------------------------------------------- handlers

void TGameSession::sendloginfo(const QString& arguments) {
    m_model.setOwnSeat(platform::StrToInt(arguments));
    m_loggedIn = true;
    send(WireMessage(cmd::LoginInfo)
             .field(m_model.ownSeat())
             .field(net::GameVersion)
             .rawField(m_loginText)
             .bytes());
    emit loggedInAs(m_model.ownSeat());
}

void TGameSession::newplayerinfo(const QString& arguments) {
    FieldReader fields(arguments);
    const int slot = fields.number();
    const QString name = fields.rest();
    if (name.isEmpty())
        return;
    if (slot > TGameModel::Seats)
        m_spectators.insert(slot, name);
    else if (slot >= 1)
        m_model.seatTaken(slot, name);
    emit playerConnected(slot, name, slot == m_model.ownSeat());
}

void TGameSession::playerdisconnected(const QString& arguments) {
    FieldReader fields(arguments);
    const int slot = fields.number();
    const QString name = fields.rest();
    if (m_loggedIn && slot == m_model.ownSeat()) {
        // The host names our own slot just before it closes our connection.
        m_removed = true;
        m_loggedIn = false;
        closeTurn();
        if (TGameModel::validSeat(slot))
            m_model.seatLeft(slot);
        const bool spectating = m_spectators.contains(slot) && m_spectators.value(slot) == name;
        if (spectating)
            m_spectators.remove(slot);
        emit removedByHost();
        if (spectating)
            emit spectatorLeft(slot, name);
        // The host closes its end; ours goes too, whatever the host does next.
        if (m_socket.isOpen())
            m_socket.Close();
        return;
    }
    if (TGameModel::validSeat(slot)) {
        // During a game the computer plays on with the seat's card and total.
        const QString left = m_model.seatName(slot);
        m_model.seatLeft(slot);
        emit seatLeft(slot, left);
    }
    if (!m_spectators.contains(slot) || m_spectators.value(slot) != name)
        return;
    m_spectators.remove(slot);
    emit spectatorLeft(slot, name);
}

void TGameSession::justwatching(const QString& arguments) {
    FieldReader fields(arguments);
    const int slot = fields.number();
    const bool watching = fields.rest() == QLatin1String("1");
    if (slot == m_model.ownSeat())
        m_justWatching = watching;
    if (TGameModel::validSeat(slot))
        m_model.setWatching(slot, watching);
    // The own turn passes to the computer, or comes back from it, where it stands.
    if (slot == m_model.ownSeat() && TGameModel::validSeat(slot) && m_model.inProgress() &&
        m_model.currentSeat() == slot)
        offerTurn();
    emit watchingChanged(slot, watching);
}

void TGameSession::chatrecieved(const QString& arguments) {
    const qsizetype bar = arguments.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return emit chatLine(arguments, clRed);
    const auto colour = net::StringToColor(arguments.mid(bar + 1));
    emit chatLine(arguments.left(bar), colour.value_or(clRed));
}

void TGameSession::playasound(const QString& arguments) {
    FieldReader fields(arguments);
    const int seat = fields.number();
    emit soundPlayed(seat, fields.text());
}

void TGameSession::startthegame(const QString& arguments) {
    FieldReader fields(arguments);
    const int starter = fields.number();
    const bool bonus = fields.text() == QLatin1String("t");
    const bool team = fields.rest() == QLatin1String("true");
    m_model.gameStarted(team, bonus);
    m_canAct = false;
    // Just Watch stays as the host keeps it.
    m_justWatching = m_model.seat(m_model.ownSeat()).watching;
    emit gameStarted(starter, bonus, team);
}

void TGameSession::setbonusdice(const QString& arguments) {
    const int face = platform::StrToInt(arguments);
    if (face < 1 || face > 6)
        return;
    m_model.setBonusFace(face);
    emit bonusDieDrawn(face);
}

void TGameSession::getnextplayer(const QString& arguments) {
    FieldReader fields(arguments);
    const int seat = fields.number();
    const QString round = fields.text();
    fields.text(); // the seat's total: shown by its score messages
    bool rollsKnown = false;
    const int rolls = fields.text().toInt(&rollsKnown);
    m_model.turnPassed(seat, round, rollsKnown ? rolls : -1);
    offerTurn();
    emit turnPassed(seat, rollsKnown ? rolls : -1);
}

void TGameSession::thedice(const QString& arguments) {
    FieldReader fields(arguments);
    const int seat = fields.number();
    const bool more = fields.text() == QLatin1String("y");
    bool rollsKnown = false;
    const int rolls = fields.text().toInt(&rollsKnown);
    std::vector<std::pair<int, int>> thrown;
    while (!fields.atEnd()) {
        const int die = fields.number();
        const int face = fields.number();
        if (TGameModel::validDie(die) && face >= 1 && face <= 6)
            thrown.emplace_back(die, face);
    }
    m_model.diceThrown(seat, more, rollsKnown ? rolls : -1, thrown);
    if (seat == m_model.ownSeat() && m_model.ownTurn()) {
        m_rollOffered = m_model.moreRolls();
        m_canAct = true;
    }
    emit diceThrown(seat, rollsKnown ? rolls : -1, thrown);
}

void TGameSession::setdice(const QString& arguments, client::DiePlace place) {
    const int die = platform::StrToInt(arguments);
    if (!TGameModel::validDie(die))
        return;
    m_model.dieMoved(die, place);
    emit dieMoved(die, place);
}

void TGameSession::pscore(const QString& arguments) {
    FieldReader fields(arguments);
    const int seat = fields.number();
    const QString total = fields.text();
    const QString mark = fields.text();
    if (!TGameModel::validSeat(seat))
        return;
    game::Card card = game::freshCard();
    for (int row = 1; row <= scoring::RowCount; ++row)
        card[row] = fields.number();
    m_model.cardReported(seat, total, card);
    if (mark.startsWith(QLatin1Char('*')))
        return emit cardReported(seat, 0);
    const int category = platform::StrToInt(mark);
    emit cardReported(seat, category >= 1 && category <= scoring::CategoryCount ? category : 0);
}

// Asked to score before rolling: the roll is offered again.
void TGameSession::rollagain() {
    if (m_model.ownTurn()) {
        m_rollOffered = true;
        m_canAct = true;
    }
    emit rollFirst();
}

// A refused choice gives the turn back as it was, rolls left included.
void TGameSession::chooseagain() {
    if (m_model.ownTurn()) {
        m_rollOffered = m_model.moreRolls();
        m_canAct = true;
    }
    emit chooseAgain();
}

void TGameSession::winner(const QString& arguments) {
    m_model.gameWon();
    closeTurn();
    emit gameWon(arguments.section(QLatin1Char('+'), 0, 0));
}

// The seat on turn as the model has it: the own turn waits for a move,
// anyone else's leaves us nothing to do.
void TGameSession::offerTurn() {
    m_canAct = m_model.ownTurn();
    m_rollOffered = m_canAct && m_model.moreRolls();
}

void TGameSession::closeTurn() {
    m_canAct = false;
    m_rollOffered = false;
}

// ---------------------------------------------------------------- requests

// A move waits for the host's answer before the next one goes.
void TGameSession::roll() {
    if (!moveOpen())
        return;
    closeTurn();
    send(WireMessage(cmd::RollDice).field(m_model.ownSeat()).bytes());
}

void TGameSession::keep(int die) {
    if (m_loggedIn)
        send(WireMessage(cmd::SetDice).field(m_model.ownSeat()).field(die).bytes());
}

void TGameSession::putBack(int die) {
    if (m_loggedIn)
        send(WireMessage(cmd::UnsetDice).field(m_model.ownSeat()).field(die).bytes());
}

void TGameSession::score(int category) {
    closeTurn();
    if (m_loggedIn)
        send(WireMessage(cmd::SetScore).field(m_model.ownSeat()).field(category).bytes());
}

// Chat input: plain text is chat, "/me" an action, any other "/" nothing.
void TGameSession::chat(const QString& text, TColor colour) {
    if (!m_loggedIn)
        return;
    if (!text.isEmpty() && !text.startsWith(QLatin1Char('/'))) {
        send(WireMessage(cmd::Chat)
                 .field(m_model.ownSeat())
                 .field(text + '|' + net::ColorToString(colour))
                 .bytes());
    } else if (text.startsWith(QLatin1String("/me"))) {
        send(WireMessage(cmd::Action)
                 .field(m_model.ownSeat())
                 .field(text.mid(4) + '|' + net::ColorToString(colour))
                 .bytes());
    }
}

void TGameSession::phrase(const QString& text, TColor colour) {
    if (!m_loggedIn)
        return;
    const QString said = text.startsWith(QLatin1String("/me ")) ? text.mid(4) : "says: " + text;
    send(WireMessage(cmd::Action)
             .field(m_model.ownSeat())
             .field(said + '|' + net::ColorToString(colour))
             .bytes());
}

void TGameSession::justWatch(bool watching) {
    if (m_loggedIn)
        send(WireMessage(cmd::JustWatch)
                 .field(m_model.ownSeat())
                 .field(watching ? "1" : "2")
                 .bytes());
}

void TGameSession::setJustWatch(int seat, bool watching) {
    if (m_loggedIn && seat < 5)
        send(WireMessage(cmd::JustWatch).field(seat).field(watching ? "1" : "2").bytes());
}

void TGameSession::remove(int slot) {
    if (m_hosting && m_loggedIn)
        send(WireMessage(cmd::KickHim).field(m_model.ownSeat()).field(slot).field("").bytes());
}

void TGameSession::start(bool bonus, bool team) {
    if (!m_socket.Connected())
        return;
    send(WireMessage(cmd::StartGame)
             .field(m_model.ownSeat())
             .field(bonus ? "t" : "f")
             .field(team ? "true" : "false")
             .bytes());
}

void TGameSession::playSound(int wave) {
    if (wave < 1 || wave > 20 || !m_model.seated() || !m_loggedIn)
        return;
    send(WireMessage(cmd::PlayASound)
             .field(m_model.ownSeat())
             .field(QStringLiteral("wave%1").arg(wave))
             .field("")
             .bytes());
}

// Only the hosting player's own window (slot 1) tells its pace; the host
// reads it in-process and ignores the message, which older hosts expect.
void TGameSession::announceBotSpeed() {
    if (m_model.ownSeat() == 1 && m_loggedIn)
        send(WireMessage(cmd::BotSpeed)
                 .field(m_model.ownSeat())
                 .field(m_settings.botSpeed)
                 .field("")
                 .bytes());
}

} // namespace client
