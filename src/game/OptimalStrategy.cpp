// The optimal strategy by backward induction over cards. A turn is solved on
// multisets of dice: the 462 keeps of 0..5 dice, of which the 252 keeps of
// five dice are the rolls. Rolling the dice not kept is taken one die at a
// time (the value of a keep is the mean over the next die's face of the keep
// with that die added), and the best keep of a roll is found by removing one
// die at a time, so a whole turn costs a few thousand plain array steps.
#include "game/OptimalStrategy.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace game {

namespace {

constexpr int KeepCount = 462;
constexpr int RollCount = 252;
constexpr int FirstRoll = KeepCount - RollCount; // keeps sorted by size: the rolls come last
constexpr int UpperStates = OptimalStrategy::BonusThreshold + 1;
constexpr int RollsPerTurn = 3;
constexpr double Unreachable = -std::numeric_limits<double>::infinity();

using Counts = std::array<int, 7>; // dice of each face 1..6

// The multisets of up to five dice and what each roll scores.
struct Multisets {
    std::array<Counts, KeepCount> counts{};
    std::array<std::array<std::int16_t, 7>, KeepCount> add{};    // keep plus a die of face f
    std::array<std::array<std::int16_t, 7>, KeepCount> remove{}; // keep less a die of face f
    // The keeps one die smaller, packed: those of keep k are lesser[lessFrom[k]..lessFrom[k+1]).
    std::array<std::int16_t, KeepCount + 1> lessFrom{};
    std::vector<std::int16_t> lesser;
    std::array<double, RollCount> rollChance{}; // of each roll of all five dice
    std::vector<std::int16_t> byKey;            // base-6 key of the counts
    // points[bonus face 0..6][roll - FirstRoll][category 1..12]
    std::array<std::array<std::array<std::int16_t, 13>, RollCount>, 7> points{};

    static int key(const Counts& c) {
        int result = 0;
        for (int face = 6; face >= 1; --face)
            result = result * 6 + c[face];
        return result;
    }
    int index(const Counts& c) const { return byKey[key(c)]; }

    Multisets() {
        byKey.assign(6 * 6 * 6 * 6 * 6 * 6, -1);
        int next = 0;
        for (int size = 0; size <= 5; ++size)
            enumerate(Counts{}, 1, size, next);
        for (int k = 0; k < KeepCount; ++k) {
            const int size = sizeOf(counts[k]);
            for (int face = 1; face <= 6; ++face) {
                Counts more = counts[k];
                ++more[face];
                add[k][face] = std::int16_t(size < 5 ? index(more) : -1);
                Counts less = counts[k];
                --less[face];
                remove[k][face] = std::int16_t(less[face] >= 0 ? index(less) : -1);
            }
        }
        for (int k = 0; k < KeepCount; ++k) {
            lessFrom[k] = std::int16_t(lesser.size());
            for (int face = 1; face <= 6; ++face)
                if (remove[k][face] >= 0)
                    lesser.push_back(remove[k][face]);
        }
        lessFrom[KeepCount] = std::int16_t(lesser.size());
        for (int r = FirstRoll; r < KeepCount; ++r) {
            const Dice dice = diceOf(counts[r]);
            // 5! / (c1! ... c6!) of the 7776 ordered rolls show these dice.
            static constexpr int Factorial[] = {1, 1, 2, 6, 24, 120};
            int orders = 120;
            for (int face = 1; face <= 6; ++face)
                orders /= Factorial[counts[r][face]];
            rollChance[r - FirstRoll] = orders / 7776.0;
            for (int bonus = 0; bonus <= 6; ++bonus)
                for (int category = 1; category <= CategoryCount; ++category)
                    points[bonus][r - FirstRoll][category] =
                        std::int16_t(game::points(dice, category, bonus));
        }
    }

    static int sizeOf(const Counts& c) { return c[1] + c[2] + c[3] + c[4] + c[5] + c[6]; }

    static Dice diceOf(const Counts& c) {
        Dice dice{};
        int die = 0;
        for (int face = 1; face <= 6; ++face)
            for (int n = 0; n < c[face]; ++n)
                dice[die++] = face;
        return dice;
    }

