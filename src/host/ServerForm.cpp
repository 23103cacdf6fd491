#include "host/ServerForm.h"

#include "net/HostAddress.h"
#include "net/SocketCalls.h"
#include "net/WireCommands.h"
#include "platform/Environment.h"
#include "platform/Logging.h"
#include "platform/StrToInt.h"

#include <QDebug>
#include <algorithm>
#include <cstring>

namespace cmd = net::commands;

using net::FieldReader;
using net::WireMessage;

namespace {

// A table's tag in front of a trace, with nothing (not even a space) when the
// process runs one table.
struct TraceTag {
    const QString& text;
};

QDebug operator<<(QDebug stream, TraceTag tag) {
    if (tag.text.isEmpty())
        return stream;
    stream.nospace() << tag.text;
    return stream.space(); // writes the space after the tag
}

bool isSlotNumber(int slot) {
    return slot >= 1 && slot <= TServer::MaxSlots;
}

// The host's commands in the order they are tested. A handler that checks the
// sender itself gets the sender's slot; a game request only its arguments.
struct HostCommand {
    const char* name;
    void (TServer::*fromAnySlot)(int sender, const QString& arguments);
    void (TServer::*fromOwnSlot)(const QString& arguments);
};

const HostCommand HostCommands[] = {
    {cmd::LoginInfo, &TServer::receivedlogininfo, nullptr},
    {cmd::KickHim, &TServer::kickhim, nullptr},
    {cmd::Chat, &TServer::chat, nullptr},
    {cmd::Action, &TServer::action, nullptr},
    {cmd::StartGame, nullptr, &TServer::startgame},
    {cmd::JustWatch, &TServer::justwatch, nullptr},
    {cmd::RollDice, nullptr, &TServer::rolldice},
    {cmd::UnsetDice, nullptr, &TServer::unsetdice},
    {cmd::SetDice, nullptr, &TServer::setdice},
    {cmd::SetScore, nullptr, &TServer::setscore},
    {cmd::PlayASound, &TServer::playasound, nullptr},
};

} // namespace

QStringList TServer::handledCommands() {
    QStringList names;
    for (const HostCommand& entry : HostCommands)
        names << QLatin1String(entry.name);
    return names;
}

TServer::TServer(QObject* parent)
    : QObject(parent) {
    FormCreate();
}

TServer::~TServer() {
    // The connections die with the listener; their departures must not call
    // back into a host that is going away.
    for (TGameSocket* connection : Sock1.findChildren<TGameSocket*>(Qt::FindDirectChildrenOnly)) {
        connection->OnClose = nullptr;
        connection->OnDisconnect = nullptr;
        connection->OnRead = nullptr;
    }
}

void TServer::FormCreate() {
    gameinprogress = false;
    players[1].partner = 3;
    players[2].partner = 4;
    players[3].partner = 1;
    players[4].partner = 2;

    Sock1.setPortName(platform::gamePortName());
    Sock1.OnRead = [this](TGameSocket* s, int count) { Sock1Read(s, count); };
    Sock1.OnAccept = [this](TGameSocket* s) { Sock1Accept(s); };
    tempsock.OnDisconnect = [this](TGameSocket* s) { tempsockDisconnect(s); };
    tempsock.OnClose = [this](TGameSocket* s) { tempsockClose(s); };

    socktimer.setInterval(10);
    connect(&socktimer, &QTimer::timeout, this, &TServer::socktimerTimer);
    Timer1.setSingleShot(true);
    Timer1.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, &TServer::Timer1Timer);
    timer_pauser.setInterval(500);
    m_acceptRetry.setSingleShot(true);
    connect(&m_acceptRetry, &QTimer::timeout, this, &TServer::acceptRetryTimer);
    m_clock.start();
    connect(&timer_pauser, &QTimer::timeout, this, &TServer::timer_pauserTimer);
}

int TServer::connectionCount() const {
    int count = 0;
    for (int slot = 1; slot <= MaxSlots; ++slot)
        count += players[slot].inuse ? 1 : 0;
    return count;
}

