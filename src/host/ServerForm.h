#pragma once

#include "net/GameSocket.h"

#include <QObject>
#include <QString>
#include <array>

// One slot of the host's table: a connection and, for seats 1 to 4, the
// seat's game. The game fields outlive the connection, so a newcomer who takes
// a seat freed during a game carries on with that seat's card.
struct tplayer {
    QString name;
    bool inuse = false;
    TGameSocket* connection = nullptr;
    int total = 0;
    int turns = 0;
    bool justwatch = false;
    std::array<int, 16> card{}; // rows 1..15; 1000 marks a row not scored yet
    int partner = 0;
    int worktarget = 0;
};

// The game host: never shown, it lives in the hosting player's process (or in
// the dedicated server) and meets every player window, its own included, only
// over TCP.
class TServer : public QObject {
    Q_OBJECT
public:
    static constexpr int SeatCount = 4;
    static constexpr int MaxSlots = 9; // seats 1..4, spectators 5..9
    static constexpr int RefusalSlot = 10;

    explicit TServer(QObject* parent = nullptr);
    ~TServer() override;

    TGameSocket Sock1;    // the listener
    TGameSocket tempsock; // never opened: holds the handlers every connection gets

    // Slots 1..11 (index 0 unused).
    std::array<tplayer, 12> players{};
    int slotcount = 0; // highest slot handed out so far; never goes down
    bool gameinprogress = false;
    int currentplayer = 0;

    int connectionCount() const;

    void Sock1Accept(TGameSocket* sender);
    void Sock1Read(TGameSocket* sender, int count);
    void tempsockDisconnect(TGameSocket* sender);
    void tempsockInfo(TGameSocket* sender, TSocketInfo info, const QString& msg);

signals:
    // A connection took slot n (Accept) or left it (departure).
    void slotTaken(int slot);
    void slotFreed(int slot);

private:
    void FormCreate();
    int chooseSlot();
    void refuseConnection();
    void departure(int slot);
};
