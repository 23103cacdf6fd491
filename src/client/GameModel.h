#pragma once

#include "game/ScoringRules.h"

#include <QObject>
#include <QString>
#include <array>
#include <utility>
#include <vector>

namespace client {

// Where a die lies on the board.
enum class DiePlace {
    Unthrown, // not thrown since the game started
    Table,    // thrown, free to keep
    Kept,     // in the keep tray
    PutBack   // taken out of the tray, beside it until the next throw
};

struct DieState {
    int face = 1; // 1..6
    DiePlace place = DiePlace::Unthrown;
    bool kept() const { return place == DiePlace::Kept; }
};

struct SeatState {
    QString name;                        // as shown: the player's, a computer's or "<Waiting>"
    QString total = QStringLiteral("0"); // as the host wrote it
    game::Card card = game::freshCard();
    bool watching = false; // its player has the computer play for them
    bool occupied = false; // a player is connected in the seat
    QString departed;      // the player who left it during this game; their points stay
    bool isFree(int category) const { return card[category] == game::Unscored; }
};

// The game as one player window knows it: what the host reported, nothing the
// window decided. The session's handlers write it; board, scorecard, keys and
// screen-reader texts read it. No widgets here.
class TGameModel : public QObject {
    Q_OBJECT
public:
    static constexpr int Seats = 4;
    static constexpr int Dice = 5;
    static const QString Waiting;

    explicit TGameModel(QObject* parent = nullptr);

    // ---- what the handlers report
    void setOwnSeat(int seat);
    void seatTaken(int seat, const QString& name);
    void seatLeft(int seat);
    void setWatching(int seat, bool watching);
    void gameStarted(bool teamGame, bool bonusGame);
    void turnPassed(int seat, const QString& round, int rollsMade);
    // One throw: `rollsMade` -1 when the host did not say; `thrown` holds
    // (die, face) pairs, the dice left out stay where they are.
    void diceThrown(int seat, bool moreRolls, int rollsMade,
                    const std::vector<std::pair<int, int>>& thrown);
    void dieMoved(int die, DiePlace place);
    void setBonusFace(int face);
    void cardReported(int seat, const QString& total, const game::Card& card);
    void gameWon();

    // ---- what the windows read
    int ownSeat() const { return m_ownSeat; }
    bool seated() const { return validSeat(m_ownSeat); }
    int currentSeat() const { return m_currentSeat; }
    bool inProgress() const { return m_inProgress; }
    // A game has been started since the window connected (it may have ended).
    bool gameStartedOnce() const { return m_startedOnce; }
    bool teamGame() const { return m_teamGame; }
    bool bonusGame() const { return m_bonusGame; }
    // The seat is played by the host's computer player: nobody in it, or its
    // player just watches.
    bool computerPlays(int seat) const;
    // In a game, a seat that takes no turns: nobody sits there and the host
    // skips it (seats 1, 3 and 4 of a regular game).
    bool idleSeat(int seat) const;
    bool moreRolls() const { return m_moreRolls; }
    int rollsMade() const { return m_rollsMade; } // -1 unknown
    int bonusFace() const { return m_bonusFace; } // 0 none
    QString round() const { return m_round; }
    const SeatState& seat(int seat) const;
    const DieState& die(int die) const;
    game::Dice faces() const;
    // The own seat is on turn and its player plays it (not just watching).
    bool ownTurn() const;
    // A category the own seat can still score.
    bool ownCategoryFree(int category) const;
    QString seatName(int number) const { return validSeat(number) ? seat(number).name : QString(); }
    // The name the host gives the seat when it names the winner: its player's,
    // else the computer's; empty for a seat that took no turns.
    QString finalName(int seat) const;

    static bool validSeat(int seat) { return seat >= 1 && seat <= Seats; }
    static bool validDie(int die) { return die >= 1 && die <= Dice; }

signals:
    // Anything above changed.
    void changed();

private:
    SeatState& seatAt(int seat) { return m_seats[std::size_t(seat)]; }
    QString emptySeatName(int seat) const;

    int m_ownSeat = 0;
    int m_currentSeat = 0;
    bool m_inProgress = false;
    bool m_startedOnce = false;
    bool m_teamGame = false;
    bool m_bonusGame = false;
    bool m_moreRolls = false;
    int m_rollsMade = -1;
    int m_bonusFace = 0;
    QString m_round;
    std::array<SeatState, Seats + 1> m_seats; // 1..4
    std::array<DieState, Dice + 1> m_dice;    // 1..5
};

} // namespace client