// ---------------------------------------------------------------- admission

// The first free slot up to the slot count, else one more slot while there are
// fewer than nine; 0 when all nine are taken.
int TServer::chooseSlot() {
    if (slotcount == 0) {
        slotcount = 1;
        return 1;
    }
    for (int slot = 1; slot <= slotcount; ++slot)
        if (!players[slot].inuse)
            return slot;
    if (slotcount >= MaxSlots)
        return 0;
    return ++slotcount;
}

void TServer::Sock1Accept(TGameSocket* sender) {
    TGameSocket* connection = nullptr;
    if (!sender->Accept(connection)) {
        if (net::lacksResources(sender->AcceptError()))
            backOffAccepting(sender->AcceptError());
        return;
    }
    m_acceptBackoffMs = 0;
    if (addressIsFull(connection->HostName()))
        return refuseConnection(connection, QStringLiteral("too many connections from there"));
    const int slot = chooseSlot();
    if (slot == 0)
        return refuseConnection(connection, QStringLiteral("full"));

    tplayer& player = players[slot];
    player.connection = connection;
    player.inuse = true;
    m_connections[slot] = Connection{};
    m_connections[slot].serial = m_nextSerial++;
    m_connections[slot].tokens = m_policy.burst;
    m_connections[slot].lastRefill = m_clock.elapsed();
    connection->Tag = slot;
    connection->OnDisconnect = tempsock.OnDisconnect;
    connection->OnClose = tempsock.OnClose;
    connection->OnRead = Sock1.OnRead;
    qCInfo(lcHost).noquote() << TraceTag{m_traceTag} << "slot" << slot << "taken by"
                             << connection->HostName();
    emit slotTaken(slot, connection->HostName());
    sendTo(slot, WireMessage(cmd::SendLoginInfo).field(slot).bytes());
    armLoginTimeout(slot);
}

// Out of descriptors, the connection waits in the backlog and the listener
// is not watched (the socket keeps quiet after such a failure): the players
// already here are served meanwhile, and no CPU goes into accepts that
// cannot succeed. The wait doubles from 100 ms up to a second, and starts
// again at 100 ms after the next connection is taken.
void TServer::backOffAccepting(int error) {
    m_acceptBackoffMs = std::clamp(m_acceptBackoffMs * 2, MinAcceptBackoffMs, MaxAcceptBackoffMs);
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    // No QDebug stream: nothing here may need a descriptor.
    qCWarning(lcHost, "%s%scannot accept a connection: %s - trying again in %d ms",
              qPrintable(m_traceTag), m_traceTag.isEmpty() ? "" : " ", qPrintable(reason),
              m_acceptBackoffMs);
    emit acceptPaused(reason, m_acceptBackoffMs);
    m_acceptRetry.start(m_acceptBackoffMs);
}

// Accepting again watches the listener again, whether a connection still
// waits (it is taken, or the back-off goes on) or not.
void TServer::acceptRetryTimer() {
    if (Sock1.Listen())
        Sock1Accept(&Sock1);
}

// A tenth connection, or one too many from one address, is told and dropped;
// nothing else changes.
void TServer::refuseConnection(TGameSocket* connection, const QString& reason) {
    connection->Tag = RefusalSlot;
    qCInfo(lcHost).noquote() << TraceTag{m_traceTag} << "connection from" << connection->HostName()
                             << "refused:" << reason;
    emit connectionRefused(connection->HostName(), reason);
    connection->Send(WireMessage(cmd::Full).field("").bytes());
    delete connection;
}

// One IPv6 /64 counts as one address: a host there has a whole network of
// addresses to come from.
bool TServer::addressIsFull(const QString& address) const {
    if (m_policy.maxPerAddress <= 0)
        return false;
    const QString key = net::addressKey(address);
    int held = 0;
    for (int slot = 1; slot <= MaxSlots; ++slot)
        if (players[slot].inuse && players[slot].connection &&
            net::addressKey(players[slot].connection->HostName()) == key)
            ++held;
    return held >= m_policy.maxPerAddress;
}

