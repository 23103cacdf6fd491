#pragma once

#include "game/RandomGenerator.h"
#include "host/HostPolicy.h"
#include "net/GameSocket.h"
#include "net/WireProtocol.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>

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
// over TCP. Messages from all connections share one queue, worked off one per
// tick of `socktimer`.
class TServer : public QObject {
    Q_OBJECT
public:
    static constexpr int SeatCount = 4;
    static constexpr int MaxSlots = 9; // seats 1..4, spectators 5..9
    static constexpr int RefusalSlot = 10;

    // What one connection may cost the host before it is dropped.
    static constexpr qsizetype MaxUnterminatedBytes = 64 * 1024;
    static constexpr int MaxWaitingMessages = 256;
    static constexpr qsizetype MaxUnsentBytes = 1024 * 1024;

    explicit TServer(QObject* parent = nullptr);
    ~TServer() override;

    // The command names the host dispatches, in the order they are tested.
    static QStringList handledCommands();

    TGameSocket Sock1;    // the listener
    TGameSocket tempsock; // never opened: holds the handlers every connection gets
    QTimer socktimer;     // the message pump, 10 ms
    QTimer Timer1;        // one-shot: the next roll of a computer-driven seat
    QTimer timer_pauser;  // three ticks between a posting and the next turn

    // Slots 1..11 (index 0 unused).
    std::array<tplayer, 12> players{};
    int slotcount = 0; // highest slot handed out so far; never goes down
    bool gameinprogress = false;
    int currentplayer = 0;
    int rollcount = 0; // rolls made in the current turn

    // The dice of the current turn, dice 1..5 (index 0 unused). A live value
    // is -1 before the turn's first roll, 0 while the die is kept, else its
    // face; a kept value is 0 or the kept die's face.
    std::array<int, 6> livedice{};
    std::array<int, 6> keptdice{};
    bool teamgame = false;
    bool bonusgame = false;
    int bonusface = 0;  // drawn every turn, counts only in a bonus-dice game
    int pausecount = 0; // ticks of timer_pauser left before the next turn

    // This table's dice: the process's generator, unless one process runs
    // several tables, each with a generator and a seed of its own.
    void setRandomGenerator(TRandomGenerator& generator) { m_random = &generator; }
    TRandomGenerator& random() const { return *m_random; }
    // Where rolled faces come from; tests put chosen dice here.
    std::function<int()> faceSource = [this] { return random().face(); };

    // Put in front of this host's traces ("port 7773: "), so that a process
    // running several tables says which one a line is about.
    void setTraceTag(const QString& tag) { m_traceTag = tag; }

    // The computer players' pace in milliseconds; the game reads the hosting
    // player's setting, the dedicated server its command line.
    void setBotSpeedSource(std::function<int()> source) { m_botSpeed = std::move(source); }
    int botspeed() const { return m_botSpeed(); }

    // Limits for strangers; set before listening. Off unless set.
    void setPolicy(const THostPolicy& policy) { m_policy = policy; }

    // Which computer player takes the empty and watching seats, read afresh
    // at every step like the pace: the classic rule set, or the optimal one.
    enum class BotSkill { Classic, Expert };
    void setBotSkillSource(std::function<BotSkill()> source) { m_botSkill = std::move(source); }
    BotSkill botskill() const { return m_botSkill(); }

    int connectionCount() const;
    int waitingMessages() const { return int(m_receivedlist.size()); }

    // Socket events.
    void Sock1Accept(TGameSocket* sender);
    void Sock1Read(TGameSocket* sender, int count);
    void tempsockDisconnect(TGameSocket* sender);
    void tempsockClose(TGameSocket* sender);
    void socktimerTimer();
    void Timer1Timer();
    void timer_pauserTimer();

    // Message handlers; `sender` is the slot of the connection the message came from.
    void receivedlogininfo(int sender, const QString& arguments);
    void kickhim(int sender, const QString& arguments);
    void disconnectsock(int slot);
    void chat(int sender, const QString& arguments);
    void action(int sender, const QString& arguments);
    void playasound(int sender, const QString& arguments);
    void justwatch(int sender, const QString& arguments);