    void enumerate(Counts c, int face, int left, int& next) {
        if (face == 6) {
            c[6] = left;
            counts[next] = c;
            byKey[key(c)] = std::int16_t(next++);
            return;
        }
        for (int n = left; n >= 0; --n) {
            c[face] = n;
            enumerate(c, face + 1, left - n, next);
        }
    }
};

const Multisets& multisets() {
    static const Multisets tables;
    return tables;
}

// Values indexed by keep; only the rolls' part is meaningful between passes.
using KeepValues = std::array<double, KeepCount>;

// The value of every keep when the dice not kept are rolled once, from the
// values of the rolls.
void expectPass(const Multisets& m, KeepValues& values) {
    for (int k = FirstRoll - 1; k >= 0; --k) {
        const auto& add = m.add[k];
        values[k] = (values[add[1]] + values[add[2]] + values[add[3]] + values[add[4]] +
                     values[add[5]] + values[add[6]]) /
                    6.0;
    }
}

// The value of every roll when the best keep out of it is chosen.
void maxPass(const Multisets& m, const KeepValues& keeps, KeepValues& best) {
    best[0] = keeps[0];
    const std::int16_t* lesser = m.lesser.data();
    for (int k = 1; k < KeepCount; ++k) {
        double value = keeps[k];
        for (int i = m.lessFrom[k]; i < m.lessFrom[k + 1]; ++i)
            value = std::max(value, best[lesser[i]]);
        best[k] = value;
    }
}

// One card at the start of a turn: what each category leads to.
struct TurnSetting {
    int filled;
    int upper; // capped
    int bonusFace;
    std::array<const double*, 13> next{}; // expected values after filling c; null when filled
    // The free categories, number categories first.
    std::array<int, 12> free{};
    int freeCount = 0;
    int freeNumbers = 0;

    void setFree() {
        freeCount = freeNumbers = 0;
        for (int category = 1; category <= CategoryCount; ++category)
            if (next[category]) {
                free[freeCount++] = category;
                freeNumbers += category <= Sixes ? 1 : 0;
            }
    }
};

// The value of every roll when it is scored in the best free category.
void finalValues(const Multisets& m, const TurnSetting& turn, KeepValues& values) {
    const auto& points = m.points[turn.bonusFace];
    // What filling each lower category leads to does not depend on the dice.
    std::array<double, 12> lowerNext{};
    for (int i = turn.freeNumbers; i < turn.freeCount; ++i)
        lowerNext[i] = turn.next[turn.free[i]][turn.upper];
    for (int r = FirstRoll; r < KeepCount; ++r) {
        const auto& scores = points[r - FirstRoll];
        double best = Unreachable;
        for (int i = 0; i < turn.freeNumbers; ++i) {
            const int score = scores[turn.free[i]];
            const int upper = std::min(OptimalStrategy::BonusThreshold, turn.upper + score);
            best = std::max(best, score + turn.next[turn.free[i]][upper]);
        }
        for (int i = turn.freeNumbers; i < turn.freeCount; ++i)
            best = std::max(best, scores[turn.free[i]] + lowerNext[i]);
        values[r] = best;
    }
}

// The keep values with `rollsLeft` rolls to come (1 or 2), from the final values.
void keepValues(const Multisets& m, KeepValues& values, int rollsLeft) {
    expectPass(m, values);
    for (int roll = 1; roll < rollsLeft; ++roll) {
        KeepValues best;
        maxPass(m, values, best);
        values = best;
        expectPass(m, values);
    }
}

// The expected points still to come of a whole turn with a known bonus face.
double turnValue(const Multisets& m, const TurnSetting& turn) {
    KeepValues values;
    finalValues(m, turn, values);
    keepValues(m, values, RollsPerTurn - 1);
    KeepValues best;
    maxPass(m, values, best);
    double expected = 0;
    for (int r = FirstRoll; r < KeepCount; ++r)
        expected += m.rollChance[r - FirstRoll] * best[r];
    return expected;
}

// The upper totals (capped) that the filled number categories can add up to.
using UpperSet = std::array<bool, UpperStates>;

std::array<UpperSet, 64> reachableUpperTotals(bool bonusGame) {
    std::array<UpperSet, 64> reachable{};
    for (int numbers = 0; numbers < 64; ++numbers) {
        UpperSet totals{};
        totals[0] = true;
        for (int face = 1; face <= 6; ++face) {
            if (!(numbers & (1 << (face - 1))))
                continue;
            UpperSet grown{};
            for (int total = 0; total < UpperStates; ++total) {
                if (!totals[total])
                    continue;
                for (int count = 0; count <= (bonusGame ? 10 : 5); ++count) {
                    // A bonus face doubles the whole count: 6, 8 and 10 only.
                    if (count > 5 && count % 2 == 1)
                        continue;
                    grown[std::min(OptimalStrategy::BonusThreshold, total + count * face)] = true;
                }
            }
            totals = grown;
        }
        reachable[numbers] = totals;
    }
    return reachable;
}

Counts countsOf(const Dice& dice) {
    Counts counts{};
    for (int face : dice)
        if (face >= 1 && face <= 6)
            ++counts[face];
    return counts;
}

bool isFilled(int filled, int category) {
    return filled & (1 << (category - 1));
}

// Made once for the process; see prepareSharedTables.
const std::array<UpperSet, 64>& upperTotals(bool bonusGame) {
    static const std::array<UpperSet, 64> regularTotals = reachableUpperTotals(false);
    static const std::array<UpperSet, 64> bonusTotals = reachableUpperTotals(true);
    return bonusGame ? bonusTotals : regularTotals;
}

} // namespace