// A connection that never logs in would hold its slot for ever.
void TServer::armLoginTimeout(int slot) {
    if (m_policy.loginTimeoutMs <= 0)
        return;
    const quint64 serial = m_connections[slot].serial;
    QTimer::singleShot(m_policy.loginTimeoutMs, this, [this, slot, serial] {
        const Connection& connection = m_connections[slot];
        if (players[slot].inuse && connection.serial == serial && !connection.loggedIn)
            dropConnection(slot, QStringLiteral("no login in time"));
    });
}

// The rate limit: a bucket of `burst` messages, refilled at `maxRate` a second.
bool TServer::takeToken(int slot) {
    if (m_policy.maxRate <= 0)
        return true;
    Connection& connection = m_connections[slot];
    const qint64 now = m_clock.elapsed();
    connection.tokens =
        std::min<double>(m_policy.burst, connection.tokens + (now - connection.lastRefill) *
                                                                 m_policy.maxRate / 1000);
    connection.lastRefill = now;
    if (connection.tokens < 1)
        return false;
    connection.tokens -= 1;
    return true;
}

// ---------------------------------------------------------------- receiving

void TServer::Sock1Read(TGameSocket* sender, int) {
    const QByteArray bytes = sender->Receive();
    const int slot = sender->Tag;
    if (!isSlotNumber(slot) || players[slot].connection != sender || m_connections[slot].dropping)
        return;
    std::deque<QByteArray> lines;
    const bool intact = m_connections[slot].framer.append(bytes, lines);
    for (QByteArray& line : lines) {
        if (!takeToken(slot))
            return dropConnection(slot, QStringLiteral("more messages than the rate limit"));
        queueMessage(slot, std::move(line));
    }
    if (!intact)
        dropConnection(slot, QStringLiteral("more than 64 KiB without a terminator"));
}

void TServer::queueMessage(int slot, QByteArray line) {
    Connection& connection = m_connections[slot];
    if (connection.dropping)
        return;
    if (connection.waiting >= MaxWaitingMessages)
        return dropConnection(slot, QStringLiteral("too many messages waiting"));
    ++connection.waiting;
    m_receivedlist.push_back({std::move(line), slot, connection.serial});
    if (!socktimer.isActive())
        socktimer.start();
}

// One message per tick; the timer sleeps while nothing waits.
void TServer::socktimerTimer() {
    if (m_receivedlist.empty()) {
        socktimer.stop();
        return;
    }
    const ReceivedMessage message = std::move(m_receivedlist.front());
    m_receivedlist.pop_front();
    Connection& connection = m_connections[message.slot];
    if (connection.serial == message.serial)
        --connection.waiting;
    try {
        dispatch(message);
    } catch (const platform::EConvertError& error) {
        // A remote peer must not be able to pop boxes on the host's screen.
        qCWarning(lcHost).noquote() << TraceTag{m_traceTag} << "message from slot" << message.slot
                                    << "abandoned:" << error.what();
    } catch (const std::exception& error) {
        qCWarning(lcHost).noquote() << TraceTag{m_traceTag} << "message from slot" << message.slot
                                    << "failed:" << error.what();
    }
    if (m_receivedlist.empty())
        socktimer.stop();
}

void TServer::dispatch(const ReceivedMessage& message) {
    const int sender = message.slot;
    // The slot was given to someone else since: the message is not theirs.
    if (players[sender].inuse && m_connections[sender].serial != message.serial)
        return;
    const net::WireLine line = net::splitLine(message.line);
    for (const HostCommand& entry : HostCommands) {
        if (line.command != QLatin1String(entry.name))
            continue;
        if (entry.fromAnySlot)
            return (this->*entry.fromAnySlot)(sender, line.arguments);
        // A game request acts for the slot it names: only that slot's own
        // connection may make it.
        if (isSeatedSender(sender, FieldReader(line.arguments).number()))
            (this->*entry.fromOwnSlot)(line.arguments);
        return;
    }
}

