#include "host/ServerForm.h"

#include "platform/Environment.h"
#include "platform/Logging.h"

TServer::TServer(QObject* parent)
    : QObject(parent) {
    FormCreate();
}

TServer::~TServer() {
    // The connections die with the listener; their departures must not call
    // back into a host that is going away.
    for (TGameSocket* connection : Sock1.findChildren<TGameSocket*>(Qt::FindDirectChildrenOnly)) {
        connection->OnInfo = nullptr;
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
    tempsock.OnInfo = [this](TGameSocket* s, TSocketInfo i, const QString& m) {
        tempsockInfo(s, i, m);
    };
}

int TServer::connectionCount() const {
    int count = 0;
    for (int slot = 1; slot <= MaxSlots; ++slot)
        count += players[slot].inuse ? 1 : 0;
    return count;
}

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
    const int slot = chooseSlot();
    if (slot == 0)
        return refuseConnection();

    TGameSocket* connection = nullptr;
    if (!sender->Accept(connection))
        return;
    tplayer& player = players[slot];
    player.connection = connection;
    player.inuse = true;
    connection->Tag = slot;
    connection->OnDisconnect = tempsock.OnDisconnect;
    connection->OnInfo = tempsock.OnInfo;
    connection->OnRead = Sock1.OnRead;
    qCInfo(lcHost).noquote() << "slot" << slot << "taken by" << connection->HostName();
    emit slotTaken(slot);
}

// A tenth connection is taken for a moment and dropped; nothing else changes.
void TServer::refuseConnection() {
    TGameSocket* connection = nullptr;
    if (!Sock1.Accept(connection))
        return;
    connection->Tag = RefusalSlot;
    qCInfo(lcHost).noquote() << "connection from" << connection->HostName() << "refused: full";
    delete connection;
}

void TServer::Sock1Read(TGameSocket* sender, int) {
    // Messages are read by the protocol layer; until then nothing is kept.
    sender->Receive();
}

void TServer::tempsockDisconnect(TGameSocket* sender) {
    const int slot = sender->Tag;
    if (slot >= 1 && slot <= MaxSlots && players[slot].inuse && players[slot].connection == sender)
        sender->Close();
}

void TServer::tempsockInfo(TGameSocket* sender, TSocketInfo, const QString& msg) {
    if (msg != QLatin1String("Socket Closed"))
        return;
    const int slot = sender->Tag;
    // A late report from a connection whose slot has been given away is not
    // that slot's departure.
    if (slot < 1 || slot > MaxSlots || players[slot].connection != sender)
        return;
    departure(slot);
}

void TServer::departure(int slot) {
    tplayer& player = players[slot];
    const bool wasInUse = player.inuse;
    player.inuse = false;
    player.name.clear();
    player.justwatch = false;
    player.connection->deleteLater();
    player.connection = nullptr;
    if (wasInUse) {
        qCInfo(lcHost) << "slot" << slot << "left";
        emit slotFreed(slot);
    }
}
