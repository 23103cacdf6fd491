#pragma once

#include "game/ScoringRules.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <vector>

namespace game {

// Where a player stands within a turn, as far as the best play depends on it.
struct TurnPosition {
    int filled = 0;     // bit (c - 1) set for every filled category c = 1..12
    int upperTotal = 0; // sum of the scored number categories
    int bonusFace = 0;  // the turn's bonus face in a bonus-dice game, else 0
    int rollsMade = 0;  // rolls made in this turn, 0..3
    Dice dice{};        // all five faces, kept or on the table (after the first roll)
};

// The best play from a position. All values are expected points still to come
// in this game (this turn's score included), under optimal play.
struct TurnAdvice {
    bool roll = false;         // roll again, keeping `keep`; otherwise score `category`
    std::array<int, 7> keep{}; // dice of each face 1..6 to keep before the roll
    int category = 0;          // the best category for the dice now; 0 before the first roll
    double best = 0;           // the value of the best play
    // The value of scoring category c now (index 1..12); filled ones are -1.
    std::array<double, 13> scoreNow{};
};

// The exact optimal solitaire strategy for the game's twelve categories and
// upper bonus: the expected final points of every card by backward induction
// over (filled categories, upper total capped at the bonus threshold). Within
// a turn the keeps and choices are worked out on the fly from these values.
// A team shares one card over twelve turns, so the same tables serve it.
class OptimalStrategy {
public:
    // The bonus is earned by an upper total above 63.
    static constexpr int BonusThreshold = 64;
    static constexpr int UpperBonus = 35;
    static constexpr int FullCard = (1 << CategoryCount) - 1;

    // Computes the tables; takes a second or more, so never on the GUI
    // thread. A set `cancel` abandons the work (the tables are then unusable).
    explicit OptimalStrategy(bool bonusGame, const std::atomic<bool>* cancel = nullptr);

    // Makes the tables every strategy shares, which otherwise the first
    // computation makes. Whoever stops computations at exit calls it first, so
    // that these tables are destroyed after it.
    static void prepareSharedTables();

    bool bonusGame() const { return m_bonusGame; }
    // Expected points still to come at the start of a turn, before its bonus
    // face is drawn (future faces averaged).
    double expected(int filled, int upperTotal) const;
    // The best play; `position.rollsMade` 0 asks only for the first roll.
    TurnAdvice advise(const TurnPosition& position) const;
    std::size_t memoryBytes() const { return m_expected.size() * sizeof(double); }

private:
    void solveCard(int filled); // every card with more filled is done

    bool m_bonusGame;
    std::vector<double> m_expected; // [filled * (BonusThreshold + 1) + capped upper total]
};

} // namespace game