// Every request names a slot; only the connection in that slot may make it.
bool TServer::isSeatedSender(int sender, int slotField) const {
    return isSlotNumber(slotField) && slotField == sender;
}

// ---------------------------------------------------------------- handlers

void TServer::receivedlogininfo(int sender, const QString& arguments) {
    FieldReader fields(arguments);
    const int slot = fields.number();
    const QString version = fields.text();
    const QString name = fields.rest();
    if (!isSeatedSender(sender, slot) || !players[slot].inuse)
        return;

    players[slot].name = name;
    players[slot].inuse = true;
    m_connections[slot].loggedIn = true;
    qCInfo(lcHost).noquote() << TraceTag{m_traceTag} << "slot" << slot << "logged in as" << name;
    emit loggedIn(slot, name);

    broadcast(WireMessage(cmd::NewPlayerInfo).field(slot).field(name).bytes());
    for (int other = 1; other <= slotcount; ++other)
        if (other != slot && players[other].inuse)
            sendTo(
                slot,
                WireMessage(cmd::ExistingPlayers).field(other).field(players[other].name).bytes());
    if (version != QLatin1String(net::GameVersion)) {
        if (players[1].inuse)
            sendTo(1, WireMessage(cmd::HaveWrongVersion).field(name).bytes());
        sendTo(slot, WireMessage(cmd::WrongVersion).field("").bytes());
    }
    if (gameinprogress)
        sendGameState(slot);
}

void TServer::sendGameState(int slot) {
    const tplayer& current = players[currentplayer];
    sendTo(slot, WireMessage(cmd::NextPlayer)
                     .field(currentplayer)
                     .field(current.turns)
                     .field(current.total)
                     .field(rollcount)
                     .field("")
                     .bytes());
    for (int seat = 1; seat <= SeatCount; ++seat) {
        WireMessage score(cmd::PScore);
        score.field(seat).field(players[seat].total).field("*");
        for (int row = 1; row <= 15; ++row)
            score.field(players[seat].card[row]);
        sendTo(slot, score.bytes());
    }
}

void TServer::kickhim(int sender, const QString& arguments) {
    FieldReader fields(arguments);
    const int requester = fields.number();
    const int target = fields.number();
    if (requester != 1 || sender != 1)
        return;
    disconnectsock(target);
}

// The removed window hears of its own departure first, the message everyone
// else gets after the close: so it knows it was removed, not that the game ended.
void TServer::disconnectsock(int slot) {
    if (!isSlotNumber(slot) || !players[slot].inuse || !players[slot].connection)
        return;
    sendTo(slot,
           WireMessage(cmd::PlayerDisconnected).field(slot).field(players[slot].name).bytes());
    if (players[slot].connection)
        players[slot].connection->Close();
}

void TServer::chat(int sender, const QString& arguments) {
    relay(cmd::Chat, sender, arguments, QStringLiteral(" chats: "));
}

void TServer::action(int sender, const QString& arguments) {
    relay(cmd::Action, sender, arguments, QStringLiteral(" "));
}

// The rest is passed on as it came, colour suffix and separators included.
void TServer::relay(const char* command, int sender, const QString& arguments,
                    const QString& joiner) {
    FieldReader fields(arguments);
    const int slot = fields.number();
    const QString rest = fields.rest();
    if (!isSeatedSender(sender, slot))
        return;
    broadcast(WireMessage(command).field(players[slot].name + joiner + rest).bytes());
}

void TServer::playasound(int sender, const QString& arguments) {
    FieldReader fields(arguments);
    const int slot = fields.number();
    const QString rest = fields.rest();
    if (!isSeatedSender(sender, slot))
        return;
    broadcast(WireMessage(cmd::PlayASound).field(slot).field(rest).bytes());
}