    // The turn engine. The requests take the message's argument text and are
    // what the computer player calls too, so both act alike.
    void startgame(const QString& arguments); // starter "+" bonus "t"/"f" "+" team "true"/"false"
    void rolldice(const QString& arguments);  // seat
    void setdice(const QString& arguments);   // seat "+" die
    void unsetdice(const QString& arguments); // seat "+" die
    void setscore(const QString& arguments);  // seat "+" category
    void findplayer();
    void checkforwin();

    // The computer player: a fixed greedy rule set that acts only through the
    // requests above, so every window sees its turn like a human's.
    void computerplay(int seat);    // one step, after every roll of a computer-driven seat
    bool computercheck(int seat);   // scores a special category the dice fill
    void computerworking(int seat); // keeps dice for the work target, arms Timer1
    int findworking(int seat) const;
    int findany(int seat) const; // the highest-numbered free category, 0 if none
    int straight() const;        // 10 if the dice on the table show 2, 3, 4 and 5
    int threes(int seat) const;
    int twos(int seat) const;
    void worknums(int seat, int face);
    void workstraight(int seat);

    // The Expert: plays the optimal strategy through the same requests. Its
    // step answers false while the strategy's tables are not ready yet.
    bool expertplay(int seat);
    bool expertwaiting() const; // an Expert is on turn but its tables are not ready

    // Played by the computer: nobody in the seat, or its player just watches.
    bool iscomputer(int seat) const { return !players[seat].inuse || players[seat].justwatch; }
    // The current turn is scored and only waits for the next one.
    bool turnPosted() const { return m_posted; }

    void sendTo(int slot, const QByteArray& message);
    void broadcast(const QByteArray& message);
    void broadcastExcept(int slot, const QByteArray& message);

signals:
    void slotTaken(int slot, const QString& address);
    void loggedIn(int slot, const QString& name);
    void slotFreed(int slot, const QString& name);
    void connectionDropped(int slot, const QString& reason);
    void connectionRefused(const QString& address, const QString& reason);
    // Accepting failed for lack of descriptors; the next try is in `milliseconds`.
    void acceptPaused(const QString& reason, int milliseconds);

private:
    // Bookkeeping of the connection in a slot, apart from the game's record.
    struct Connection {
        net::MessageFramer framer{MaxUnterminatedBytes};
        quint64 serial = 0;
        int waiting = 0;
        bool dropping = false;
        bool loggedIn = false;
        double tokens = 0;     // the rate limit's bucket
        qint64 lastRefill = 0; // m_clock's reading when the bucket was filled up
    };
    struct ReceivedMessage {
        QByteArray line;
        int slot;
        quint64 serial;
    };

    void FormCreate();
    int chooseSlot();
    void refuseConnection(TGameSocket* connection, const QString& reason);
    void backOffAccepting(int error);
    void acceptRetryTimer();
    bool addressIsFull(const QString& address) const;
    void armLoginTimeout(int slot);
    bool takeToken(int slot);
    void departure(int slot);
    void dropConnection(int slot, const QString& reason);
    void queueMessage(int slot, QByteArray line);
    void dispatch(const ReceivedMessage& message);
    bool isSeatedSender(int sender, int slotField) const;
    void relay(const char* command, int sender, const QString& arguments, const QString& joiner);
    void sendGameState(int slot);
    bool isOnTurn(int seat) const;
    void announceCard(int seat, const QString& mark);

    std::array<Connection, 12> m_connections{};
    std::deque<ReceivedMessage> m_receivedlist;
    quint64 m_nextSerial = 1;
    std::function<int()> m_botSpeed = [] { return 750; };
    std::function<BotSkill()> m_botSkill = [] { return BotSkill::Classic; };
    bool m_posted = false; // set by a posting, cleared by the next turn
    THostPolicy m_policy;
    TRandomGenerator* m_random = &TRandomGenerator::shared();
    QString m_traceTag;
    QElapsedTimer m_clock;
    static constexpr int MinAcceptBackoffMs = 100;
    static constexpr int MaxAcceptBackoffMs = 1000;
    QTimer m_acceptRetry;      // one-shot: accept again after a failure for lack of descriptors
    int m_acceptBackoffMs = 0; // the current wait; 0 after a connection was taken
};
