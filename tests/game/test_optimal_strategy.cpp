// The optimal strategy's tables against figures worked out by hand or known
// for this ruleset, and against a plain simulation of its own play.
#include "game/RandomGenerator.h"
#include "game/StrategyStore.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace game;

namespace {

constexpr int AllBut(int category) {
    return OptimalStrategy::FullCard & ~(1 << (category - 1));
}

// One solitaire game by the strategy's advice, with the game's own dice.
int playSolitaire(const OptimalStrategy& strategy, TRandomGenerator& random) {
    Card card = freshCard();
    for (int turn = 1; turn <= CategoryCount; ++turn) {
        TurnPosition position;
        for (int category = 1; category <= CategoryCount; ++category)
            if (card[category] != Unscored) {
                position.filled |= 1 << (category - 1);
                position.upperTotal += category <= Sixes ? card[category] : 0;
            }
        std::array<int, 7> keep{};
        TurnAdvice advice;
        for (position.rollsMade = 1; position.rollsMade <= 3; ++position.rollsMade) {
            int die = 0;
            for (int face = 1; face <= 6; ++face)
                for (int n = 0; n < keep[face]; ++n)
                    position.dice[die++] = face;
            while (die < 5)
                position.dice[die++] = random.face();
            advice = strategy.advise(position);
            if (!advice.roll)
                break;
            keep = advice.keep;
        }
        EXPECT_EQ(card[advice.category], Unscored);
        post(card, advice.category, points(position.dice, advice.category));
    }
    return total(card);
}

} // namespace

// Single categories worked out by hand: a Freebie keeps each die above 4.25
// after roll 1 and above 3.5 after roll 2, worth 5 x 14/3; five of a kind in
// three rolls comes with the known chance 0.0460286; a die shows a six within
// three rolls with chance 1 - (5/6)^3, doubled when six is the bonus face.
TEST(OptimalStrategy, LastCategoriesAreWorthWhatTheirOddsSay) {
    const OptimalStrategy& regular = StrategyStore::shared().waitFor(false);
    EXPECT_NEAR(regular.expected(AllBut(Freebie), 0), 70.0 / 3, 1e-9);
    EXPECT_NEAR(regular.expected(AllBut(FiveOfAKind), 0), 50 * 0.0460286, 1e-4);
    const double sixes = 5 * (1 - std::pow(5.0 / 6, 3)) * 6;
    EXPECT_NEAR(regular.expected(AllBut(Sixes), 0), sixes, 1e-9);
    // The bonus needs an upper total above 63: from 57, two sixes or more.
    const double p = 1 - std::pow(5.0 / 6, 3);
    const double twoOrMore = 1 - std::pow(1 - p, 5) - 5 * p * std::pow(1 - p, 4);
    EXPECT_NEAR(regular.expected(AllBut(Sixes), 57), sixes + 35 * twoOrMore, 1e-9);

    const OptimalStrategy& bonus = StrategyStore::shared().waitFor(true);
    EXPECT_NEAR(bonus.expected(AllBut(Sixes), 0), sixes * 7 / 6, 1e-9);
    EXPECT_NEAR(bonus.expected(AllBut(Freebie), 0), 70.0 / 3, 1e-9);
}

// The known optimum of this ruleset is about 216.9; the tables give
// 216.904185, and the strategy's own play scores that on average.
TEST(OptimalStrategy, EmptyCardIsWorthItsSimulatedMean) {
    const OptimalStrategy& strategy = StrategyStore::shared().waitFor(false);
    EXPECT_NEAR(strategy.expected(0, 0), 216.904185, 1e-6);

    TRandomGenerator random(20261208);
    constexpr int Games = 3000;
    double sum = 0;
    double squares = 0;
    for (int game = 0; game < Games; ++game) {
        const int score = playSolitaire(strategy, random);
        sum += score;
        squares += double(score) * score;
    }
    const double mean = sum / Games;
    const double standardError = std::sqrt((squares / Games - mean * mean) / Games);
    EXPECT_NEAR(mean, 216.904185, 3 * standardError);
}
