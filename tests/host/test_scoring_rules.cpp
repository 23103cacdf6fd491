// How dice score: every category, the bonus dice, the upper bonus, the totals.
#include "game/ScoringRules.h"

#include <gtest/gtest.h>

using namespace scoring;

namespace {

int score(Dice dice, int category, int bonusFace = 0) {
    return points(dice, category, bonusFace);
}

} // namespace

TEST(ScoringRules, FiveThrees) {
    const Dice dice = {3, 3, 3, 3, 3};
    EXPECT_EQ(score(dice, FourOfAKind), 15);
    EXPECT_EQ(score(dice, FullHouse), 25);
    EXPECT_EQ(score(dice, FiveOfAKind), 50);
    EXPECT_EQ(score(dice, SmStraight), 0);
    EXPECT_EQ(score(dice, Threes), 15);
    EXPECT_EQ(score(dice, Threes, 3), 30) << "bonus face 3 doubles the threes";
    EXPECT_EQ(score(dice, Threes, 4), 15);
    EXPECT_EQ(score(dice, Freebie), 15);
}

TEST(ScoringRules, HousesAndKinds) {
    EXPECT_EQ(score({2, 2, 3, 3, 3}, FullHouse), 25);
    EXPECT_EQ(score({3, 2, 3, 2, 3}, FullHouse), 25);
    EXPECT_EQ(score({2, 2, 3, 3, 3}, FourOfAKind), 0);
    EXPECT_EQ(score({2, 2, 2, 2, 3}, FullHouse), 0);
    EXPECT_EQ(score({2, 2, 2, 2, 3}, FourOfAKind), 11);
    EXPECT_EQ(score({3, 2, 2, 2, 2}, FourOfAKind), 11) << "four of die 2's face";
    EXPECT_EQ(score({1, 1, 2, 2, 3}, FullHouse), 0);
    EXPECT_EQ(score({6, 6, 6, 5, 5}, FiveOfAKind), 0);
}

TEST(ScoringRules, Straights) {
    EXPECT_EQ(score({1, 2, 3, 4, 6}, SmStraight), 30);
    EXPECT_EQ(score({1, 2, 3, 4, 6}, BigStraight), 0);
    EXPECT_EQ(score({1, 2, 3, 5, 6}, SmStraight), 0);
    EXPECT_EQ(score({6, 5, 4, 3, 2}, BigStraight), 40);
    EXPECT_EQ(score({6, 5, 4, 3, 2}, SmStraight), 30);
    EXPECT_EQ(score({3, 4, 5, 6, 6}, SmStraight), 30);
    EXPECT_EQ(score({1, 3, 4, 5, 6}, BigStraight), 0);
}

TEST(ScoringRules, BonusDiceCountTwiceOnlyInTheirOwnNumber) {
    const Dice dice = {4, 4, 4, 2, 1};
    EXPECT_EQ(score(dice, Fours, 4), 24);
    EXPECT_EQ(score(dice, Twos, 4), 2);
    EXPECT_EQ(score(dice, Ones, 4), 1);
    EXPECT_EQ(score(dice, Fours), 12);
    EXPECT_EQ(score(dice, FourOfAKind, 4), 0) << "the bonus changes only the number rule";
}

TEST(ScoringRules, UpperBonusNeedsMoreThanSixtyThree) {
    Card card = freshCard();
    post(card, Sixes, 30);
    post(card, Fives, 25);
    EXPECT_EQ(post(card, Fours, 8), 63);
    EXPECT_EQ(card[UpperTotal], 63);
    EXPECT_EQ(card[Bonus], 0);
    EXPECT_EQ(post(card, Ones, 1), 64 + 35);
    EXPECT_EQ(card[Bonus], 35);
}

TEST(ScoringRules, UnscoredRowsStayOutOfTheSums) {
    Card card = freshCard();
    EXPECT_EQ(total(card), 0);
    EXPECT_EQ(post(card, Freebie, 20), 20);
    EXPECT_EQ(card[UpperTotal], 0);
    EXPECT_EQ(card[Bonus], 0);
    EXPECT_EQ(card[LowerTotal], 20);
    for (int row = Ones; row <= FiveOfAKind; ++row)
        EXPECT_EQ(card[row], Unscored) << row;
    EXPECT_EQ(post(card, FullHouse, 0), 20) << "a zero counts as filled and adds nothing";
    EXPECT_EQ(card[FullHouse], 0);
    EXPECT_EQ(post(card, FourOfAKind, 11), 31);
    EXPECT_EQ(card[LowerTotal], 31) << "4 of a Kind belongs to the lower half";
    EXPECT_EQ(post(card, Sixes, 24), 55);
    EXPECT_EQ(card[UpperTotal], 24);
}

TEST(ScoringRules, LabelsAndPhrases) {
    EXPECT_EQ(cardLabel(7), "4 of a Kind");
    EXPECT_EQ(cardLabel(15), "Lower Total");
    EXPECT_EQ(announcementPhrase(1), "the ONES");
    EXPECT_EQ(announcementPhrase(11), "a 5 OF A KIND");
    EXPECT_TRUE(announcementPhrase(13).isEmpty());
}