OptimalStrategy::OptimalStrategy(bool bonusGame, const std::atomic<bool>* cancel)
    : m_bonusGame(bonusGame)
    , m_expected(std::size_t(FullCard + 1) * UpperStates, 0.0) {
    for (int upper = 0; upper < UpperStates; ++upper)
        m_expected[std::size_t(FullCard) * UpperStates + upper] =
            upper >= BonusThreshold ? UpperBonus : 0;
    // Filling a category only sets bits, so every card after this one is done.
    for (int filled = FullCard - 1; filled >= 0; --filled) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return;
        solveCard(filled);
    }
}

void OptimalStrategy::prepareSharedTables() {
    multisets();
    upperTotals(false);
}

void OptimalStrategy::solveCard(int filled) {
    const UpperSet& reachable = upperTotals(m_bonusGame)[filled & 63];
    const Multisets& m = multisets();

    TurnSetting turn{filled, 0, 0, {}};
    for (int category = 1; category <= CategoryCount; ++category)
        if (!isFilled(filled, category))
            turn.next[category] =
                &m_expected[std::size_t(filled | (1 << (category - 1))) * UpperStates];
    turn.setFree();

    for (int upper = 0; upper < UpperStates; ++upper) {
        if (!reachable[upper])
            continue;
        turn.upper = upper;
        turn.bonusFace = 0;
        const double plain = turnValue(m, turn);
        double value = plain;
        if (m_bonusGame) {
            // A bonus face whose category is filled scores like no bonus face.
            double sum = 0;
            for (int face = 1; face <= 6; ++face) {
                turn.bonusFace = face;
                sum += isFilled(filled, face) ? plain : turnValue(m, turn);
            }
            value = sum / 6;
        }
        m_expected[std::size_t(filled) * UpperStates + upper] = value;
    }
}

double OptimalStrategy::expected(int filled, int upperTotal) const {
    if (filled < 0 || filled > FullCard)
        return 0;
    const int upper = std::clamp(upperTotal, 0, BonusThreshold);
    return m_expected[std::size_t(filled) * UpperStates + upper];
}

TurnAdvice OptimalStrategy::advise(const TurnPosition& position) const {
    const Multisets& m = multisets();
    TurnAdvice advice;
    advice.scoreNow.fill(-1);
    const int filled = position.filled & FullCard;
    if (filled == FullCard)
        return advice;

    TurnSetting turn{filled,
                     std::clamp(position.upperTotal, 0, BonusThreshold),
                     m_bonusGame ? std::clamp(position.bonusFace, 0, 6) : 0,
                     {}};
    for (int category = 1; category <= CategoryCount; ++category)
        if (!isFilled(filled, category))
            turn.next[category] =
                &m_expected[std::size_t(filled | (1 << (category - 1))) * UpperStates];
    turn.setFree();

    const Counts counts = countsOf(position.dice);
    if (position.rollsMade <= 0 || Multisets::sizeOf(counts) != 5) {
        advice.roll = true;
        advice.best = turnValue(m, turn);
        return advice;
    }

    // Scoring now, category by category.
    const int roll = m.index(counts);
    const auto& scores = m.points[turn.bonusFace][roll - FirstRoll];
    advice.best = Unreachable;
    for (int category = 1; category <= CategoryCount; ++category) {
        if (!turn.next[category])
            continue;
        const int score = scores[category];
        const int upper =
            category <= Sixes ? std::min(BonusThreshold, turn.upper + score) : turn.upper;
        advice.scoreNow[category] = score + turn.next[category][upper];
        if (advice.scoreNow[category] > advice.best) {
            advice.best = advice.scoreNow[category];
            advice.category = category;
        }
    }
    const int rollsLeft = RollsPerTurn - position.rollsMade;
    if (rollsLeft <= 0)
        return advice;

    // Rolling again, keeping any part of the dice but all of them (which is
    // scoring now by another name).
    KeepValues values;
    finalValues(m, turn, values);
    keepValues(m, values, rollsLeft);
    Counts keep{};
    for (keep[1] = 0; keep[1] <= counts[1]; ++keep[1])
        for (keep[2] = 0; keep[2] <= counts[2]; ++keep[2])
            for (keep[3] = 0; keep[3] <= counts[3]; ++keep[3])
                for (keep[4] = 0; keep[4] <= counts[4]; ++keep[4])
                    for (keep[5] = 0; keep[5] <= counts[5]; ++keep[5])
                        for (keep[6] = 0; keep[6] <= counts[6]; ++keep[6]) {
                            if (keep == counts)
                                continue;
                            const double value = values[m.index(keep)];
                            if (value > advice.best + 1e-9) {
                                advice.best = value;
                                advice.keep = keep;
                                advice.roll = true;
                            }
                        }
    return advice;
}

} // namespace game