void TServer::justwatch(int sender, const QString& arguments) {
    FieldReader fields(arguments);
    const int seat = fields.number();
    const QString state = fields.rest();
    // A player switches their own seat; the hosting player may switch any.
    if (!isSlotNumber(seat) || (sender != seat && sender != 1) || !players[seat].inuse)
        return;
    if (state == QLatin1String("2")) {
        players[seat].justwatch = false;
        broadcast(WireMessage(cmd::JustWatching).field(seat).field("2").bytes());
    } else if (state == QLatin1String("1")) {
        players[seat].justwatch = true;
        broadcast(WireMessage(cmd::JustWatching).field(seat).field("1").bytes());
        // A turn already scored only waits for the next; the computer has nothing to do.
        if (seat == currentplayer && !turnPosted()) {
            Timer1.setInterval(botspeed());
            Timer1.start();
        }
    }
}

// ---------------------------------------------------------------- sending

void TServer::sendTo(int slot, const QByteArray& message) {
    if (!isSlotNumber(slot) || !players[slot].inuse || m_connections[slot].dropping)
        return;
    TGameSocket* connection = players[slot].connection;
    if (!connection || !connection->isOpen())
        return;
    connection->Send(message);
    // The system takes megabytes of a peer that does not read before the
    // socket's own queue grows: its share counts too.
    if (connection->unsentLength() > MaxUnsentBytes)
        dropConnection(slot, QStringLiteral("more than 1 MiB unsent: the peer does not read"));
}

void TServer::broadcast(const QByteArray& message) {
    for (int slot = 1; slot <= slotcount; ++slot)
        sendTo(slot, message);
}

void TServer::broadcastExcept(int except, const QByteArray& message) {
    for (int slot = 1; slot <= slotcount; ++slot)
        if (slot != except)
            sendTo(slot, message);
}

// ---------------------------------------------------------------- departures

// A connection that costs too much is closed outside the handler that found
// it out (which may be a broadcast to it), with its waiting messages dropped.
void TServer::dropConnection(int slot, const QString& reason) {
    Connection& connection = m_connections[slot];
    if (connection.dropping)
        return;
    connection.dropping = true;
    const quint64 serial = connection.serial;
    std::erase_if(m_receivedlist, [&](const ReceivedMessage& m) { return m.serial == serial; });
    connection.waiting = 0;
    qCWarning(lcHost).noquote() << TraceTag{m_traceTag} << "dropping slot" << slot << "-" << reason;
    emit connectionDropped(slot, reason);
    QTimer::singleShot(0, this, [this, slot, serial] {
        if (m_connections[slot].serial == serial && players[slot].connection)
            players[slot].connection->Close();
    });
}

void TServer::tempsockDisconnect(TGameSocket* sender) {
    const int slot = sender->Tag;
    if (isSlotNumber(slot) && players[slot].inuse && players[slot].connection == sender)
        sender->Close();
}

void TServer::tempsockClose(TGameSocket* sender) {
    const int slot = sender->Tag;
    // A late report from a connection whose slot has been given away is not
    // that slot's departure.
    if (!isSlotNumber(slot) || players[slot].connection != sender)
        return;
    departure(slot);
}

void TServer::departure(int slot) {
    tplayer& player = players[slot];
    const QString name = player.name;
    if (player.inuse)
        broadcastExcept(slot, WireMessage(cmd::PlayerDisconnected).field(slot).field(name).bytes());
    player.inuse = false;
    player.name.clear();
    player.justwatch = false;
    player.connection->deleteLater();
    player.connection = nullptr;
    m_connections[slot].framer.clear();
    m_connections[slot].dropping = false;
    qCInfo(lcHost).noquote() << TraceTag{m_traceTag} << "slot" << slot << "left";
    emit slotFreed(slot, name);
    // The departed player's turn ends without a posting. Any seat counts, slot
    // 1 too: in the dedicated server it is an ordinary connection.
    if (gameinprogress && slot == currentplayer) {
        timer_pauser.stop(); // a pause still running would start a second turn
        Timer1.stop();
        findplayer();
    }
}
