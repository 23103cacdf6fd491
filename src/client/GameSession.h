#pragma once

#include "client/GameModel.h"
#include "client/PlayerSettings.h"
#include "net/ColorText.h"
#include "net/GameSocket.h"
#include "net/WireProtocol.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <utility>
#include <vector>

namespace client {

// How the connection to the host stands.
enum class HostLink {
    Idle,    // not asked to connect yet
    Open,    // connecting or connected
    Flooded, // the host sent more than the session holds: dropped by us
    Closed   // the connection has closed
};

// One player's session with the host, without a window: it owns the
// connection, takes the host's messages one per tick of `timer_pump`, writes
// them into the model and says what changed; it turns a player's requests
// into messages. The window draws from the model when it hears a signal.
class TGameSession : public QObject {
    Q_OBJECT
public:
    // Past either limit the host is taken to be broken and the session ends.
    static constexpr std::size_t MaxReceivedMessages = 100000;
    static constexpr qsizetype MaxReceivedBytes = 64 * 1024 * 1024;

    explicit TGameSession(QObject* parent = nullptr);
    ~TGameSession() override;

    const TGameModel& model() const { return m_model; }
    // The command names the session dispatches, in the order they are tested.
    static QStringList handledCommands();

    // ---- the connection
    void setPortName(const QString& port);
    // Connects to the host at `address` and logs in as `playerName` once it
    // asks. A hosting session connects to the host of its own process, over
    // loopback, whatever address the host is known by.
    void connectTo(const QString& address, const QString& playerName, bool hosting);
    HostLink link() const { return m_link; }
    bool hostGone() const { return m_link == HostLink::Closed || m_link == HostLink::Flooded; }
    bool connected() const { return m_socket.Connected(); }
    bool loggedIn() const { return m_loggedIn; }
    bool hosting() const { return m_hosting; }
    bool removed() const { return m_removed; }
    QString playerName() const { return m_playerName; }
    QString hostAddress() const { return m_hostAddress; }
    QByteArray loginText() const { return m_loginText; }
    const TGameSocket& socket() const { return m_socket; }
    TGameSocket& socket() { return m_socket; }

    // Spectators by slot (5..9), as the host named them.
    const QMap<int, QString>& spectators() const { return m_spectators; }
    // The host's Just Watch mark of the own slot.
    bool justWatching() const { return m_justWatching; }

    // The own turn, played by this player, waits for its next move: nothing
    // asked of the host is still unanswered.
    bool moveOpen() const { return m_canAct && m_model.ownTurn() && m_loggedIn; }
    bool canAct() const { return m_canAct; }
    // The host lets the own turn roll again.
    bool rollOffered() const { return m_rollOffered; }

    // The player's preferences; loaded when the host has seated us.
    TPlayerSettings& settings() { return m_settings; }
    const TPlayerSettings& settings() const { return m_settings; }

    // ---- the message pump
    QTimer timer_pump; // one message per tick, 1 ms, asleep while nothing waits
    std::size_t queuedMessages() const { return m_received.size(); }
    void timer_pumpTimer();

    // ---- what a player asks of the host
    void roll();
    void keep(int die);
    void putBack(int die);
    void score(int category);
    void chat(const QString& text, TColor colour);   // chat input, "/me" and all
    void phrase(const QString& text, TColor colour); // a phrase button's phrase
    void justWatch(bool watching);                   // the own seat
    void setJustWatch(int seat, bool watching);      // any seat, from the hosting window
    void remove(int slot);
    void start(bool bonus, bool team);
    void playSound(int wave);
    void announceBotSpeed(); // the hosting player's, for hosts that expect it

signals:
    void loggedInAs(int slot);
    // A newcomer or one already there; `self` for the own slot.
    void playerConnected(int slot, const QString& name, bool self);
    void seatLeft(int seat, const QString& name);
    void spectatorLeft(int slot, const QString& name);
    void removedByHost();
    void watchingChanged(int slot, bool watching);
    void chatLine(const QString& text, TColor colour);
    void soundPlayed(int seat, const QString& wave);
    void gameStarted(int starter, bool bonus, bool team);
    void bonusDieDrawn(int face);
    void turnPassed(int seat, int rollsMade); // rollsMade -1 when the host did not say
    void diceThrown(int seat, int rollsMade, const std::vector<std::pair<int, int>>& thrown);
    void dieMoved(int die, client::DiePlace place);
    void rollFirst();
    void chooseAgain();
    // A seat's card; `category` is the one just scored, 0 for a silent update.
    void cardReported(int seat, int category);
    void gameWon(const QString& winners);
    void gameFull();
    void hostFlooded();
    // The connection has closed and every message before the close is handled.
    void hostClosed();
    // A message was handled (after the signals it caused).
    void messageHandled(const QString& command);

private:
    void socketInfo(TSocketInfo info, const QString& text);
    void socketRead();
    void socketClosed();
    void flooded();
    void wakePump();
    void endWhenQueueIsDone();
    void dispatch(const net::WireLine& line);
    void send(const QByteArray& message);
    void offerTurn();
    void closeTurn();

    // One handler per command the host sends.
    void sendloginfo(const QString& arguments);
    void newplayerinfo(const QString& arguments);
    void playerdisconnected(const QString& arguments);
    void justwatching(const QString& arguments);
    void chatrecieved(const QString& arguments);
    void playasound(const QString& arguments);
    void startthegame(const QString& arguments);
    void setbonusdice(const QString& arguments);
    void getnextplayer(const QString& arguments);
    void thedice(const QString& arguments);
    void setdice(const QString& arguments, client::DiePlace place);
    void pscore(const QString& arguments);
    void rollagain();
    void chooseagain();
    void winner(const QString& arguments);

    friend struct SessionCommands;

    TGameModel m_model;
    TGameSocket m_socket;
    HostLink m_link = HostLink::Idle;
    bool m_closedReported = false;
    bool m_loggedIn = false;
    bool m_hosting = false;
    bool m_removed = false;
    bool m_justWatching = false;
    bool m_canAct = false;
    bool m_rollOffered = false;
    TPlayerSettings m_settings;
    QString m_playerName;
    QString m_hostAddress;
    QByteArray m_loginText; // the player name and one terminator byte
    QMap<int, QString> m_spectators;
    net::MessageFramer m_remainder;
    std::deque<QByteArray> m_received;
    qsizetype m_receivedBytes = 0; // the bytes of the lines waiting
};

} // namespace client
